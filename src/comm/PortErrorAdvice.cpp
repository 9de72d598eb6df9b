// SPDX-License-Identifier: MIT
#include "PortErrorAdvice.h"

#include "PortMap.h"
#include "comm_port.h"

#include <cerrno>
#include <cstring>

// The system's own wording, independent of the locale (strerror would follow LC_MESSAGES).
std::string ErrorMeaning(int error)
{
    if (const char* text = ::strerrordesc_np(error))
        return text;
    return "Unknown error " + std::to_string(error);
}

namespace {

std::string WhatToDo(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return "This user may not use the serial port. Add the user to the group dialout "
               "(sudo usermod -a -G dialout $USER), then log out and in again.";
    case EBUSY:
        return "Another program holds the port: a terminal program left open, ModemManager "
               "probing the device, or brltty taking the USB adapter. Close or remove it and "
               "try again.";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "The device is not there: the USB adapter is unplugged, or the port map (" +
               PortMapFilePath() +
               ") names a device that does not exist. Plug the adapter in, or correct the port "
               "map; /dev/serial/by-id names stay the same when an adapter comes back under "
               "another number.";
    case EIO:
        return "The device has gone away: the USB adapter was unplugged or the line was closed. "
               "Plug it in again and repeat the update.";
    case ETIMEDOUT:
        return "The receiver did not take the data in time. Check the cable and that the "
               "receiver is switched on, then repeat the update.";
    case ENOTTY:
        return "The port names something that is not a serial device. Name the receiver's "
               "serial device (such as /dev/ttyUSB0), or correct the port map.";
    case EINVAL:
        return "The device does not support these line settings (rate, data bits, parity or "
               "stop bits).";
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
        return "The connection to the serial device server was lost: the server, its serial "
               "device or the network went away. Check them and repeat the update.";
    default: return {};
    }
}

}  // namespace

std::string PortErrorAdvice(uint32_t lastError, const std::vector<PortHolder>& holders,
                            const std::string& detail)
{
    if (!detail.empty())
        return detail;
    if (lastError == 0)
        return {};
    const int error = static_cast<int>(lastError);
    std::string advice = ErrorMeaning(error) + ".";
    if (!holders.empty()) {
        advice += " The port is open in ";
        for (size_t i = 0; i < holders.size(); ++i) {
            if (i > 0)
                advice += ", ";
            advice += holders[i].Program + " (process " + std::to_string(holders[i].Pid) + ")";
        }
        advice += ". End that program or let it close the port, then try again.";
    } else if (const std::string action = WhatToDo(error); !action.empty()) {
        advice += " " + action;
    }
    return advice;
}

std::string PortErrorAdvice(const ECommError& error)
{
    return PortErrorAdvice(error.LastError, error.Holders, error.Detail);
}
