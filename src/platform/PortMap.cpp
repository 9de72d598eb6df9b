// SPDX-License-Identifier: MIT
#include "PortMap.h"

#include "ComText.h"
#include "NetAddress.h"
#include "SmallFile.h"

#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <future>

namespace {

std::string_view Trim(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// A device's identity: the path with symbolic links resolved (/dev/serial/by-id names), so that
// a device the file maps under another name is not listed twice.
std::string IdentityOf(const std::string& device)
{
    if (LooksLikeNetAddress(device))
        return device;  // no path: "tcp://h:1" must not be read as the folder "tcp:"
    char* resolved = ::realpath(device.c_str(), nullptr);
    if (!resolved)
        return device;
    std::string identity(resolved);
    std::free(resolved);
    return identity;
}

struct MapLine {
    int Number = 0;
    std::string Device;
};

// Parses one non-empty, non-comment line; false when it is malformed, with the reason when
// there is more to say than that the line is not of the form COM<n>=<device>.
bool ParseLine(std::string_view line, MapLine& parsed, std::string& reason)
{
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    const std::string_view name = Trim(line.substr(0, equals));
    parsed.Number = ComNumberOfText(name).value_or(0);
    parsed.Device = std::string(Trim(line.substr(equals + 1)));
    if (parsed.Number > LastComNumber) {
        reason = std::string(name) + " is beyond COM" + std::to_string(LastComNumber) +
                 ", the last number the port map holds";
        return false;
    }
    if (parsed.Number < FirstComNumber || parsed.Device.empty())
        return false;
    std::string problem;
    if (LooksLikeNetAddress(parsed.Device) && !ParseNetAddress(parsed.Device, &problem)) {
        reason = "'" + parsed.Device + "' is no network address: " + problem;
        return false;
    }
    return true;
}

// Whether the device is there now. A server is not asked here (the map is read at every
// resolution): a network address counts as present, and a listing for the user asks its server.
bool DevicePresent(const std::string& device)
{
    return LooksLikeNetAddress(device) || ::access(device.c_str(), F_OK) == 0;
}

}  // namespace

std::string XdgBaseFolder(const char* variable, const char* belowHome)
{
    if (const char* folder = std::getenv(variable); folder && *folder)
        return folder;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + belowHome;
}

std::string PortMapFilePath()
{
    return XdgBaseFolder("XDG_CONFIG_HOME", "/.config") + "/zendrak/ports";
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

        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#')
            continue;
        MapLine parsed;
        if (!ParseLine(line, parsed, listing.MalformedReason)) {
            listing.Malformed = true;
            listing.MalformedLine = lineNumber;
            listing.MalformedText = std::string(line);
            break;
        }
        if (taken[parsed.Number])
            continue;  // the first line for a number wins
        taken[parsed.Number] = true;
        mappedIdentities.push_back(IdentityOf(parsed.Device));
        const bool present = DevicePresent(parsed.Device);
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
        AssignedPortsRead remembered = LoadAssignedPorts();
        if (remembered.Error.empty()) {
            listing = ParsePortMap(whole, detected, &remembered.Ports);
            listing.StateError = SaveAssignedPorts(remembered.Ports);
        } else {
            // Numbers that cannot be read are not overwritten: this listing remembers nothing.
            listing = ParsePortMap(whole, detected);
            listing.StateError = remembered.Error;
        }
    } else {
        listing = ParsePortMap(whole, detected);
    }

    if (tooLarge && !listing.Malformed) {
        listing.Malformed = true;
        listing.MalformedLine = static_cast<int>(std::count(whole.begin(), whole.end(), '\n')) + 1;
        const std::string_view cut = std::string_view(file.Bytes).substr(whole.size(), 40);
        listing.MalformedText = std::string(Trim(cut.substr(0, cut.find('\n'))));
        listing.MalformedReason = "the port map is larger than " +
                                  std::to_string(PortMapSizeLimit / 1024) +
                                  " KiB; it is read no further";
    }
    return listing;
}

void AskNetworkServers(PortMapListing& listing, std::chrono::milliseconds limit)
{
    std::vector<std::pair<SerialPortEntry*, std::future<bool>>> asked;
    for (SerialPortEntry& entry : listing.Ports) {
        if (const auto address = ParseNetAddress(entry.Device))
            asked.emplace_back(&entry, std::async(std::launch::async, [address, limit] {
                return NetServerAccepts(*address, limit);
            }));
    }
    for (auto& [entry, accepts] : asked)
        entry->Present = accepts.get();
}

std::optional<std::string> ResolveComPort(int number, const SerialPortDetector& detect)
{
    for (const auto& entry : ListSerialPorts(detect).Ports) {
        if (entry.Number == number)
            return entry.Device;
    }
    return std::nullopt;
}
