// SPDX-License-Identifier: MIT
// The port on another machine, through TCommPort, against servers the tests play: the set-up
// with every way a server can refuse it, the receiver's bytes both ways with 0xFF and the
// server's notifications at every place, the read time-outs measured on the receiver's bytes,
// the server's pause, and a connection that stalls or goes away.
#include "LinePace.h"
#include "Messages.h"
#include "PortErrorAdvice.h"
#include "PtyPeer.h"
#include "ScriptedServer.h"
#include "TelnetCodec.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace {

using namespace Telnet;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

ECommError Raised(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ECommError& error) {
        return error;
    }
    ADD_FAILURE() << "no ECommError raised";
    errno = 0;
    return ECommError(0);
}

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

Bytes Notification(uint8_t command, uint8_t value)
{
    Bytes bytes;
    AppendSubnegotiation(COM_PORT_OPTION, {command, value}, bytes);
    return bytes;
}

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class NetPort : public ::testing::Test {
protected:
    RecordingMessageService Boxes;
    ScopedMessageService Scope{Boxes};
    ScopedPortMap Map{""};
    // Held by pointer: the port's destructor may raise, a fixture's must not.
    std::unique_ptr<TCommPort> PortObject = std::make_unique<TCommPort>();
    TCommPort& Port = *PortObject;

    void OpenOn(const std::string& address)
    {
        Port.PortName = address;
        Port.SetBaudRate(115200);
        Port.OpenCommPort();
    }
    Bytes ReadSome(uint32_t size)
    {
        Bytes buffer(size + 1);
        buffer.resize(Port.ReadBytes(buffer.data(), size));
        return buffer;
    }
};

struct RefusalCase {
    const char* Name;
    ScriptedServer::Script Script;  // null: no server at all
    bool Rfc2217;
    const char* Address;  // with no server; otherwise the server's
    uint8_t Code;
    int Error;
    const char* Advice;  // a part of the error's advice
    bool SentRequests;   // the line settings were asked for before the refusal
};

class NetPortRefusal : public NetPort, public ::testing::WithParamInterface<RefusalCase> {};

// The port stays closed, the error names the server and what it refused, and the server got
// nothing but the protocol's own bytes.
TEST_P(NetPortRefusal, IsAClearErrorBeforeAnythingIsSent)
{
    const RefusalCase& c = GetParam();
    std::unique_ptr<ScriptedServer> server;
    std::string address = c.Address ? c.Address : "";
    if (c.Script) {
        server = std::make_unique<ScriptedServer>(c.Script);
        address = server->Address(c.Rfc2217);
    } else if (address.empty()) {
        address = "tcp://127.0.0.1:" + std::to_string(UnusedPort());
    }
    const ECommError error = Raised([&] { OpenOn(address); });
    EXPECT_FALSE(Port.PortOpen);
    EXPECT_EQ(error.Code, c.Code);
    EXPECT_EQ(error.LastError, static_cast<uint32_t>(c.Error)) << error.Detail;
    EXPECT_NE(error.Detail.find(c.Advice), std::string::npos) << error.Detail;
    const std::string server_text = address.substr(address.find("://") + 3);
    EXPECT_NE(error.Detail.find(server_text), std::string::npos) << error.Detail;
    // The port shows nothing itself; the advice its users get carries the same account.
    EXPECT_TRUE(Boxes.Boxes().empty());
    EXPECT_NE(PortErrorAdvice(error).find(error.Detail), std::string::npos);
    if (server) {
        server->Join();
        const Bytes expected = !c.Rfc2217 ? Bytes{}
                               : c.SentRequests
                                   ? Joined({ClientOpening(), ClientRequestsFor115200()})
                                   : ClientOpening();
        EXPECT_EQ(server->Received, expected);
    }
}

void SendsAndWaits(ServerSide& server, const Bytes& bytes)
{
    server.Send(bytes);
    server.ReadToEnd();
}

