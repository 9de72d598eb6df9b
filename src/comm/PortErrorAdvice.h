// SPDX-License-Identifier: MIT
// PortErrorAdvice: what a serial error's errno means, in words, and what the user can do about
// it. The "COM Error" box carries it as its details; the command line prints it.
#pragma once

#include "PortOpeners.h"

#include <cstdint>
#include <string>
#include <vector>

// English text (ASCII, but for program names and the port map's path, named where it really
// is); empty for 0 (an error of the port's use, not of the system). Processes found holding the
// port are named in place of the general advice.
std::string PortErrorAdvice(uint32_t lastError, const std::vector<PortHolder>& holders = {});
