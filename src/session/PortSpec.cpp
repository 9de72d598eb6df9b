// SPDX-License-Identifier: MIT
#include "PortSpec.h"

#include "ComText.h"
#include "PortLookup.h"
#include "PortSettings.h"
#include "comm_port.h"

#include <unistd.h>
#include <algorithm>
#include <cctype>

std::optional<PortSpec> PortSpec::Parse(std::string_view text, std::string* error)
{
    PortSpec port;
    if (LooksLikeNetAddress(text)) {
        std::string why;
        const std::optional<NetAddress> address = ParseNetAddress(text, &why);
        if (!address) {
            if (error)
                *error = "not a network address: " + std::string(text) + " (" + why + ")";
            return std::nullopt;
        }
        port.What = Kind::Network;
        port.Written = address->Text();
        return port;
    }
    if (!text.empty() && text.front() == '/') {
        port.What = Kind::DevicePath;
        port.Written = std::string(text);
        return port;
    }
    if (const std::optional<int> number = ComNumberOfText(text))
        return Com(*number);
    if (error)
        *error = "not a port: " + std::string(text) +
                 " (COM<n> with n from 1 to 99, a device path starting with \"/\", or "
                 "rfc2217://HOST:PORT or tcp://HOST:PORT)";
    return std::nullopt;
}

PortSpec PortSpec::Com(int number)
{
    PortSpec port;
    port.What = Kind::ComNumber;
    port.Number = number;
    port.Written = ComText(number);
    return port;
}

std::string PortSpec::FolderName() const
{
    switch (What) {
    case Kind::ComNumber: return Written;
    case Kind::DevicePath: {
        const std::string name = Written.substr(Written.find_last_of('/') + 1);
        return name == "." || name == ".." ? std::string() : name;
    }
    case Kind::Network: {
        // Host and port with everything but letters, digits, '-' and '.' as '_': a name that
        // needs no quoting anywhere ("[::1]:3002" gives "__1_3002").
        const std::optional<NetAddress> address = ParseNetAddress(Written);
        std::string name = address ? address->Host + "_" + std::to_string(address->Port) : "";
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.')
                c = '_';
        return name;
    }
    }
    return {};
}

PortResolution PortSpec::Resolve() const
{
    if (What != Kind::ComNumber)
        return {Written, {}};
    const ComPortLookup lookup = LookUpComPort(Number);
    return {lookup.Device, lookup.Problem};
}

std::optional<NetAddress> PortSpec::Address() const
{
    const PortResolution resolution = Resolve();
    if (!resolution.Device || !LooksLikeNetAddress(*resolution.Device))
        return std::nullopt;
    return ParseNetAddress(*resolution.Device);
}

bool PortSpec::Present(bool askServer) const
{
    const PortResolution resolution = Resolve();
    if (!resolution.Device)
        return false;
    if (LooksLikeNetAddress(*resolution.Device)) {
        if (!askServer)
            return true;
        const std::optional<NetAddress> address = ParseNetAddress(*resolution.Device);
        return address && NetServerAccepts(*address);
    }
    return ::access(resolution.Device->c_str(), F_OK) == 0;
}

void PortSpec::Configure(TCommPort& port) const
{
    if (What == Kind::ComNumber) {
        ConfigureCommPort(port, static_cast<uint8_t>(Number));
        return;
    }
    // SetCommPort makes a COM name (\\.\ + its text) and refuses an open port; a device path or
    // a network address is the name itself.
    port.SetCommPort(Written);
    port.PortName = Written;
    port.SetBaudRate(LinkBaudRate);
    port.SetByteSize(8);
    port.SetParity(NOPARITY);
    port.SetStopBits(ONESTOPBIT);
}

PresenceWait WaitForPresence(const PortSpec& port, double seconds,
                             const std::function<bool(std::chrono::milliseconds)>& pause)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto Interval = std::chrono::milliseconds(200);
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    for (;;) {
        if (port.Present())
            return PresenceWait::Present;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return PresenceWait::TimedOut;
        if (!pause(std::min(Interval, left)))
            return PresenceWait::Stopped;
    }
}
