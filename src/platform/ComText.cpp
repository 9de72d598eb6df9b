// SPDX-License-Identifier: MIT
#include "ComText.h"

std::optional<int> ComNumberOfText(std::string_view text)
{
    if (text.size() < 4 || text.size() > 6)
        return std::nullopt;
    for (size_t i = 0; i < 3; ++i)
        if ((text[i] & ~0x20) != "COM"[i])  // ASCII letters in either case
            return std::nullopt;
    if (text[3] == '0')
        return std::nullopt;
    int number = 0;
    for (const char c : text.substr(3)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number > LastComTextNumber)
        return std::nullopt;
    return number;
}

std::string ComText(int number)
{
    return "COM" + std::to_string(number);
}
