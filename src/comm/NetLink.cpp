// SPDX-License-Identifier: MIT
#include "NetLink.h"

#include "NetProblem.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t ReceiveChunk = 4096;
constexpr size_t RecentLimit = 160;
// What a write takes in from the connection while nobody reads: beyond it, the server's
// further bytes wait in the connection (a local device's input buffer is smaller still).
constexpr size_t PendingLimit = 1 << 20;

int MillisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// poll that resumes after a signal; its result, or -1 with errno.
int PollFor(pollfd& entry, Clock::time_point deadline)
{
    for (;;) {
        const int ready = ::poll(&entry, 1, MillisecondsUntil(deadline));
        if (ready >= 0 || errno != EINTR)
            return ready;
    }
}

}  // namespace

NetLink::NetLink(const NetAddress& address, int socket, const DCB& settings)
    : Where(address),
      Socket(socket),
      Telnet(address.Kind == NetAddress::Protocol::Rfc2217),
      Pace(settings, Clock::now())
{
}

NetLink::~NetLink()
{
    if (Socket >= 0)
        ::close(Socket);
}

std::unique_ptr<NetLink> NetLink::Open(const NetAddress& address, const DCB& settings,
                                       Failure& failure)
{
    const NetConnection connection = ConnectToServer(address, ConnectLimit);
    if (connection.Socket < 0) {
        failure = {8, connection.Error,
                   connection.LookupProblem.empty()
                       ? NetProblem::NotConnected(address, connection.Error)
                       : NetProblem::UnknownHost(address, connection.LookupProblem)};
        return nullptr;
    }
    std::unique_ptr<NetLink> link(new NetLink(address, connection.Socket, settings));
    // Each write goes out as it is written: a 10-byte block is one segment, not held back to
    // be joined with the next.
    const int on = 1;
    if (::setsockopt(connection.Socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
        failure = {8, errno, NetProblem::NotConnected(address, errno)};
        return nullptr;
    }
    if (!(link->Telnet ? link->Negotiate(settings, failure) : link->SettleRaw(failure)))
        return nullptr;
    return link;
}

bool NetLink::SettleRaw(Failure& failure)
{
    const auto deadline = Clock::now() + RawSettleTime;
    while (AwaitInput(deadline) == LineWait::Ready) {
        if (Receive() == Received::Ended) {
            failure = EndedAtOpen();
            return false;
        }
    }
    return true;
}

bool NetLink::Negotiate(const DCB& settings, Failure& failure)
{
    const auto deadline = Clock::now() + NegotiationLimit;
    Client.Open(Outgoing);
    bool requested = false;
    for (;;) {
        if (!SendOutgoing()) {
            failure = SendFailedAtOpen();
            return false;
        }
        if (!Client.Refused().empty()) {
            failure = {15, EPROTO, NetProblem::Refused(Where, Client.Refused())};
            return false;
        }
        if (Client.Agreed() && !requested) {
            if (!Client.RequestLineSettings(settings, Outgoing)) {
                failure = {15, EINVAL, {}};
                return false;
            }
            requested = true;
            continue;  // sent before anything else is awaited
        }
        if (requested)
            return AwaitSettings(deadline, failure);
        if (const LineWait wait = AwaitInput(deadline); wait != LineWait::Ready) {
            failure = wait == LineWait::Failed
                          ? Failure{8, errno, LastProblem}
                          : Failure{15, ETIMEDOUT,
                                    NetProblem::NoAnswer(Where, NegotiationLimit, Client.Heard(),
                                                         SawData, {})};
            return false;
        }
        if (Receive() == Received::Ended) {
            failure = EndedAtOpen();
            return false;
        }
    }
}

bool NetLink::AwaitSettings(Clock::time_point deadline, Failure& failure)
{
    for (;;) {
        if (!SendOutgoing()) {
            failure = SendFailedAtOpen();
            return false;
        }
        if (const std::string mismatch = Client.Mismatch(); !mismatch.empty()) {
            failure = {15, EPROTO, NetProblem::NotConfirmed(Where, mismatch)};
            return false;
        }
        if (!Client.Refused().empty()) {
            failure = {15, EPROTO, NetProblem::Refused(Where, Client.Refused())};
            return false;
        }
        if (Client.AllAnswered())
            return true;
        if (const LineWait wait = AwaitInput(deadline); wait != LineWait::Ready) {
            failure = wait == LineWait::Failed
                          ? Failure{15, errno, LastProblem}
                          : Failure{15, ETIMEDOUT,
                                    NetProblem::NoAnswer(Where, NegotiationLimit, true, SawData,
                                                         Client.Unanswered())};
            return false;
        }
        if (Receive() == Received::Ended) {
            failure = EndedAtOpen();
            return false;
        }
    }
}

bool NetLink::ApplySettings(const DCB& settings)
{
    Pace = LinePace(settings, Clock::now());
    if (!Telnet)
        return true;
    Failure failure;
    if (!Client.RequestLineSettings(settings, Outgoing)) {
        errno = EINVAL;
        LastProblem.clear();
        return false;
    }
    if (AwaitSettings(Clock::now() + NegotiationLimit, failure))
        return true;
    if (Ended) {
        ReportEnded();
        return false;
    }
    errno = failure.Error;
    LastProblem = failure.Problem;
    return false;
}

LineWait NetLink::AwaitInput(Clock::time_point deadline)
{
    pollfd entry{Socket, POLLIN, 0};
    for (;;) {
        entry.events = static_cast<short>(Outgoing.empty() ? POLLIN : POLLIN | POLLOUT);
        const int ready = PollFor(entry, deadline);
        if (ready < 0) {
            LastProblem = NetProblem::Lost(Where, errno);
            return LineWait::Failed;
        }
        if (ready == 0)
            return LineWait::TimedOut;
        if (entry.revents & POLLOUT)
            SendOutgoing();
        if (entry.revents & ~POLLOUT)
            return LineWait::Ready;  // readable, or an error or hang-up that the receive reports
    }
}

NetLink::Received NetLink::Receive()
{
    uint8_t chunk[ReceiveChunk];
    const ssize_t got = ::recv(Socket, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
        Ended = true;
        EndError = got == 0 ? 0 : errno;
        return Received::Ended;
    }
    if (got < 0)
        return Received::Nothing;
    // Acknowledged at once: a server that holds small writes back until the last one is
    // acknowledged (Nagle) would otherwise pass the receiver's lines on in delayed clumps.
    const int on = 1;
    ::setsockopt(Socket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    const size_t before = Pending.size();
    if (Telnet) {
        std::vector<TelnetCommand> commands;
        Decoder.Feed(chunk, static_cast<size_t>(got), Pending, commands);
        for (const TelnetCommand& command : commands)
            Client.Take(command, Outgoing);
        SendOutgoing();  // answers go out at once; a failure shows at the next write
    } else {
        Pending.insert(Pending.end(), chunk, chunk + got);
    }
    if (Pending.size() == before)
        return Received::Protocol;
    SawData = true;
    Recent.append(Pending.begin() + static_cast<std::ptrdiff_t>(before), Pending.end());
    if (Recent.size() > RecentLimit)
        Recent.erase(0, Recent.size() - RecentLimit);
    return Received::Data;
}

bool NetLink::SendOutgoing()
{
    while (!Outgoing.empty()) {
        const ssize_t sent =
            ::send(Socket, Outgoing.data(), Outgoing.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0)
            return errno == EAGAIN || errno == EINTR;
        Outgoing.erase(Outgoing.begin(), Outgoing.begin() + sent);
    }
    return true;
}

std::string NetLink::LastWords() const
{
    std::string text = Recent;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    const size_t start = text.find_last_of("\r\n");
    if (start != std::string::npos)
        text.erase(0, start + 1);
    // Only printable text is quoted: anything else is the receiver's, not the server's words.
    const bool printable = std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
    });
    return printable ? text : std::string();
}

