// SPDX-License-Identifier: MIT
// The ports the bench shows: those the window's port box lists (the port map and the serial
// devices found), then any port named on the command line that the listing does not hold, each
// with its device, stable identity and presence. BenchPortWatch lists them again and again on a
// thread of its own while the bench is open, so that the rows' presence stays current and the
// window never waits for a device or a server.
#pragma once

#include "BenchRowEvents.h"

#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// `named` as PortSpec names them. With `askServers`, a network server is asked whether it
// accepts a connection (all at once, a second at most) unless `busy` names its port (a run has
// it: nobody else connects to it meanwhile); one not asked counts as present.
std::vector<BenchPort> ListBenchPorts(const std::vector<std::string>& named,
                                      const std::set<std::string>& busy = {},
                                      bool askServers = true);

class BenchPortWatch {
public:
    using Listener = std::function<void(const std::vector<BenchPort>&)>;

    // Lists the ports at once and then every `interval`, telling `listener` each listing on the
    // user-interface thread.
    BenchPortWatch(std::vector<std::string> named, Listener listener,
                   std::chrono::milliseconds interval = std::chrono::seconds(2));
    // Waits for a listing under way (a server that does not answer: up to a second).
    ~BenchPortWatch();
    BenchPortWatch(const BenchPortWatch&) = delete;
    BenchPortWatch& operator=(const BenchPortWatch&) = delete;

    // The ports that runs have now (from any thread).
    void SetBusy(std::set<std::string> ports);

private:
    void Loop();

    const std::vector<std::string> Named;
    const Listener Listen;
    const std::chrono::milliseconds Interval;
    QObject Receiver;  // the listings are queued to it on the user-interface thread
    std::mutex Lock;
    std::condition_variable Wake;
    std::set<std::string> Busy;
    bool Stopping = false;
    std::thread Thread;
};
