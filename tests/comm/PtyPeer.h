// SPDX-License-Identifier: MIT
// PtyPeer: the receiver's end of a pseudo-terminal for port tests. The port opens the slave
// (SlavePath); the test reads and writes the master.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class PtyPeer {
public:
    PtyPeer();   // a raw master with its slave unlocked; fails the test when it cannot
    ~PtyPeer();  // closes the master if still open
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& SlavePath() const { return Slave; }
    int MasterFd() const { return Master; }

    // Sends all bytes to the port.
    void Send(const std::vector<uint8_t>& bytes);
    void Send(const std::string& bytes);
    // Collects what the port sent until `count` bytes have come or `timeoutMs` has passed.
    std::vector<uint8_t> Receive(size_t count, int timeoutMs = 2000);
    // Collects until the line has been quiet for `quietMs` (at most `timeoutMs` in all).
    std::vector<uint8_t> ReceiveUntilQuiet(int quietMs = 100, int timeoutMs = 2000);
    // The receiver goes away: the port's device reports a hang-up.
    void CloseMaster();

private:
    int Master = -1;
    std::string Slave;
};

// Points the port map at a fresh temporary directory with `content` as the map file and turns
// device detection off for the lifetime of the object.
class ScopedPortMap {
public:
    explicit ScopedPortMap(const std::string& content);
    ~ScopedPortMap();
    void Rewrite(const std::string& content);

private:
    std::string Directory;
};
