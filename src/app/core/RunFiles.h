// SPDX-License-Identifier: MIT
// The files an update run reads and writes itself: no output file the user names (the trace)
// may be one of them, however it is reached.
#pragma once

#include "OutputFile.h"

#include <string>
#include <vector>

// The firmware files, "Zendrak.dat" and "logUpdate.txt" of `folder`, the "logUpdate.txt" of each
// of `logFolders` (the per-port folders), the devices of the run's ports, the port map and the
// remembered port numbers.
std::vector<ProtectedFile> RunOwnFiles(const std::string& folder,
                                       const std::vector<std::string>& logFolders,
                                       const std::vector<std::string>& portDevices);
