// SPDX-License-Identifier: MIT
#include "PortMapLine.h"

#include "ComText.h"

std::string_view TrimBlanks(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool ParsePortMapLine(std::string_view line, PortMapLine& parsed, std::string& reason)
{
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    const std::string_view name = TrimBlanks(line.substr(0, equals));
    parsed.Number = ComNumberOfText(name).value_or(0);
    parsed.Device = std::string(TrimBlanks(line.substr(equals + 1)));
    if (parsed.Number > LastComNumber) {
        reason = std::string(name) + " is beyond COM" + std::to_string(LastComNumber) +
                 ", the last number the port map holds";
        return false;
    }
    return parsed.Number >= FirstComNumber && !parsed.Device.empty();
}
