// SPDX-License-Identifier: MIT
#include "ListPorts.h"

#include "AssignedPorts.h"
#include "ComText.h"
#include "SystemTexts.h"
#include "Win1252.h"

#include <algorithm>
#include <cstdio>

std::string PortListingLine(const SerialPortEntry& port)
{
    auto known = [](const std::string& text) { return text.empty() ? std::string("-") : text; };
    return port.Text + "  " + known(port.Device) + "  " + known(port.Identity) + "  " +
           known(ToTerminalText(port.Description)) + "  " + (port.Present ? "present" : "absent");
}

int ListPortsCommand()
{
    const PortMapListing listing = ListSerialPorts();
    if (listing.Unreadable) {
        std::fprintf(stderr, "zendrak-cli: the port map %s cannot be read: %s; no port is listed\n",
                     PortMapFilePath().c_str(), listing.UnreadableReason.c_str());
        return 1;
    }
    for (const SerialPortEntry& port : listing.Ports)
        std::printf("%s\n", PortListingLine(port).c_str());
    if (PortDetectionEnabled()) {
        // Remembered devices that are not plugged in now keep their numbers: list them too.
        const AssignedPorts assigned = LoadAssignedPorts().Ports;
        for (const AssignedPort& kept : assigned.Entries()) {
            const bool listed = std::any_of(
                listing.Ports.begin(), listing.Ports.end(), [&](const SerialPortEntry& port) {
                    return port.Number == kept.Number || port.Identity == kept.Identity;
                });
            if (!listed)
                std::printf("%s\n", PortListingLine({kept.Number, ComText(kept.Number), "", "",
                                                     kept.Identity, false})
                                        .c_str());
        }
    }
    std::fflush(stdout);
    if (!listing.StateError.empty())
        std::fprintf(stderr, "zendrak-cli: %s\n", listing.StateError.c_str());
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

int ForgetPortCommand(int number)
{
    std::string identity;
    bool remembered = false;
    const AssignedPortsRead update = UpdateAssignedPorts([&](AssignedPorts& assigned) {
        for (const AssignedPort& port : assigned.Entries())
            if (port.Number == number)
                identity = port.Identity;
        remembered = assigned.Forget(number);
    });
    if (!update.Error.empty()) {
        std::fprintf(stderr, "zendrak-cli: %s\n", update.Error.c_str());
        return 1;
    }
    if (!remembered) {
        std::fprintf(stderr, "zendrak-cli: COM%d is not a remembered number in %s\n", number,
                     AssignedPortsFilePath().c_str());
        return 1;
    }
    std::printf("COM%d forgotten (it was %s)\n", number, identity.c_str());
    return 0;
}
