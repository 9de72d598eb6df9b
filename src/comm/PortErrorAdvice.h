// SPDX-License-Identifier: MIT
// PortErrorAdvice: what a serial error's errno means, in words, and what the user can do about
// it. The "COM Error" box carries it as its details; the command line prints it.
#pragma once

#include <cstdint>
#include <string>

// English text (ASCII); empty for 0 (an error of the port's use, not of the system).
std::string PortErrorAdvice(uint32_t lastError);
