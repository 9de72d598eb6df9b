// SPDX-License-Identifier: MIT
// A port's own log folder below the working folder ("COM3/logUpdate.txt"): made, or used when it
// is there, only as a real folder of the working folder. A symbolic link or a file in its
// place is never followed or replaced: that port does not run, and says why.
#pragma once

#include <string>

// Makes or checks `workFolder`/`name`. Returns "" when the folder can take the log; otherwise
// why not, as one sentence naming the folder (UTF-8).
std::string PreparePortLogFolder(const std::string& workFolder, const std::string& name);
