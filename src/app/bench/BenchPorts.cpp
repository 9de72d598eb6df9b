// SPDX-License-Identifier: MIT
#include "BenchPorts.h"

#include "NetAddress.h"
#include "PortMap.h"
#include "PortSpec.h"

#include <algorithm>
#include <future>

std::vector<BenchPort> ListBenchPorts(const std::vector<std::string>& named,
                                      const std::set<std::string>& busy, bool askServers)
{
    std::vector<BenchPort> ports;
    std::vector<std::pair<size_t, std::future<bool>>> asked;
    const auto askServer = [&](size_t index, const std::string& device) {
        const std::optional<NetAddress> address = ParseNetAddress(device);
        if (!askServers || !address || busy.count(ports[index].Port) > 0)
            return;
        // Every server at once: the slowest answer bounds the listing.
        asked.emplace_back(
            index, std::async(std::launch::async, [a = *address] { return NetServerAccepts(a); }));
    };
    for (const SerialPortEntry& entry : ListSerialPorts().Ports) {
        // A device the port map names has no identity of its own beyond its path.
        const std::string identity = entry.Identity == entry.Device ? "" : entry.Identity;
        ports.push_back({entry.Text, entry.Device, identity, entry.Present});
        askServer(ports.size() - 1, entry.Device);
    }
    for (const std::string& text : named) {
        const std::optional<PortSpec> port = PortSpec::Parse(text);
        if (!port || std::any_of(ports.begin(), ports.end(),
                                 [&](const BenchPort& p) { return p.Port == port->Text(); }))
            continue;
        const PortResolution resolution = port->Resolve();
        const bool local = resolution.Device && !LooksLikeNetAddress(*resolution.Device);
        ports.push_back({port->Text(), resolution.Device.value_or(""), "",
                         local ? port->Present() : resolution.Device.has_value()});
        if (resolution.Device)
            askServer(ports.size() - 1, *resolution.Device);
    }
    for (auto& [index, accepts] : asked)
        ports[index].Present = accepts.get();
    return ports;
}

BenchPortWatch::BenchPortWatch(std::vector<std::string> named, Listener listener,
                               std::chrono::milliseconds interval)
    : Named(std::move(named)), Listen(std::move(listener)), Interval(interval)
{
    Thread = std::thread([this] { Loop(); });
}

BenchPortWatch::~BenchPortWatch()
{
    {
        std::lock_guard lock(Lock);
        Stopping = true;
    }
    Wake.notify_all();
    Thread.join();
}

void BenchPortWatch::SetBusy(std::set<std::string> ports)
{
    std::lock_guard lock(Lock);
    Busy = std::move(ports);
}

void BenchPortWatch::Loop()
{
    std::unique_lock lock(Lock);
    while (!Stopping) {
        const std::set<std::string> busy = Busy;
        lock.unlock();
        std::vector<BenchPort> ports = ListBenchPorts(Named, busy);
        QMetaObject::invokeMethod(
            &Receiver, [this, ports = std::move(ports)] { Listen(ports); }, Qt::QueuedConnection);
        lock.lock();
        Wake.wait_for(lock, Interval, [this] { return Stopping; });
    }
}
