// SPDX-License-Identifier: MIT
#include "PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point until)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PtyPeer::PtyPeer()
{
    Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(Master, 0) << "posix_openpt";
    if (Master < 0)
        return;
    EXPECT_EQ(::grantpt(Master), 0);
    EXPECT_EQ(::unlockpt(Master), 0);
    char name[128] = {};
    EXPECT_EQ(::ptsname_r(Master, name, sizeof name), 0);
    Slave = name;
    termios raw{};
    if (::tcgetattr(Master, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(Master, TCSANOW, &raw);
    }
}

PtyPeer::~PtyPeer()
{
    CloseMaster();
}

void PtyPeer::Send(const std::vector<uint8_t>& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(Master, bytes.data() + sent, bytes.size() - sent);
        ASSERT_GT(n, 0) << "writing to the master";
        sent += static_cast<size_t>(n);
    }
}

void PtyPeer::Send(const std::string& bytes)
{
    Send(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> PtyPeer::Receive(size_t count, int timeoutMs)
{
    std::vector<uint8_t> got;
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count) {
        pollfd entry{Master, POLLIN, 0};
        if (::poll(&entry, 1, MsLeft(until)) <= 0 || !(entry.revents & POLLIN))
            break;
        uint8_t chunk[4096];
        const ssize_t n = ::read(Master, chunk, std::min(sizeof chunk, count - got.size()));
        if (n <= 0)
            break;
        got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

std::vector<uint8_t> PtyPeer::ReceiveUntilQuiet(int quietMs, int timeoutMs)
{
    std::vector<uint8_t> got;
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd entry{Master, POLLIN, 0};
        if (::poll(&entry, 1, std::min(quietMs, MsLeft(until))) <= 0 || !(entry.revents & POLLIN))
            break;
        uint8_t chunk[4096];
        const ssize_t n = ::read(Master, chunk, sizeof chunk);
        if (n <= 0)
            break;
        got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

void PtyPeer::CloseMaster()
{
    if (Master >= 0)
        ::close(Master);
    Master = -1;
}

ScopedPortMap::ScopedPortMap(const std::string& content)
{
    char pattern[] = "/tmp/zendrak-portmap-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    Directory = made ? made : "/tmp";
    std::filesystem::create_directories(Directory + "/zendrak");
    ::setenv("XDG_CONFIG_HOME", Directory.c_str(), 1);
    ::setenv("ZENDRAK_NO_PORT_DETECTION", "1", 1);
    Rewrite(content);
}

ScopedPortMap::~ScopedPortMap()
{
    std::error_code ignored;
    std::filesystem::remove_all(Directory, ignored);
    ::unsetenv("XDG_CONFIG_HOME");
}

void ScopedPortMap::Rewrite(const std::string& content)
{
    std::ofstream(Directory + "/zendrak/ports", std::ios::binary | std::ios::trunc) << content;
}
