// SPDX-License-Identifier: MIT
#include "AssignedPorts.h"

#include "AtomicFile.h"
#include "ComText.h"
#include "PortMap.h"
#include "SmallFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

AssignedPorts AssignedPorts::Parse(std::string_view content)
{
    AssignedPorts ports;
    while (!content.empty()) {
        const auto end = content.find('\n');
        const std::string_view line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        // One line at a time through the port map's parser: the same format, and a bad line
        // costs only itself.
        const PortMapListing parsed = ParsePortMap(line, {});
        if (parsed.Ports.size() != 1)
            continue;
        const SerialPortEntry& entry = parsed.Ports.front();
        if (!ports.IsAssigned(entry.Number) && ports.NumberOf(entry.Device) == 0)
            ports.Assign(entry.Number, entry.Device);
    }
    ports.Modified = false;
    return ports;
}

std::string AssignedPorts::Serialize() const
{
    std::string text =
        "# COM numbers zendrak gave to detected serial devices (--forget-port drops one)\n";
    for (const AssignedPort& port : Ports)
        text += ComText(port.Number) + "=" + port.Identity + "\n";
    return text;
}

int AssignedPorts::NumberOf(const std::string& identity) const
{
    for (const AssignedPort& port : Ports)
        if (port.Identity == identity)
            return port.Number;
    return 0;
}

bool AssignedPorts::IsAssigned(int number) const
{
    return std::any_of(Ports.begin(), Ports.end(),
                       [number](const AssignedPort& port) { return port.Number == number; });
}

void AssignedPorts::Assign(int number, const std::string& identity)
{
    const auto at = std::find_if(Ports.begin(), Ports.end(), [number](const AssignedPort& port) {
        return port.Number > number;
    });
    Ports.insert(at, {number, identity});
    Modified = true;
}

bool AssignedPorts::Forget(int number)
{
    const auto at = std::find_if(Ports.begin(), Ports.end(), [number](const AssignedPort& port) {
        return port.Number == number;
    });
    if (at == Ports.end())
        return false;
    Ports.erase(at);
    Modified = true;
    return true;
}

std::string AssignedPortsFilePath()
{
    return XdgBaseFolder("XDG_STATE_HOME", "/.local/state") + "/zendrak/assigned-ports";
}

AssignedPortsRead LoadAssignedPorts()
{
    const std::string path = AssignedPortsFilePath();
    const SmallFileRead file = ReadSmallFile(path, AssignedPortsSizeLimit);
    switch (file.Status) {
    case SmallFileStatus::Ok: return {AssignedPorts::Parse(file.Bytes), {}};
    case SmallFileStatus::TooLarge: return {AssignedPorts::Parse(WholeLinesOf(file.Bytes)), {}};
    case SmallFileStatus::Missing: return {};
    case SmallFileStatus::NotRegular:
    case SmallFileStatus::Unreadable: break;
    }
    return {{}, "cannot read the remembered port numbers " + path + ": " + file.Reason};
}

std::string SaveAssignedPorts(const AssignedPorts& ports)
{
    if (!ports.Changed())
        return {};
    const std::string path = AssignedPortsFilePath();
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    if (error)
        return "cannot make the folder of " + path + ": " + error.message();
    if (ReplaceFileAtomically(path, ports.Serialize()) != AtomicWriteResult::Ok)
        return "cannot write " + path + ": " + std::strerror(errno);
    return {};
}

std::string StableIdentityOf(const std::string& device, const std::string& devRoot)
{
    std::error_code error;
    const fs::path target = fs::canonical(device, error);
    if (error)
        return device;
    for (const char* folder : {"/serial/by-id", "/serial/by-path"}) {
        std::vector<std::string> links;
        for (const auto& entry : fs::directory_iterator(devRoot + folder, error)) {
            std::error_code ignored;
            if (entry.is_symlink(ignored) && fs::canonical(entry.path(), ignored) == target &&
                !ignored)
                links.push_back(entry.path().string());
        }
        if (!links.empty())
            return *std::min_element(links.begin(), links.end());
    }
    return device;
}
