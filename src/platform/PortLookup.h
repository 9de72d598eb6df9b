// SPDX-License-Identifier: MIT
// Looking one COM number up in the port map, with the words for the user when it names no
// device: the map's real path, and whether the number is beyond what the map holds, hidden
// behind a malformed line, or simply not there.
#pragma once

#include "PortMap.h"

#include <optional>
#include <string>

struct ComPortLookup {
    std::optional<std::string> Device;  // the device COM<number> names
    std::string Problem;                // without a device: why, as one sentence
};

// `number` from 1 to 255 (any number a port text can carry).
ComPortLookup LookUpComPort(int number, const SerialPortDetector& detect = DetectSerialPorts);
