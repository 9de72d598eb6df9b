// SPDX-License-Identifier: MIT
#include "ScriptedServer.h"

#include "ComPortClient.h"
#include "TelnetCodec.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

using namespace Telnet;

namespace {

int ListenOnLoopback(int receiveBuffer, uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(local.sin_port);
    return fd;
}

}  // namespace

Bytes ServerSide::Read(size_t count, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Bytes got;
    while (got.size() < count && Socket >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd wait{Socket, POLLIN, 0};
        if (left <= 0 || ::poll(&wait, 1, static_cast<int>(left)) <= 0)
            break;
        uint8_t buffer[4096];
        const ssize_t n = ::recv(Socket, buffer, std::min(sizeof buffer, count - got.size()), 0);
        if (n <= 0)
            break;
        got.insert(got.end(), buffer, buffer + n);
    }
    Received.insert(Received.end(), got.begin(), got.end());
    return got;
}

Bytes ServerSide::ReadToEnd(int timeoutMs)
{
    return Read(SIZE_MAX, timeoutMs);
}

void ServerSide::Send(const Bytes& bytes)
{
    size_t done = 0;
    while (Socket >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(Socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

void ServerSide::Send(const std::string& text)
{
    Send(Bytes(text.begin(), text.end()));
}

void ServerSide::Close(bool reset)
{
    if (Socket < 0)
        return;
    if (reset) {
        const linger abortive{1, 0};
        ::setsockopt(Socket, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    ::close(Socket);
    Socket = -1;
}

ScriptedServer::ScriptedServer(Script script, int receiveBuffer)
{
    Listener = ListenOnLoopback(receiveBuffer, ListenPort);
    if (Listener < 0) {
        ADD_FAILURE() << "cannot listen on 127.0.0.1: errno " << errno;
        return;
    }
    Thread = std::thread([this, script = std::move(script)] {
        pollfd wait{Listener, POLLIN, 0};
        if (::poll(&wait, 1, 20000) <= 0)
            return;  // no client came
        const int socket = ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            return;
        // What the script sends goes out at once, as a serial device server sends it.
        const int on = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ServerSide server(socket);
        script(server);
        server.Close();
        Received = std::move(server.Received);
    });
}

ScriptedServer::~ScriptedServer()
{
    Join();
    if (Listener >= 0)
        ::close(Listener);
}

void ScriptedServer::Join()
{
    if (Thread.joinable())
        Thread.join();
}

std::string ScriptedServer::Address(bool rfc2217) const
{
    return std::string(rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(ListenPort);
}

Bytes AgreeingServerOpening()
{
    Bytes bytes;
    AppendNegotiation(DO, BINARY, bytes);
    AppendNegotiation(WILL, BINARY, bytes);
    AppendNegotiation(DO, COM_PORT_OPTION, bytes);
    return bytes;
}

Bytes ConfirmationsOf115200()
{
    Bytes bytes;
    AppendSubnegotiation(COM_PORT_OPTION, {101, 0x00, 0x01, 0xC2, 0x00}, bytes);
    for (const Bytes& answer : {Bytes{102, 8}, Bytes{103, 1}, Bytes{104, 1}, Bytes{105, 1}})
        AppendSubnegotiation(COM_PORT_OPTION, answer, bytes);
    return bytes;
}

Bytes ClientOpening()
{
    Bytes bytes;
    ComPortClient().Open(bytes);
    return bytes;
}

Bytes ClientRequestsFor115200()
{
    Bytes bytes;
    DCB settings;
    settings.BaudRate = 115200;
    ComPortClient().RequestLineSettings(settings, bytes);
    return bytes;
}

bool AgreeAndConfirm(ServerSide& server)
{
    if (server.Read(ClientOpening().size()) != ClientOpening())
        return false;
    server.Send(AgreeingServerOpening());
    if (server.Read(ClientRequestsFor115200().size()) != ClientRequestsFor115200())
        return false;
    server.Send(ConfirmationsOf115200());
    return true;
}

uint16_t UnusedPort()
{
    uint16_t port = 0;
    const int fd = ListenOnLoopback(0, port);
    if (fd >= 0)
        ::close(fd);
    return port;
}