// The server's words count before the way the connection ended: a server that refuses a
// client while the client still sends ends with a reset rather than a close.
NetLink::Failure NetLink::EndedAtOpen() const
{
    const std::string said = LastWords();
    if (EndError != 0 && said.empty())
        return {8, EndError, NetProblem::NotConnected(Where, EndError)};
    return {8,
            NetProblem::SaysInUse(said) ? EBUSY
            : EndError != 0             ? EndError
                                        : ECONNRESET,
            NetProblem::ClosedAtOpen(Where, said)};
}

NetLink::Failure NetLink::SendFailedAtOpen()
{
    const int error = errno;
    for (int i = 0; i < 64 && !Ended; ++i) {
        if (Receive() == Received::Nothing)
            break;
    }
    if (!Ended) {
        Ended = true;
        EndError = error;
    }
    return EndedAtOpen();
}

void NetLink::NoteStalled()
{
    LastProblem = NetProblem::Stalled(Where);
}

void NetLink::ReportEnded()
{
    errno = EndError != 0 ? EndError : ECONNRESET;
    LastProblem = NetProblem::Lost(Where, EndError);
}

LineWait NetLink::WaitReadable(int milliseconds)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    for (;;) {
        if (PendingSize() > 0 || Ended)
            return LineWait::Ready;
        if (const LineWait wait = AwaitInput(deadline); wait != LineWait::Ready)
            return wait;
        Receive();
    }
}

