// SPDX-License-Identifier: MIT
#include "NetAddress.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool Fail(std::string* error, std::string text)
{
    if (error)
        *error = std::move(text);
    return false;
}

// A host name or IPv4 address as written: letters, digits, '-', '.' and '_' (no blanks, no
// user part, no path).
bool PlainHost(std::string_view host)
{
    return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '.' || c == '_';
    });
}

bool Ipv6Text(std::string_view host)
{
    return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isxdigit(c) || c == ':' || c == '.' || c == '%' || std::isalnum(c);
    });
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// One address of the host, connected by the deadline: the socket, or -1 with errno.
int ConnectWithin(const addrinfo& candidate, std::chrono::steady_clock::time_point deadline)
{
    const int fd =
        ::socket(candidate.ai_family, candidate.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                 candidate.ai_protocol);
    if (fd < 0)
        return -1;
    int result = 0;
    if (::connect(fd, candidate.ai_addr, candidate.ai_addrlen) != 0) {
        result = errno;
        if (result == EINPROGRESS) {
            pollfd wait{fd, POLLOUT, 0};
            int ready;
            do {
                ready = ::poll(&wait, 1, MillisecondsLeft(deadline));
            } while (ready < 0 && errno == EINTR);
            socklen_t length = sizeof result;
            if (ready < 0)
                result = errno;
            else if (ready == 0)
                result = ETIMEDOUT;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &length) != 0)
                result = errno;
        }
    }
    if (result != 0) {
        ::close(fd);
        errno = result;
        return -1;
    }
    return fd;
}

}  // namespace

std::string NetAddress::Server() const
{
    const bool ipv6 = Host.find(':') != std::string::npos;
    return (ipv6 ? "[" + Host + "]" : Host) + ":" + std::to_string(Port);
}

std::string NetAddress::Text() const
{
    return std::string(Kind == Protocol::Rfc2217 ? "rfc2217://" : "tcp://") + Server();
}

bool LooksLikeNetAddress(std::string_view text)
{
    const size_t scheme = text.find("://");
    return scheme != std::string_view::npos && scheme > 0 &&
           std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(scheme),
                       [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-'; });
}

std::optional<NetAddress> ParseNetAddress(std::string_view text, std::string* error)
{
    if (!LooksLikeNetAddress(text)) {
        Fail(error, "not a network address (rfc2217://HOST:PORT or tcp://HOST:PORT)");
        return std::nullopt;
    }
    const size_t schemeEnd = text.find("://");
    const std::string scheme = Lower(text.substr(0, schemeEnd));
    NetAddress address;
    if (scheme == "rfc2217") {
        address.Kind = NetAddress::Protocol::Rfc2217;
    } else if (scheme == "tcp") {
        address.Kind = NetAddress::Protocol::RawTcp;
    } else {
        Fail(error, "unknown scheme '" + scheme + "' (rfc2217:// or tcp://)");
        return std::nullopt;
    }
    std::string_view rest = text.substr(schemeEnd + 3);
    std::string_view portText;
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            Fail(error, "an IPv6 address without its closing ']'");
            return std::nullopt;
        }
        address.Host = std::string(rest.substr(1, close - 1));
        if (!Ipv6Text(address.Host)) {
            Fail(error, "'" + address.Host + "' is no IPv6 address");
            return std::nullopt;
        }
        rest.remove_prefix(close + 1);
        if (rest.empty() || rest.front() != ':') {
            Fail(error, "no port number after the host");
            return std::nullopt;
        }
        portText = rest.substr(1);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            Fail(error, "no port number after the host");
            return std::nullopt;
        }
        address.Host = std::string(rest.substr(0, colon));
        portText = rest.substr(colon + 1);
        if (address.Host.find(':') != std::string::npos) {
            Fail(error, "an IPv6 address must be written in brackets ([::1])");
            return std::nullopt;
        }
        if (!PlainHost(address.Host)) {
            Fail(error,
                 address.Host.empty() ? "no host" : "'" + address.Host + "' is no host name");
            return std::nullopt;
        }
    }
    unsigned port = 0;
    const auto [end, problem] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || problem != std::errc() || end != portText.data() + portText.size() ||
        port < 1 || port > 65535 || portText.front() == '+') {
        Fail(error, "'" + std::string(portText) + "' is no port number (1 to 65535)");
        return std::nullopt;
    }
    address.Port = static_cast<uint16_t>(port);
    return address;
}

NetConnection ConnectToServer(const NetAddress& address, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.Port);
    NetConnection connection;
    if (const int lookup = ::getaddrinfo(address.Host.c_str(), service.c_str(), &hints, &found);
        lookup != 0) {
        const bool system = lookup == EAI_SYSTEM;
        connection.Error = system ? errno : EHOSTUNREACH;
        const char* words = system ? ::strerrordesc_np(errno) : ::gai_strerror(lookup);
        connection.LookupProblem = words ? words : "no address";
        return connection;
    }
    connection.Error = ECONNREFUSED;
    for (const addrinfo* candidate = found; candidate && connection.Socket < 0;
         candidate = candidate->ai_next) {
        connection.Socket = ConnectWithin(*candidate, deadline);
        connection.Error = connection.Socket < 0 ? errno : 0;
    }
    ::freeaddrinfo(found);
    return connection;
}

bool NetServerAccepts(const NetAddress& address, std::chrono::milliseconds limit)
{
    const NetConnection connection = ConnectToServer(address, limit);
    if (connection.Socket < 0)
        return false;
    ::close(connection.Socket);
    return true;
}
