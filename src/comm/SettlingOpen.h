// SPDX-License-Identifier: MIT
// Opening a port whose device has only just appeared. udev gives a new device node its group and
// mode a moment after the kernel makes it, and programs such as ModemManager probe a new device
// briefly: the first opens may fail with EACCES or EBUSY although the port is about to be usable.
#pragma once

#include "comm_port.h"

#include <chrono>
#include <functional>

// How long a newly appeared device is given to become usable.
inline constexpr std::chrono::milliseconds DeviceSettleTime{2000};

// Opens the port. While the open fails with EACCES or EBUSY it is tried again every `interval`
// until `settle` has passed (or `stop` returns true), and then the last failure is raised; any
// other failure is raised at once.
void OpenCommPortSettling(TCommPort& port, std::chrono::milliseconds settle = DeviceSettleTime,
                          const std::function<bool()>& stop = {},
                          std::chrono::milliseconds interval = std::chrono::milliseconds(100));
