// SPDX-License-Identifier: MIT
#include "PortLookup.h"

#include "ComText.h"

ComPortLookup LookUpComPort(int number, const SerialPortDetector& detect)
{
    const std::string map = "the port map (" + PortMapFilePath() + ")";
    const std::string com = ComText(number);
    const PortMapListing listing = ListSerialPorts(detect);
    ComPortLookup lookup;
    if (listing.Unreadable) {
        lookup.Problem =
            com + " names no device: " + map + " cannot be read: " + listing.UnreadableReason + ".";
        return lookup;
    }
    for (const SerialPortEntry& entry : listing.Ports) {
        if (entry.Number == number) {
            lookup.Device = entry.Device;
            return lookup;
        }
    }
    if (number > LastComNumber) {
        lookup.Problem =
            com + " is beyond " + map + ", which holds COM" + std::to_string(FirstComNumber) +
            " to COM" + std::to_string(LastComNumber) + ", and no detected device has that number.";
    } else if (listing.Malformed) {
        lookup.Problem =
            com + " is not in " + map + " as far as it can be read: its line " +
            std::to_string(listing.MalformedLine) + " is malformed (" +
            (listing.MalformedReason.empty() ? listing.MalformedText : listing.MalformedReason) +
            ") and hides the lines after it; no detected device has that number.";
    } else {
        lookup.Problem = com + " is not in " + map + " and no detected device has that number.";
    }
    return lookup;
}
