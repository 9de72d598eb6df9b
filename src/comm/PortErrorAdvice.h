// SPDX-License-Identifier: MIT
// PortErrorAdvice: what a serial error's errno means, in words, and what the user can do about
// it. The "COM Error" box carries it as its details; the command line prints it.
#pragma once

#include "PortOpeners.h"

#include <cstdint>
#include <string>
#include <vector>

class ECommError;

// English text (ASCII, but for program names and the port map's path, named where it really
// is); empty for 0 (an error of the port's use, not of the system). Processes found holding the
// port are named in place of the general advice; a port on another machine gives its own
// account (`detail`, NetProblem.h), which is the advice then.
std::string PortErrorAdvice(uint32_t lastError, const std::vector<PortHolder>& holders = {},
                            const std::string& detail = {});
// The advice for an error as the port raised it.
std::string PortErrorAdvice(const ECommError& error);

// The system's words for an errno value, whatever the locale ("Connection refused").
std::string ErrorMeaning(int error);
