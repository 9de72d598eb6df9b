// SPDX-License-Identifier: MIT
#include "ListPorts.h"

#include "PortMap.h"
#include "SystemTexts.h"

#include <cstdio>

int ListPortsCommand()
{
    const PortMapListing listing = ListSerialPorts();
    for (const SerialPortEntry& port : listing.Ports) {
        std::string line = port.Text + "  " + port.Device;
        if (!port.Description.empty())
            line += "  " + port.Description;
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    if (listing.Malformed) {
        std::fprintf(stderr, "zendrak-cli: %s:%d: not a line COM<n>=<device>: %s\n",
                     PortMapFilePath().c_str(), listing.MalformedLine,
                     listing.MalformedText.c_str());
        return 1;
    }
    if (listing.Ports.empty()) {
        std::fprintf(stderr, "%s\n", Texts::NoComPort);
        return 1;
    }
    return 0;
}
