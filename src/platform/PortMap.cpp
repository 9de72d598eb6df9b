// SPDX-License-Identifier: MIT
#include "PortMap.h"

#include "ComText.h"
#include "SmallFile.h"

#include <algorithm>
#include <array>
#include <cstdlib>

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
    return parsed.Number >= FirstComNumber && !parsed.Device.empty();
}

}  // namespace

std::string PortMapFilePath()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && *config) {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/zendrak/ports";
}

PortMapListing ParsePortMap(std::string_view content,
                            const std::vector<DetectedSerialPort>& detected)
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
        listing.Ports.push_back({parsed.Number, ComText(parsed.Number), parsed.Device, {}});
    }

    int next = FirstComNumber;
    for (const auto& device : detected) {
        const std::string identity = IdentityOf(device.Device);
        const auto mapped = std::find(mappedIdentities.begin(), mappedIdentities.end(), identity);
        if (mapped != mappedIdentities.end()) {
            // Listed by the file already; it still lends its description to that entry.
            auto& entry = listing.Ports[static_cast<size_t>(mapped - mappedIdentities.begin())];
            if (entry.Description.empty())
                entry.Description = device.Description;
            continue;
        }
        while (next <= LastComNumber && taken[next])
            ++next;
        if (next > LastComNumber)
            break;
        taken[next] = true;
        mappedIdentities.push_back(identity);
        listing.Ports.push_back({next, ComText(next), device.Device, device.Description});
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
    if (file.Status != SmallFileStatus::TooLarge)
        return ParsePortMap(file.Bytes, detected);

    // Only whole lines within the bound are read; the line the bound cuts is malformed.
    const size_t lastNewline = file.Bytes.rfind('\n');
    const std::string_view whole = lastNewline == std::string::npos
                                       ? std::string_view{}
                                       : std::string_view(file.Bytes).substr(0, lastNewline + 1);
    PortMapListing listing = ParsePortMap(whole, detected);
    if (!listing.Malformed) {
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

std::optional<std::string> ResolveComPort(int number, const SerialPortDetector& detect)
{
    for (const auto& entry : ListSerialPorts(detect).Ports) {
        if (entry.Number == number)
            return entry.Device;
    }
    return std::nullopt;
}
