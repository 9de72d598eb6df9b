// SPDX-License-Identifier: MIT
#include "SerialPortKey.h"

#include "PortMap.h"
#include "Registry.h"
#include "TStringList.h"

#include <map>

namespace {

class RegistrySerialPortKey : public SerialPortKey {
public:
    explicit RegistrySerialPortKey(const SerialPortDetector& detect)
        : Detected(detect()), Registry([this] { return Detected; })
    {
        Registry.RootKey = HKEY_LOCAL_MACHINE;
        Registry.OpenKeyReadOnly(SerialCommKey);  // whether it opened is not examined
        // The descriptions of the same listing, for the tooltips.
        for (const SerialPortEntry& port : ListSerialPorts([this] { return Detected; }).Ports) {
            std::string description = port.Description;
            for (const DetectedSerialPort& found : Detected)
                if (description.empty() && found.Device == port.Device)
                    description = found.Description;
            Tips[port.Text] = description.empty() ? port.Device : port.Device + " - " + description;
        }
    }
    ~RegistrySerialPortKey() override { Registry.CloseKey(); }

    std::vector<std::string> ValueNames() override
    {
        TStringList names;
        Registry.GetValueNames(names);
        std::vector<std::string> result;
        for (int i = 0; i < names.Count(); ++i)
            result.push_back(names[i]);
        return result;
    }
    std::string ReadString(const std::string& name) override { return Registry.ReadString(name); }
    std::string ToolTip(const std::string& name) override
    {
        const auto tip = Tips.find(Registry.ReadString(name));
        return tip == Tips.end() ? std::string() : tip->second;
    }

private:
    // Detected once, so the names, the texts and the tooltips agree.
    std::vector<DetectedSerialPort> Detected;
    TRegistry Registry;
    std::map<std::string, std::string> Tips;  // port text -> tooltip
};

}  // namespace

std::unique_ptr<SerialPortKey> OpenSerialCommKey(const SerialPortDetector& detect)
{
    return std::make_unique<RegistrySerialPortKey>(detect);
}
