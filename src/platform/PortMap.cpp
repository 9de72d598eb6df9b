// SPDX-License-Identifier: MIT
#include "PortMap.h"

#include "AssignedPorts.h"
#include "ComText.h"
#include "SmallFile.h"
#include "XdgFolders.h"

#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

// A device's identity: the path with symbolic links resolved (/dev/serial/by-id names), so that
// a device the file maps under another name is not listed twice.
std::string IdentityOf(const std::string& device)
{
    char* resolved = ::realpath(device.c_str(), nullptr);
    if (!resolved)
        return device;
    std::string identity(resolved);
    std::free(resolved);
    return identity;
}

}  // namespace

std::string PortMapFilePath()
{
    return ZendrakConfigFolder() + "/ports";
}

PortMapListing ParsePortMap(std::string_view content,
                            const std::vector<DetectedSerialPort>& detected,
                            AssignedPorts* assigned)
{
    PortMapListing listing;
    std::array<bool, LastComNumber + 1> taken{};
    std::vector<std::string> mappedIdentities;

    int lineNumber = 0;
    while (!content.empty() && !listing.Malformed) {
        const auto end = content.find('\n');
        const std::string_view raw = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        ++lineNumber;

        const std::string_view line = TrimBlanks(raw);
        if (line.empty() || line.front() == '#')
            continue;
        PortMapLine parsed;
        if (!ParsePortMapLine(line, parsed, listing.MalformedReason)) {
            listing.Malformed = true;
            listing.MalformedLine = lineNumber;
            listing.MalformedText = std::string(line);
            break;
        }
        if (taken[parsed.Number])
            continue;  // the first line for a number wins
        taken[parsed.Number] = true;
        mappedIdentities.push_back(IdentityOf(parsed.Device));
        const bool present = ::access(parsed.Device.c_str(), F_OK) == 0;
        listing.Ports.push_back(
            {parsed.Number, ComText(parsed.Number), parsed.Device, {}, parsed.Device, present});
    }

    const std::array<bool, LastComNumber + 1> takenByFile = taken;
    // A remembered number stays free for its own device, which may come later in the listing.
    auto reserved = [&](int number) {
        return taken[number] || (assigned && assigned->IsAssigned(number));
    };
    int next = FirstComNumber;
    for (const auto& device : detected) {
        const std::string identity = IdentityOf(device.Device);
        const std::string stable = device.Identity.empty() ? device.Device : device.Identity;
        const auto mapped = std::find(mappedIdentities.begin(), mappedIdentities.end(), identity);
        if (mapped != mappedIdentities.end()) {
            // Listed by the file already; it still lends its description to that entry.
            auto& entry = listing.Ports[static_cast<size_t>(mapped - mappedIdentities.begin())];
            if (entry.Description.empty())
                entry.Description = device.Description;
            entry.Identity = stable;
            continue;
        }
        const int remembered = assigned ? assigned->NumberOf(stable) : 0;
        int number = 0;
        if (remembered != 0 && !takenByFile[remembered] && !taken[remembered]) {
            number = remembered;
        } else {
            // New, or its number is the file's now: the lowest number nobody holds. Only a new
            // device is remembered; the other gets its own number back when the file frees it.
            while (next <= LastComNumber && reserved(next))
                ++next;
            if (next > LastComNumber)
                continue;
            number = next;
            if (assigned && remembered == 0)
                assigned->Assign(number, stable);
        }
        taken[number] = true;
        mappedIdentities.push_back(identity);
        listing.Ports.push_back(
            {number, ComText(number), device.Device, device.Description, stable, true});
    }

    std::stable_sort(listing.Ports.begin(), listing.Ports.end(),
                     [](const auto& a, const auto& b) { return a.Number < b.Number; });
    return listing;
}

PortMapListing ListSerialPorts(const SerialPortDetector& detect)
{
    const SmallFileRead file = ReadSmallFile(PortMapFilePath(), PortMapSizeLimit);
    if (file.Status != SmallFileStatus::Ok && file.Status != SmallFileStatus::Missing &&
        file.Status != SmallFileStatus::TooLarge) {
        // Like a registry key that cannot be opened: no port at all.
        PortMapListing listing;
        listing.Unreadable = true;
        listing.UnreadableReason = file.Reason;
        return listing;
    }
    const std::vector<DetectedSerialPort> detected =
        detect ? detect() : std::vector<DetectedSerialPort>{};

    // Only whole lines within the bound are read; the line the bound cuts is malformed.
    const bool tooLarge = file.Status == SmallFileStatus::TooLarge;
    const std::string_view whole = tooLarge ? WholeLinesOf(file.Bytes) : file.Bytes;

    PortMapListing listing;
    if (PortDetectionEnabled()) {
        // Numbers that cannot be read, or that another command holds, are never overwritten:
        // the listing then remembers nothing new.
        const AssignedPortsRead remembered = UpdateAssignedPorts(
            [&](AssignedPorts& ports) { listing = ParsePortMap(whole, detected, &ports); });
        listing.StateError = remembered.Error;
    } else {
        listing = ParsePortMap(whole, detected);
    }

    if (tooLarge && !listing.Malformed) {
        listing.Malformed = true;
        listing.MalformedLine = static_cast<int>(std::count(whole.begin(), whole.end(), '\n')) + 1;
        const std::string_view cut = std::string_view(file.Bytes).substr(whole.size(), 40);
        listing.MalformedText = std::string(TrimBlanks(cut.substr(0, cut.find('\n'))));
        listing.MalformedReason = "the port map is larger than " +
                                  std::to_string(PortMapSizeLimit / 1024) +
                                  " KiB; it is read no further";
    }
    return listing;
}

std::optional<std::string> ResolveComPort(int number, const SerialPortDetector& detect)
{
    for (const auto& entry : ListSerialPorts(detect).Ports) {
        if (entry.Number == number)
            return entry.Device;
    }
    return std::nullopt;
}
