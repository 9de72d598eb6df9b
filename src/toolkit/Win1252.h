// SPDX-License-Identifier: MIT
// The one conversion of the system's Windows-1252 texts for display.
#pragma once

#include <QString>
#include <string>

// Windows-1252 bytes to a QString (the five undefined bytes map to U+FFFD).
QString FromSystemText(const std::string& text);
// A QString to Windows-1252 bytes; characters the code page lacks become '?'.
std::string ToSystemText(const QString& text);
// Windows-1252 bytes in the encoding of the terminal or locale (for stdout and stderr).
std::string ToTerminalText(const std::string& text);
// A file path (local 8-bit encoding) for display.
QString FromLocalPath(const std::string& path);
