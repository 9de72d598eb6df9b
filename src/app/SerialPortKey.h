// SPDX-License-Identifier: MIT
// What the port box is filled from: the registry's list of serial ports (on Linux the port map
// behind TRegistry), as names with text values, plus a tooltip for each port. Tests put in
// keys of their own.
#pragma once

#include "PortMap.h"

#include <memory>
#include <string>
#include <vector>

class SerialPortKey {
public:
    virtual ~SerialPortKey() = default;
    // The value names in the key's order; none when the key could not be opened.
    virtual std::vector<std::string> ValueNames() = 0;
    // The value as text; ERegistryException when it is not text.
    virtual std::string ReadString(const std::string& name) = 0;
    // "device - description" (or the device alone) for the value, in the local 8-bit encoding.
    virtual std::string ToolTip(const std::string& name) = 0;
};

// Opens "hardware\devicemap\serialcomm" under HKEY_LOCAL_MACHINE read-only; the key is closed
// when the object goes. `detect` finds the system's serial devices (once per opening).
std::unique_ptr<SerialPortKey> OpenSerialCommKey(
    const SerialPortDetector& detect = DetectSerialPorts);
