// SPDX-License-Identifier: MIT
// One line "COM<n>=<device>" of the port map's format, which the remembered COM numbers use too:
// "COM" in any case, n from 1 to 99, blanks around both sides trimmed.
#pragma once

#include <string>
#include <string_view>

inline constexpr int FirstComNumber = 1;
inline constexpr int LastComNumber = 99;

struct PortMapLine {
    int Number = 0;
    std::string Device;
};

// The text without blanks (space, tab, CR, VT, FF) at either end.
std::string_view TrimBlanks(std::string_view text);

// Parses one trimmed line that is neither empty nor a comment; false when it is malformed, with
// `reason` set when there is more to say than that it is not of the form COM<n>=<device>.
bool ParsePortMapLine(std::string_view line, PortMapLine& parsed, std::string& reason);
