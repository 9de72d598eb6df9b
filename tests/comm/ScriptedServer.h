// SPDX-License-Identifier: MIT
// ScriptedServer: a serial device server played by the test. It listens on 127.0.0.1 on a free
// port, accepts one client and runs the test's script on a thread of its own, which reads and
// sends raw bytes on the connection. Everything the client sent is kept for the test to check.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The server's end of the accepted connection, as the script sees it.
class ServerSide {
public:
    explicit ServerSide(int socket) : Socket(socket) {}
    // Reads until `count` bytes have come, the client has closed or `timeoutMs` has passed.
    Bytes Read(size_t count, int timeoutMs = 5000);
    // Reads until the client closes (or `timeoutMs` has passed).
    Bytes ReadToEnd(int timeoutMs = 5000);
    void Send(const Bytes& bytes);
    void Send(const std::string& text);
    // Closes the connection (an orderly close; `reset`: an abortive one).
    void Close(bool reset = false);
    int Handle() const { return Socket; }

    // Every byte read from the client, in order.
    Bytes Received;

private:
    int Socket;
};

class ScriptedServer {
public:
    using Script = std::function<void(ServerSide&)>;
    // Listens at once; the thread accepts one client and plays `script`. A small receive
    // buffer (`receiveBuffer` bytes, 0: the system's) lets a test fill the connection.
    explicit ScriptedServer(Script script, int receiveBuffer = 0);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t Port() const { return ListenPort; }
    // "rfc2217://127.0.0.1:<port>" or "tcp://127.0.0.1:<port>".
    std::string Address(bool rfc2217 = true) const;
    // Waits for the script to end; then Received holds what the client sent.
    void Join();

    Bytes Received;

private:
    int Listener = -1;
    uint16_t ListenPort = 0;
    std::thread Thread;
};

// The server's side of a telnet negotiation that agrees to everything the client asks, and
// its confirmation of the line settings (as ser2net gives them for 115200 8N1).
Bytes AgreeingServerOpening();
Bytes ConfirmationsOf115200();
// What the client sends: its opening, and its requests for 115200 8N1 without flow control.
Bytes ClientOpening();
Bytes ClientRequestsFor115200();
// Plays a server that agrees and confirms; true when the client asked what it should.
bool AgreeAndConfirm(ServerSide& server);
// A free TCP port on 127.0.0.1 that nothing listens on (taken and given back at once).
uint16_t UnusedPort();
