// SPDX-License-Identifier: MIT
// TRegistry: the registry access the port list reads, over the port map. The one key that
// exists is "hardware\devicemap\serialcomm" under HKEY_LOCAL_MACHINE: each listed port is a
// value named after its device path whose text is "COM<n>"; a malformed map line is a value
// that is not text (ReadString raises ERegistryException).
#pragma once

#include "PortMap.h"
#include "TStringList.h"

#include <cstdint>
#include <string>
#include <vector>

using HKEY = uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

inline constexpr const char* SerialCommKey = "hardware\\devicemap\\serialcomm";

class TRegistry {
public:
    // `detect` finds the system's serial devices (tests pass their own).
    explicit TRegistry(SerialPortDetector detect = DetectSerialPorts);

    HKEY RootKey = HKEY_CURRENT_USER;

    // Opens an existing key without creating it; false for any key but the serial ports', and
    // for that one when the port map cannot be read (not a regular file, no permission). The
    // port map is read now: the names and texts stay as they were at this moment until the key
    // is opened again.
    bool OpenKeyReadOnly(const std::string& key);
    // The names of all values of the open key in listing order (nothing when no key is open).
    void GetValueNames(TStringList& names) const;
    // The value as text; "" for a name the key does not hold; ERegistryException for a value
    // that is not text.
    std::string ReadString(const std::string& name) const;
    void CloseKey();

private:
    struct Value {
        std::string Name;
        std::string Text;
        bool IsText = true;
    };

    SerialPortDetector Detect;
    bool KeyOpen = false;
    std::vector<Value> Values;
};
