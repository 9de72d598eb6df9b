// SPDX-License-Identifier: MIT
// The chosen port: `ComPortNumber` with its one-byte settings file "Zendrak.dat" in the firmware
// folder, the constant line rate, and the port number of a port text such as "COM12".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TCommPort;

// The saved port number; 1 until the settings file or the port box says otherwise.
extern uint8_t ComPortNumber;
inline constexpr int32_t LinkBaudRate = 115200;

// The settings file of a folder, read into a value: its first byte, or why there is none.
struct SavedPortNumber {
    std::optional<uint8_t> Number;  // nothing: an empty file, or none that could be read
    bool Unreadable = false;        // missing, no regular file, or cannot be opened
};
// `folder` empty: the current directory.
SavedPortNumber ReadSavedPortNumber(const std::string& folder);

// Reads the settings file's first byte into ComPortNumber. A file that cannot be opened or is
// no regular file (a directory, FIFO, device) shows the "Error open Zendrak.dat !!!" box and
// leaves the number as it is; an empty file is no error. `folder` empty: the current directory.
void ReadPortSettings(const std::string& folder = {});

// Replaces the settings file with the one byte `number` (temporary file and rename, so a crash
// never leaves an empty file); through a symbolic link its target is replaced, keeping its
// mode. On failure, also for a read-only file, shows the plain dialog "Einstellung kann nicht
// gepeichert werden" and returns false. `folder` empty: the current directory.
bool WritePortSettings(uint8_t number, const std::string& folder = {});

// The port number of a text (Windows-1252): the digit at position 4 (from 1), or, when the text
// is longer than four characters, ten times it plus the digit at position 5; the first three
// and anything after the fifth are not looked at. "COM1" 1, "COM12" 12, "COM123" 12, "XYZ7" 7.
// A text shorter than four raises ERangeError; a non-digit where a digit is read raises
// EConvertError naming that character.
uint8_t PortNumberOfText(const std::string& text);
// The same without errors: nothing when the text does not (yet) give a number.
std::optional<uint8_t> TryPortNumberOfText(const std::string& text);

// Sets the port up for the receiver before it is opened: the device for `portNumber` (its
// decimal digits), LinkBaudRate, 8 data bits, no parity, one stop bit.
void ConfigureCommPort(TCommPort& port, uint8_t portNumber);
