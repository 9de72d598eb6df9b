// SPDX-License-Identifier: MIT
// Fuzz target: the ports file parser and the registry over it. Input: a byte choosing up to
// three detected devices (some of them named in the file as well), then the file's content.
#include "Exceptions.h"
#include "FuzzSupport.h"
#include "PortMap.h"
#include "Registry.h"
#include "TStringList.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

std::string ConfigDir;

void CheckListing(const PortMapListing& listing, const std::vector<DetectedSerialPort>& detected)
{
    int previous = 0;
    for (const auto& port : listing.Ports) {
        FUZZ_CHECK(port.Number >= FirstComNumber && port.Number <= LastComNumber);
        FUZZ_CHECK(port.Number > previous);  // ascending, each number once
        previous = port.Number;
        FUZZ_CHECK(port.Text == "COM" + std::to_string(port.Number));
        FUZZ_CHECK(!port.Device.empty());
    }
    // Every detected device is listed once (while numbers are free), never twice.
    for (const auto& device : detected) {
        size_t count = 0;
        for (const auto& port : listing.Ports)
            count += !port.Description.empty() && port.Device == device.Device;
        FUZZ_CHECK(count <= 1);
    }
    if (listing.Malformed)
        FUZZ_CHECK(listing.MalformedLine >= 1);
}

void CheckRegistry(const PortMapListing& listing, const std::vector<DetectedSerialPort>& detected)
{
    TRegistry registry([&] { return detected; });
    registry.RootKey = HKEY_LOCAL_MACHINE;
    FUZZ_CHECK(registry.OpenKeyReadOnly(SerialCommKey));
    TStringList names;
    registry.GetValueNames(names);
    const size_t expected = listing.Ports.size() + (listing.Malformed ? 1 : 0);
    FUZZ_CHECK(static_cast<size_t>(names.Count()) == expected);
    std::set<std::string> unique;
    for (int i = 0; i < names.Count(); ++i) {
        FUZZ_CHECK(unique.insert(names[i]).second);
        bool notText = false;
        std::string text;
        try {
            text = registry.ReadString(names[i]);
        } catch (const ERegistryException&) {
            notText = true;
        }
        // Only the malformed entry, and only as the last one, is not text.
        const bool last = i + 1 == names.Count();
        FUZZ_CHECK(notText == (listing.Malformed && last));
        if (!notText)
            FUZZ_CHECK(text == listing.Ports[static_cast<size_t>(i)].Text);
    }
    registry.CloseKey();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const std::string dir = EnterFuzzDirectory("ports");
    ConfigDir = dir + "/config";
    std::filesystem::create_directories(ConfigDir + "/zendrak");
    setenv("XDG_CONFIG_HOME", ConfigDir.c_str(), 1);
    setenv("ZENDRAK_NO_PORT_DETECTION", "1", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputReader in(data, size);
    const uint8_t pick = in.Byte();
    std::vector<DetectedSerialPort> detected;
    static const char* devices[] = {"/dev/ttyUSB0", "/dev/ttyS1", "/dev/ttyACM0", "/dev/ttyUSB1"};
    for (int d = 0; d < 3; ++d) {
        const std::string device = devices[(pick >> (2 * d + 1)) & 3];
        bool known = false;
        for (const auto& other : detected)
            known = known || other.Device == device;
        if ((pick & (1 << d)) && !known)  // the system lists each device once
            detected.push_back({device, "device " + std::to_string(d)});
    }
    const std::string content = in.Bytes(in.Left());

    const PortMapListing listing = ParsePortMap(content, detected);
    CheckListing(listing, detected);
    {
        std::ofstream file(ConfigDir + "/zendrak/ports", std::ios::binary | std::ios::trunc);
        file << content;
    }
    FUZZ_CHECK(ListSerialPorts([&] { return detected; }).Ports.size() == listing.Ports.size());
    CheckRegistry(listing, detected);
    return 0;
}
