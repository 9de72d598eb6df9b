// SPDX-License-Identifier: MIT
// PortName: the device path a port name stands for. "\\.\COM<n>" (and the bare "COM<n>")
// names COM number n of the port map (which may name a network address); a name that starts
// with "/" is a device path, one written "scheme://..." a network address (NetAddress.h); any
// other name is handed to the system as it is.
#pragma once

#include <optional>
#include <string>

// The path or address to open, or nothing (errno ENOENT) when the COM number is not in the port
// map.
std::optional<std::string> ResolvePortName(const std::string& name);

// n when the name is "\\.\COM<n>" or "COM<n>" with a port text as ComNumberOfText reads it;
// 0 otherwise.
int ComNumberOfPortName(const std::string& name);
