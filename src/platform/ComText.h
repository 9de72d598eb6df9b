// SPDX-License-Identifier: MIT
// The port text "COM<n>" as users, the port map and the port's own device names write it:
// "COM" in any case, then n from 1 to 255 in decimal without leading zeros. The port map holds
// only COM1 to COM99 of these (FirstComNumber..LastComNumber in PortMap.h); a larger number is
// still read as a port text, so that messages can name it for what it is.
//
// The window's port box reads its text by another, older rule (PortNumberOfText).
#pragma once

#include <optional>
#include <string>
#include <string_view>

inline constexpr int LastComTextNumber = 255;

// n for a text "COM<n>"; nothing for any other text.
std::optional<int> ComNumberOfText(std::string_view text);

// "COM<n>".
std::string ComText(int number);
