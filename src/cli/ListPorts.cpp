// SPDX-License-Identifier: MIT
#include "ListPorts.h"

#include "PortMap.h"
#include "SystemTexts.h"

#include <cstdio>

int ListPortsCommand()
{
    const PortMapListing listing = ListSerialPorts();
    if (listing.Unreadable) {
        std::fprintf(stderr, "zendrak-cli: the port map %s cannot be read: %s; no port is listed\n",
                     PortMapFilePath().c_str(), listing.UnreadableReason.c_str());
        return 1;
    }
    for (const SerialPortEntry& port : listing.Ports) {
        std::string line = port.Text + "  " + port.Device;
        if (!port.Description.empty())
            line += "  " + port.Description;
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    if (listing.Malformed) {
        const std::string why = listing.MalformedReason.empty() ? "not a line COM<n>=<device>"
                                                                : listing.MalformedReason;
        std::fprintf(stderr, "zendrak-cli: %s:%d: %s: %s\n", PortMapFilePath().c_str(),
                     listing.MalformedLine, why.c_str(), listing.MalformedText.c_str());
        return 1;
    }
    if (listing.Ports.empty()) {
        std::fprintf(stderr, "%s\n", Texts::NoComPort);
        return 1;
    }
    return 0;
}
