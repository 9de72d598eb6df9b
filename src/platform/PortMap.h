// SPDX-License-Identifier: MIT
// PortMap: which device each COM number names on Linux, the stand-in for the registry's list of
// serial ports ("hardware\devicemap\serialcomm").
//
// The map is the file $XDG_CONFIG_HOME/zendrak/ports (default $HOME/.config/zendrak/ports) with
// lines "COM<n>=<device path>" ("COM" in any case), n from 1 to 99, blanks around both sides
// trimmed; empty lines and lines starting with "#" are skipped; the first line for a number
// wins. Serial devices found on the system (real ttyS UARTs, then ttyUSB, ttyACM, then other
// serial devices, each group by index) take the lowest numbers the file leaves free; a device
// the file already maps is not listed again. The listing runs in ascending COM number. A line
// of any other form is malformed: the listing holds what the lines before it gave, then one
// last entry that cannot be read as text, and ignores the lines after it. A file larger than
// 64 KiB is malformed where the bound cuts it. A map that is not a regular file or cannot be
// read lists no port at all, as a registry key that cannot be opened.
//
// A detected device that the file does not map keeps the number it was given when first seen
// (AssignedPorts.h), unless the file names that number for another device; a device seen for
// the first time gets the lowest number that neither the file nor a remembered assignment holds.
//
// The environment variable ZENDRAK_NO_PORT_DETECTION=1 turns the detection off (tests, demo);
// then only the file counts and nothing is remembered. The file is read again at every listing
// and resolution.
#pragma once

#include "PortMapLine.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class AssignedPorts;

// One serial device found on the system.
struct DetectedSerialPort {
    std::string Device;         // e.g. /dev/ttyUSB0
    std::string Description;    // USB product and maker, may be empty
    std::string Identity = {};  // the stable identity (AssignedPorts.h); empty: the device path
};

using SerialPortDetector = std::function<std::vector<DetectedSerialPort>()>;

// One listed port.
struct SerialPortEntry {
    int Number = 0;             // 1..99
    std::string Text;           // "COM<n>"
    std::string Device;         // the device path it names
    std::string Description;    // for tooltips; empty for devices the file names
    std::string Identity = {};  // a detected device's stable identity, else the device path
    bool Present = true;        // whether the device is there now
};

struct PortMapListing {
    std::vector<SerialPortEntry> Ports;  // ascending COM number
    bool Malformed = false;              // the listing ends in an entry that is not text
    int MalformedLine = 0;               // its line number in the file (from 1)
    std::string MalformedText;           // that line as written
    std::string MalformedReason;         // why, when more is to be said than its form
    bool Unreadable = false;             // the map file exists but cannot be read: no port
    std::string UnreadableReason;        // why, in words ("it is a directory")
    std::string StateError;              // not empty: the remembered numbers could not be saved
};

inline constexpr size_t PortMapSizeLimit = 64 * 1024;

// The map file's path from the environment.
std::string PortMapFilePath();

// The listing for a map file's content plus the detected devices (pure but for resolving the
// mapped paths; tests drive it). With `assigned`, detected devices take their remembered
// numbers and new ones are added to it.
PortMapListing ParsePortMap(std::string_view content,
                            const std::vector<DetectedSerialPort>& detected,
                            AssignedPorts* assigned = nullptr);

// False when ZENDRAK_NO_PORT_DETECTION is 1.
bool PortDetectionEnabled();

// The serial devices of this system through Qt SerialPort, in listing order; none when
// ZENDRAK_NO_PORT_DETECTION is 1.
std::vector<DetectedSerialPort> DetectSerialPorts();
// Listing order of detected devices: ttyS<n>, ttyUSB<n>, ttyACM<n>, then the rest by name;
// within a group by the number n.
void SortInListingOrder(std::vector<DetectedSerialPort>& ports);

// Reads the map file (a missing file is an empty map) and lists it with the detected devices;
// while detection is on, with the remembered numbers, saving new ones.
PortMapListing ListSerialPorts(const SerialPortDetector& detect = DetectSerialPorts);

// The device that COM<number> names, or nothing when it is not listed.
std::optional<std::string> ResolveComPort(int number,
                                          const SerialPortDetector& detect = DetectSerialPorts);
