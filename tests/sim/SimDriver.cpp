// SPDX-License-Identifier: MIT
#include "SimDriver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

std::string SimulatorPath()
{
    return ZENDRAK_SIM_PATH;
}

std::string MakeTempDir()
{
    std::string base = std::filesystem::temp_directory_path().string() + "/zendrak-test-XXXXXX";
    if (!mkdtemp(base.data()))
        return {};
    return base;
}

void RemoveTree(const std::string& dir)
{
    std::error_code ec;
    if (!dir.empty())
        std::filesystem::remove_all(dir, ec);
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string SampleFirmware(size_t size, uint32_t seed)
{
    std::string bytes;
    uint32_t x = seed * 2654435761u + 1;
    static const std::string commands[] = {"r\r\n", "l\r\n", "s\r\n"};
    while (bytes.size() < size) {
        x = x * 1103515245u + 12345u;
        if ((x >> 24) % 61 == 0)
            bytes += commands[(x >> 8) % 3];
        else
            bytes += static_cast<char>((x >> 16) & 0xFF);
    }
    bytes.resize(size);
    // A 0x02 near the end would stop the sender before the last byte; keep the tail free of it.
    for (size_t i = size > 12 ? size - 12 : 0; i < size; ++i)
        if (bytes[i] == '\x02')
            bytes[i] = '\x03';
    return bytes;
}

SimDriver::~SimDriver()
{
    CloseLine();
    Process.Stop();
    RemoveTree(Dir);
}

bool SimDriver::Start(const std::vector<std::string>& args)
{
    Dir = MakeTempDir();
    SaveDir = Dir + "/saved";  // the simulator makes it itself
    std::vector<std::string> all = {"--save", SaveDir};
    all.insert(all.end(), args.begin(), args.end());
    if (!Process.Start(SimulatorPath(), all))
        return false;
    SlavePath = Process.ReadLine(10000);
    return !SlavePath.empty();
}

int SimDriver::OpenLine(bool nonBlocking)
{
    CloseLine();
    Line = open(SlavePath.c_str(), O_RDWR | O_NOCTTY | (nonBlocking ? O_NONBLOCK : 0));
    if (Line < 0)
        return -1;
    termios tio{};
    tcgetattr(Line, &tio);
    cfmakeraw(&tio);
    tcsetattr(Line, TCSANOW, &tio);
    return Line;
}

void SimDriver::CloseLine()
{
    if (Line >= 0)
        close(Line);
    Line = -1;
}

bool SimDriver::ReadUntil(const std::string& text, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string all;
    for (const auto& r : Reads)
        all += r;
    while (Clock::now() < end) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd p{Line, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            return false;
        // Let a burst arrive whole before reading it, as a serial read with a gap would.
        usleep(15000);
        char buffer[4096];
        const ssize_t n = read(Line, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        Reads.emplace_back(buffer, static_cast<size_t>(n));
        all += Reads.back();
        if (all.find(text) != std::string::npos)
            return true;
    }
    return false;
}

std::string SimDriver::ReadFor(int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string got;
    while (Clock::now() < end) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd p{Line, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = read(Line, buffer, sizeof buffer);
        if (n <= 0)
            break;
        Reads.emplace_back(buffer, static_cast<size_t>(n));
        got += Reads.back();
    }
    return got;
}

bool SimDriver::Send(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(Line, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                       << ", first difference at offset " << at;
}

std::string SimDriver::Transcript() const
{
    return ReadWholeFile(SaveDir + "/transcript.txt");
}

std::string SimDriver::SavedFile(int n) const
{
    return ReadWholeFile(SaveDir + "/file-" + std::to_string(n) + ".bin");
}
