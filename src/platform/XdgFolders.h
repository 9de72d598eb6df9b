// SPDX-License-Identifier: MIT
// XdgFolders: where the program keeps its files in the user's home, after the XDG base
// directory variables: the configuration (the port map) and the state (the remembered COM
// numbers).
#pragma once

#include <string>

// The folder an XDG variable names, else `belowHome` (such as "/.config") below $HOME.
std::string XdgBaseFolder(const char* variable, const char* belowHome);

// $XDG_CONFIG_HOME/zendrak (default ~/.config/zendrak).
std::string ZendrakConfigFolder();
// $XDG_STATE_HOME/zendrak (default ~/.local/state/zendrak).
std::string ZendrakStateFolder();