ssize_t NetLink::Read(uint8_t* buffer, size_t size)
{
    const size_t count = std::min(size, PendingSize());
    if (count > 0) {
        std::copy_n(Pending.begin() + static_cast<std::ptrdiff_t>(PendingStart), count, buffer);
        PendingStart += count;
        if (PendingStart == Pending.size()) {
            Pending.clear();
            PendingStart = 0;
        }
        return static_cast<ssize_t>(count);
    }
    if (Ended) {
        ReportEnded();
        return -1;
    }
    return 0;
}

LineWait NetLink::WaitWritable(int milliseconds)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    for (;;) {
        if (Ended) {
            ReportEnded();
            return LineWait::Gone;
        }
        if (RoomWanted > 0) {
            const auto now = Clock::now();
            const auto wait = Pace.UntilRoomFor(RoomWanted, now);
            if (now + wait > deadline) {
                std::this_thread::sleep_until(deadline);
                return LineWait::TimedOut;
            }
            std::this_thread::sleep_for(wait);
            RoomWanted = 0;
        }
        // While the server has asked to pause, only its request to resume is awaited.
        const short events = !Client.Suspended()            ? POLLOUT
                             : PendingSize() < PendingLimit ? POLLIN
                                                            : 0;
        pollfd entry{Socket, events, 0};
        const int ready = PollFor(entry, deadline);
        if (ready < 0) {
            LastProblem = NetProblem::Lost(Where, errno);
            return LineWait::Failed;
        }
        if (ready == 0)
            return LineWait::TimedOut;
        if (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(Socket, SOL_SOCKET, SO_ERROR, &error, &length);
            EndError = error != 0 ? error : EPIPE;
            Ended = true;
            continue;
        }
        if (entry.revents & POLLIN) {
            Receive();
            continue;
        }
        if (!SendOutgoing()) {
            EndError = errno;
            Ended = true;
            continue;
        }
        if (Outgoing.empty())
            return LineWait::Ready;
    }
}

ssize_t NetLink::Write(const uint8_t* buffer, size_t size)
{
    if (Telnet && !Ended && PendingSize() < PendingLimit)
        Receive();  // a request to pause must be seen before more is sent
    if (Ended) {
        ReportEnded();
        return -1;
    }
    if (!SendOutgoing()) {
        LastProblem = NetProblem::Lost(Where, errno);
        return -1;
    }
    if (!Outgoing.empty() || Client.Suspended() || size == 0)
        return 0;
    const auto now = Clock::now();
    const size_t room = Pace.Room(now);
    if (room < std::min(size, LinePace::QueueLimit)) {
        RoomWanted = std::min(size, LinePace::QueueLimit);
        return 0;
    }
    size = std::min(size, room);

    std::vector<uint8_t> encoded;
    if (Telnet)
        AppendTelnetData(buffer, size, encoded);
    const uint8_t* bytes = Telnet ? encoded.data() : buffer;
    const size_t length = Telnet ? encoded.size() : size;
    const ssize_t sent = ::send(Socket, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return 0;
        LastProblem = NetProblem::Lost(Where, errno);
        return -1;
    }
    if (!Telnet) {
        Pace.Add(static_cast<size_t>(sent), now);
        return sent;
    }
    // Receiver bytes whose encoding went out whole; a doubled 0xFF cut in two counts as handed
    // over, and its second half goes first the next time, so the stream stays well formed.
    size_t handed = 0;
    size_t at = 0;
    while (handed < size && at < static_cast<size_t>(sent)) {
        const size_t width = buffer[handed] == Telnet::IAC ? 2 : 1;
        if (at + width > static_cast<size_t>(sent))
            Outgoing.push_back(Telnet::IAC);
        at += width;
        ++handed;
    }
    Pace.Add(handed, now);
    return static_cast<ssize_t>(handed);
}

bool NetLink::Close()
{
    SendOutgoing();
    // Unread bytes at the close would make it a reset, which may cost the server what it has
    // not yet passed to its device.
    uint8_t unread[ReceiveChunk];
    for (int i = 0; i < 64 && ::recv(Socket, unread, sizeof unread, MSG_DONTWAIT) > 0; ++i) {
    }
    const int socket = Socket;
    Socket = -1;
    return ::close(socket) == 0;
}
