// SPDX-License-Identifier: MIT
// Waiting for a port's device to appear (an adapter being plugged in, a link being made). Once it
// is there, OpenCommPortSettling (SettlingOpen.h) gives it the moment udev needs to set its
// permissions.
#pragma once

#include <chrono>
#include <string>

// Whether the device a port names is there now: "COM<n>" through the port map (and the
// detected devices), a device path as it is.
bool PortDevicePresent(const std::string& port);

// Polls every `interval` until the port's device is there or `limit` has passed; true when
// it is there. A limit of zero checks once.
bool WaitForPortDevice(const std::string& port, std::chrono::milliseconds limit,
                       std::chrono::milliseconds interval = std::chrono::milliseconds(200));