Bytes ServerOpeningWith(uint8_t verb, uint8_t option)
{
    Bytes bytes;
    AppendNegotiation(DO, BINARY, bytes);
    AppendNegotiation(verb, option, bytes);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Servers, NetPortRefusal,
    ::testing::Values(
        RefusalCase{"ComPortOptionRefused",
                    [](ServerSide& s) {
                        s.Read(ClientOpening().size());
                        SendsAndWaits(s, Joined({ServerOpeningWith(WILL, BINARY),
                                                 ServerOpeningWith(DONT, COM_PORT_OPTION)}));
                    },
                    true, nullptr, 15, EPROTO, "the server refused the COM-PORT-OPTION", false},
        RefusalCase{"BinaryRefused",
                    [](ServerSide& s) {
                        s.Read(ClientOpening().size());
                        SendsAndWaits(s, ServerOpeningWith(WONT, BINARY));
                    },
                    true, nullptr, 15, EPROTO, "the server refused binary transmission", false},
        RefusalCase{"RateNotConfirmed",
                    [](ServerSide& s) {
                        s.Read(ClientOpening().size());
                        s.Send(AgreeingServerOpening());
                        s.Read(ClientRequestsFor115200().size());
                        Bytes answers;
                        AppendSubnegotiation(COM_PORT_OPTION, {101, 0, 0, 0x25, 0x80}, answers);
                        SendsAndWaits(s, answers);
                    },
                    true, nullptr, 15, EPROTO, "it set 9600 baud where 115200 baud was asked",
                    true},
        RefusalCase{"DataBitsNeverConfirmed",
                    [](ServerSide& s) {
                        s.Read(ClientOpening().size());
                        s.Send(AgreeingServerOpening());
                        s.Read(ClientRequestsFor115200().size());
                        Bytes answers;
                        AppendSubnegotiation(COM_PORT_OPTION, {101, 0, 1, 0xC2, 0}, answers);
                        SendsAndWaits(s, answers);
                    },
                    true, nullptr, 15, ETIMEDOUT, "did not confirm 8 data bits within 3 s", true},
        // ser2net's words to a second client of a port it serves.
        RefusalCase{"PortInUse",
                    [](ServerSide& s) {
                        Bytes opening;
                        AppendNegotiation(DO, COM_PORT_OPTION, opening);
                        s.Send(opening);
                        s.Send(std::string("Port already in use\r\n"));
                        s.Read(ClientOpening().size(), 2000);
                    },
                    true, nullptr, 8, EBUSY,
                    "the port is in use on that server (it said \"Port already in use\")", false},
        RefusalCase{"RawPortInUse",
                    [](ServerSide& s) { s.Send(std::string("Port's device already in use\r\n")); },
                    false, nullptr, 8, EBUSY, "the port is in use on that server", false},
        RefusalCase{"RawPortDeviceMissing",
                    [](ServerSide& s) {
                        s.Send(std::string("Device open failure: Value or file not found\r\n"));
                    },
                    false, nullptr, 8, ECONNRESET,
                    "closed the connection at once (it said \"Device open failure", false},
        RefusalCase{
            "NoTelnetServer", [](ServerSide& s) { s.ReadToEnd(); }, true, nullptr, 15, ETIMEDOUT,
            "did not answer the telnet negotiation within 3 s. Is it an RFC 2217 port?", false},
        RefusalCase{"RawPortNamedAsTelnet",
                    [](ServerSide& s) {
                        SendsAndWaits(s, Bytes{'L', 'o', 'a', 'd', '\r', '\n'});
                    },
                    true, nullptr, 15, ETIMEDOUT, "it sent data instead, as a raw TCP port does",
                    false},
        RefusalCase{"NothingListens", nullptr, false, nullptr, 8, ECONNREFUSED,
                    "Connection refused. Nothing accepts connections on port", false},
        RefusalCase{"UnknownHost", nullptr, true, "rfc2217://no-such-host.invalid:3001", 8,
                    EHOSTUNREACH, "the host no-such-host.invalid cannot be found", false},
        RefusalCase{"AddressWithoutPort", nullptr, true, "rfc2217://bench-3", 8, EINVAL,
                    "'rfc2217://bench-3' is no network address: no port number", false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(NetPort, ReceiverBytesPassUnchangedWithIacAndNotificationsAtEveryPlace)
{
    std::vector<Bytes> arrived;
    ScriptedServer server([&](ServerSide& s) {
        if (!AgreeAndConfirm(s))
            return;
        for (size_t at = 0; at < 10; ++at) {
            arrived.push_back(s.Read(11));
            // The block comes back with the server's words around the 0xFF.
            Bytes back;
            for (size_t i = 0; i < 10; ++i) {
                if (i == at) {
                    const Bytes state = Notification(106, 0x60);
                    back.insert(back.end(), state.begin(), state.end());
                    back.insert(back.end(), {IAC, IAC, IAC, 241});  // 0xFF, then a NOP
                } else {
                    back.push_back(static_cast<uint8_t>('0' + i));
                }
            }
            const Bytes modem = Notification(107, 0x30);
            back.insert(back.end(), modem.begin(), modem.end());
            s.Send(back);
        }
        s.ReadToEnd();
    });
    OpenOn(server.Address());
    for (size_t at = 0; at < 10; ++at) {
        Bytes block;
        for (size_t i = 0; i < 10; ++i)
            block.push_back(i == at ? uint8_t{0xFF} : static_cast<uint8_t>('0' + i));
        Port.WriteBuffer(block.data(), 10);
        EXPECT_EQ(ReadSome(10), block) << "0xFF at " << at;
    }
    // What the line cannot have carried yet counts as queued, as a local device's queue does.
    const Bytes queueful(LinePace::QueueLimit, '.');
    const auto written = Clock::now();
    Port.WriteBuffer(queueful.data(), static_cast<int>(queueful.size()));
    const int64_t queued = Port.QueuedOutputBytes();
    const double carried = std::chrono::duration<double>(Clock::now() - written).count() * 11520;
    EXPECT_LE(queued, static_cast<int64_t>(LinePace::QueueLimit));
    EXPECT_GE(queued, static_cast<int64_t>(LinePace::QueueLimit - carried - 1));
    Port.CloseCommPort();
    server.Join();
    ASSERT_EQ(arrived.size(), 10u);
    for (size_t at = 0; at < 10; ++at) {
        Bytes doubled;
        for (size_t i = 0; i < 10; ++i) {
            doubled.push_back(i == at ? uint8_t{0xFF} : static_cast<uint8_t>('0' + i));
            if (i == at)
                doubled.push_back(0xFF);
        }
        EXPECT_EQ(arrived[at], doubled) << "0xFF at " << at;
    }
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST_F(NetPort, ARawPortPassesEveryByteAsItIs)
{
    Bytes all;
    for (int value = 0; value < 256; ++value)
        all.push_back(static_cast<uint8_t>(value));
    ScriptedServer server([&](ServerSide& s) {
        s.Read(all.size());
        s.Send(Bytes{IAC, WILL, BINARY, IAC, IAC});
        s.ReadToEnd();
    });
    OpenOn(server.Address(false));
    Port.WriteBuffer(all.data(), static_cast<int32_t>(all.size()));
    EXPECT_EQ(ReadSome(5), (Bytes{IAC, WILL, BINARY, IAC, IAC}));
    Port.CloseCommPort();
    server.Join();
    EXPECT_EQ(server.Received, all);
}

// A silent line lasts the whole read; a server that sends only its own notifications keeps the
// line silent, so they neither end a read nor stretch the 15 ms gap after the receiver's byte.
TEST_F(NetPort, ReadTimeOutsFollowTheReceiversBytesAlone)
{
    ScriptedServer server([&](ServerSide& s) {
        if (!AgreeAndConfirm(s))
            return;
        s.Read(1);  // the test's go-ahead
        s.Send(Bytes{'a'});
        for (int i = 0; i < 300; ++i) {
            s.Send(Notification(107, static_cast<uint8_t>(i)));
            std::this_thread::sleep_for(milliseconds(5));
        }
        s.ReadToEnd();
    });
    OpenOn(server.Address());

    auto start = Clock::now();
    EXPECT_EQ(ReadSome(100), Bytes{});
    EXPECT_GE(MillisecondsSince(start), 340);  // 250 ms + 100 x 1 ms
    EXPECT_LT(MillisecondsSince(start), 3000);

    const uint8_t go = 'g';
    Port.WriteCharacter(go);
    start = Clock::now();
    EXPECT_EQ(ReadSome(1024), Bytes{'a'});
    // Counted as arrivals, the notifications would hold the read to its 1274 ms deadline.
    EXPECT_LT(MillisecondsSince(start), 800);
    Port.CloseCommPort();
}

TEST_F(NetPort, AServersPauseHoldsWritesBackUntilItResumesOrTheDeadline)
{
    Bytes beforeResume;
    ScriptedServer server([&](ServerSide& s) {
        if (!AgreeAndConfirm(s))
            return;
        s.Send(Notification(108, 0));  // FLOWCONTROL-SUSPEND
        beforeResume = s.Read(10, 150);
        s.Send(Notification(109, 0));  // FLOWCONTROL-RESUME
        s.Read(10);
        s.Send(Notification(108, 0));
        s.ReadToEnd();
    });
    OpenOn(server.Address());
    std::this_thread::sleep_for(milliseconds(30));  // the pause has arrived
    const Bytes block = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
    auto start = Clock::now();
    Port.WriteBuffer(block.data(), 10);
    EXPECT_GE(MillisecondsSince(start), 60);
    std::this_thread::sleep_for(milliseconds(30));
    // Paused for good: the write cannot be handed over by its deadline.
    start = Clock::now();
    const ECommError error = Raised([&] { Port.WriteBuffer(block.data(), 10); });
    EXPECT_EQ(error.Code, 9);
    EXPECT_EQ(error.LastError, static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_NE(error.Detail.find("took no more data in time"), std::string::npos);
    EXPECT_GE(MillisecondsSince(start), 250);
    EXPECT_TRUE(Port.PortOpen);
    Port.CloseCommPort();
    server.Join();
    EXPECT_EQ(beforeResume, Bytes{});
    EXPECT_EQ(server.Received, Joined({ClientOpening(), ClientRequestsFor115200(), block}));
}

// As a device that has gone away: the read fails at once.
TEST_F(NetPort, AConnectionClosedDuringUseFailsTheRead)
{
    ScriptedServer server([&](ServerSide& s) {
        if (AgreeAndConfirm(s))
            s.Send(std::string("abc"));
    });
    OpenOn(server.Address());
    server.Join();
    const auto start = Clock::now();
    const ECommError error = Raised([&] { ReadSome(1024); });
    EXPECT_LT(MillisecondsSince(start), 1000);  // at once, not at the deadline
    EXPECT_EQ(error.Code, 10);
    EXPECT_EQ(error.LastError, static_cast<uint32_t>(ECONNRESET));
    EXPECT_NE(error.Detail.find("the server closed the connection"), std::string::npos);
    EXPECT_TRUE(Port.PortOpen);
    Port.CloseCommPort();
    EXPECT_FALSE(Port.PortOpen);
}

TEST_F(NetPort, AConnectionResetOrStalledFailsTheWrite)
{
    struct Case {
        const char* Name;
        bool Reset;
        uint32_t Rate;  // the stalled line runs fast, so that the connection fills soon
        const char* Advice;
    };
    for (const Case& c : {Case{"reset", true, 115200, "the connection was lost"},
                          Case{"stalled", false, 4000000, "took no more data in time"}}) {
        RecordingMessageService boxes;
        ScopedMessageService scope(boxes);
        TCommPort port;
        std::atomic<bool> done{false};
        ScriptedServer server(
            [&](ServerSide& s) {
                if (c.Reset) {
                    if (AgreeAndConfirm(s))
                        s.Close(true);
                    return;
                }
                while (!done)  // reads nothing
                    std::this_thread::sleep_for(milliseconds(10));
            },
            4096);
        port.PortName = server.Address(c.Reset);
        port.SetBaudRate(c.Rate);
        port.OpenCommPort();
        const Bytes block(10, 0x55);
        const auto start = Clock::now();
        uint32_t code = 0, error = 0;
        std::string advice;
        for (int i = 0; i < 2000000 && code == 0; ++i) {
            try {
                port.WriteBuffer(block.data(), 10);
            } catch (const ECommError& raised) {
                code = raised.Code;
                error = raised.LastError;
                advice = raised.Detail;
            }
        }
        EXPECT_EQ(code, 9u) << c.Name;
        if (c.Reset)
            EXPECT_TRUE(error == ECONNRESET || error == EPIPE) << c.Name << " " << error;
        else
            EXPECT_EQ(error, static_cast<uint32_t>(ETIMEDOUT)) << c.Name;
        EXPECT_NE(advice.find(c.Advice), std::string::npos) << c.Name << ": " << advice;
        EXPECT_LT(MillisecondsSince(start), 20000) << c.Name;
        done = true;
        port.CloseCommPort();
    }
}

// A connection takes megabytes at once; the writes keep the line's pace instead, as a local
// device's output queue makes them.
TEST_F(NetPort, WritesKeepThePaceOfTheReceiversLine)
{
    constexpr size_t Total = 12290;
    ScriptedServer server([&](ServerSide& s) { s.Read(Total, 10000); });
    OpenOn(server.Address(false));
    const Bytes block(10, 0x33);
    const auto start = Clock::now();
    for (size_t sent = 0; sent < Total; sent += 10)
        Port.WriteBuffer(block.data(), 10);
    // A queue's worth goes at once; the rest takes the line's time at 11520 bytes a second.
    const double lineMs = (Total - 4096) * 1000.0 / 11520;
    EXPECT_GE(MillisecondsSince(start), lineMs * 0.9);
    EXPECT_LT(MillisecondsSince(start), lineMs + 3000);
    Port.CloseCommPort();
    server.Join();
    EXPECT_EQ(server.Received, Bytes(Total, 0x33));
}

}  // namespace
