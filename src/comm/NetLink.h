// SPDX-License-Identifier: MIT
// NetLink: a serial port on another machine, reached over TCP through a serial device server
// (NetAddress.h). rfc2217:// is a telnet session with the COM-PORT-OPTION: binary transmission
// both ways, the line set from here and confirmed by the server. tcp:// is the raw stream, on
// the server's line settings. It gives TCommPort the waits and transfers SerialDevice gives
// for a local device, on the receiver's bytes alone: 0xFF is doubled on the way out and
// undoubled on the way in, and the protocol's own bytes (negotiation, the server's
// notifications) never reach a read. Every failure leaves errno and an account in words that
// names the server (Problem()).
//
// Writes keep the pace of the receiver's line (LinePace.h): the connection is handed what a
// local device's output queue would take. The local port never purges the device's queues, so
// neither does this one: the server opens its device when the connection is made, as a local
// open would.
//
// Why a client of its own rather than a library: the one packaged for the purpose runs its
// own event loop with callbacks beside Qt's (the port's calls are synchronous, with deadlines
// to the millisecond, on the run's thread), ships under GPL-2 in parts and pulls in a dozen
// libraries for many transports, where this needs two telnet options and five settings.
#pragma once

#include "ComPortClient.h"
#include "LinePace.h"
#include "LineWait.h"
#include "NetAddress.h"
#include "TelnetCodec.h"
#include "comm_port.h"

#include <sys/types.h>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class NetLink {
public:
    // Bounds of the set-up: the connection, the whole telnet negotiation with the line
    // settings' confirmations, and how long a raw port is watched for a server that refuses a
    // client by closing at once (ser2net does when the port is in use).
    static constexpr std::chrono::milliseconds ConnectLimit{5000};
    static constexpr std::chrono::milliseconds NegotiationLimit{3000};
    static constexpr std::chrono::milliseconds RawSettleTime{200};

    // What a failed open leaves for the port's error.
    struct Failure {
        uint8_t Code = 8;
        int Error = 0;
        std::string Problem;
    };

    // Connects (TCP_NODELAY) and sets the line up: for rfc2217:// agrees binary transmission
    // and the COM-PORT-OPTION and applies `settings` with the server's confirmation; for
    // tcp:// waits RawSettleTime for a refusal. Nothing but the protocol's own bytes is sent.
    // Null, with `failure` filled, when any step fails: code 8 (no connection, refused by the
    // server, port in use) or 15 (an option refused, the settings not confirmed).
    static std::unique_ptr<NetLink> Open(const NetAddress& address, const DCB& settings,
                                         Failure& failure);
    ~NetLink();
    NetLink(const NetLink&) = delete;
    NetLink& operator=(const NetLink&) = delete;

    int Handle() const { return Socket; }
    const NetAddress& Address() const { return Where; }
    // The account of the last failure, naming the server.
    const std::string& Problem() const { return LastProblem; }

    // rfc2217://: asks for `settings` and waits for the server's confirmations; tcp://: the
    // line is the server's, nothing to do.
    bool ApplySettings(const DCB& settings);

    // As SerialDevice's: Ready once receiver data waits (or the connection has ended, which
    // the next Read reports); what the protocol alone sends does not end the wait.
    LineWait WaitReadable(int milliseconds);
    // Receiver data moved, 0 when none waits, -1 with errno when the connection has failed or
    // the server closed it (ECONNRESET).
    ssize_t Read(uint8_t* buffer, size_t size);
    // Ready once the line's queue has room for the bytes of the last write that could not go,
    // and the connection takes bytes (and the server has not asked to pause).
    LineWait WaitWritable(int milliseconds);
    // Receiver bytes handed to the connection, 0 when it or the line's queue takes none now
    // (a write of up to a queue's worth goes whole or waits), -1 with errno.
    ssize_t Write(const uint8_t* buffer, size_t size);
    // What of the written receiver bytes the line has not carried yet, as the pace models it:
    // the connection cannot tell what still waits for the server's line.
    size_t LineQueued() { return Pace.Queued(std::chrono::steady_clock::now()); }
    // A write was not handed over by its deadline: the account for its error.
    void NoteStalled();
    // Closes the connection (what the server still sends is read away first, so that the
    // close is an orderly one); false with errno when the close fails.
    bool Close();

private:
    NetLink(const NetAddress& address, int socket, const DCB& settings);

    enum class Received { Data, Protocol, Nothing, Ended };
    // One non-blocking receive: decodes it, answers the server's requests. Protocol: only the
    // protocol's own bytes came; Nothing: nothing waited.
    Received Receive();
    // Hands as much of Outgoing to the connection as it takes now; false on failure (errno).
    bool SendOutgoing();
    bool Negotiate(const DCB& settings, Failure& failure);
    bool AwaitSettings(std::chrono::steady_clock::time_point deadline, Failure& failure);
    bool SettleRaw(Failure& failure);
    // Waits up to the deadline for something to receive (Ready), sending Outgoing meanwhile.
    LineWait AwaitInput(std::chrono::steady_clock::time_point deadline);
    // The last line of text the server sent, for messages.
    std::string LastWords() const;
    size_t PendingSize() const { return Pending.size() - PendingStart; }
    // A connection that ended while it was set up: refused, in use, or lost.
    Failure EndedAtOpen() const;
    // A send that failed while the connection was set up: the server's last words are read
    // first, as they tell why (a port in use).
    Failure SendFailedAtOpen();
    // errno and Problem for a connection that has ended.
    void ReportEnded();

    NetAddress Where;
    int Socket = -1;
    bool Telnet = false;
    TelnetDecoder Decoder;
    ComPortClient Client;
    // Receiver data decoded and not yet read.
    std::vector<uint8_t> Pending;
    size_t PendingStart = 0;
    LinePace Pace;
    // Room the last write waited for in the line's queue (0: none).
    size_t RoomWanted = 0;
    // Protocol bytes, and the second half of a doubled 0xFF, not yet handed to the connection.
    std::vector<uint8_t> Outgoing;
    // The last bytes of data received, for the server's words when it closes.
    std::string Recent;
    bool SawData = false;
    bool Ended = false;
    int EndError = 0;  // errno of a failed receive; 0: the server closed the connection
    std::string LastProblem;
};
