// SPDX-License-Identifier: MIT
#include "Registry.h"

#include "Exceptions.h"

#include <algorithm>
#include <cctype>

namespace {

// Registry key names ignore case and a leading backslash.
bool SameKey(std::string key, const std::string& wanted)
{
    if (!key.empty() && key.front() == '\\')
        key.erase(0, 1);
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    return std::equal(key.begin(), key.end(), wanted.begin(), wanted.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

}  // namespace

TRegistry::TRegistry(SerialPortDetector detect) : Detect(std::move(detect)) {}

bool TRegistry::OpenKeyReadOnly(const std::string& key)
{
    CloseKey();
    if (RootKey != HKEY_LOCAL_MACHINE || !SameKey(key, SerialCommKey))
        return false;

    const PortMapListing listing = ListSerialPorts(Detect);
    if (listing.Unreadable)
        return false;  // a map that cannot be read is a key that cannot be opened
    auto uniqueName = [this](const std::string& wanted) {
        std::string name = wanted;
        for (int n = 2; std::any_of(Values.begin(), Values.end(),
                                    [&](const Value& v) { return v.Name == name; });
             ++n)
            name = wanted + " (" + std::to_string(n) + ")";
        return name;
    };
    for (const auto& port : listing.Ports)
        Values.push_back({uniqueName(port.Device), port.Text, true});
    if (listing.Malformed)
        Values.push_back({uniqueName("ports line " + std::to_string(listing.MalformedLine)),
                          listing.MalformedText, false});
    KeyOpen = true;
    return true;
}

void TRegistry::GetValueNames(TStringList& names) const
{
    names.Strings.clear();
    for (const auto& value : Values)
        names.Add(value.Name);
}

std::string TRegistry::ReadString(const std::string& name) const
{
    for (const auto& value : Values) {
        if (value.Name != name)
            continue;
        if (!value.IsText)
            throw ERegistryException("Invalid data type for '" + name + "'");
        return value.Text;
    }
    return {};
}

void TRegistry::CloseKey()
{
    KeyOpen = false;
    Values.clear();
}
