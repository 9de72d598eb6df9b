// SPDX-License-Identifier: MIT
#include "PortMap.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

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

// "COM<n>" with n from 1 to 99 written without leading zeros; 0 when it is anything else.
int ComNumberOf(std::string_view name)
{
    if (name.size() < 4 || name.size() > 5 || name.substr(0, 3) != "COM" || name[3] == '0')
        return 0;
    int number = 0;
    for (const char c : name.substr(3)) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + (c - '0');
    }
    return number;
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

// Parses one non-empty, non-comment line; false when it is malformed.
bool ParseLine(std::string_view line, MapLine& parsed)
{
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    parsed.Number = ComNumberOf(Trim(line.substr(0, equals)));
    parsed.Device = std::string(Trim(line.substr(equals + 1)));
    return parsed.Number >= FirstComNumber && parsed.Number <= LastComNumber &&
           !parsed.Device.empty();
}

std::string ComText(int number)
{
    return "COM" + std::to_string(number);
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
        if (!ParseLine(line, parsed)) {
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
    std::string content;
    std::ifstream file(PortMapFilePath(), std::ios::binary);
    if (file)
        content.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    const auto detected = detect ? detect() : std::vector<DetectedSerialPort>{};
    if (!PortDetectionEnabled())
        return ParsePortMap(content, detected);
    AssignedPorts assigned = LoadAssignedPorts();
    PortMapListing listing = ParsePortMap(content, detected, &assigned);
    listing.StateError = SaveAssignedPorts(assigned);
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
