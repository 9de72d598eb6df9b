// SPDX-License-Identifier: MIT
#include "EngineTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

Pty::Pty()
{
    MasterFd = posix_openpt(O_RDWR | O_NOCTTY);
    if (MasterFd < 0 || grantpt(MasterFd) != 0 || unlockpt(MasterFd) != 0)
        throw std::runtime_error("no pseudo-terminal");
    const char* name = ptsname(MasterFd);
    if (name == nullptr)
        throw std::runtime_error("no pseudo-terminal name");
    Slave = name;
    // Never block in a read or write: a test that goes wrong must fail, not hang.
    fcntl(MasterFd, F_SETFL, fcntl(MasterFd, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty()
{
    CloseMaster();
}

void Pty::Write(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(MasterFd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                pollfd p{MasterFd, POLLOUT, 0};
                poll(&p, 1, 20);
                continue;
            }
            throw std::runtime_error("write to the pty master failed");
        }
        done += static_cast<size_t>(n);
    }
}

std::string Pty::ReadAvailable(std::chrono::milliseconds quiet, std::chrono::milliseconds limit)
{
    std::string out;
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        pollfd p{MasterFd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0 || !(p.revents & POLLIN))
            break;
        char buffer[4096];
        const ssize_t n = ::read(MasterFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

void Pty::CloseMaster()
{
    if (MasterFd >= 0)
        ::close(MasterFd);
    MasterFd = -1;
}

FakeHost::FakeHost(std::vector<FakeFile> files) : Files(std::move(files)) {}

void FakeHost::OpenPort(const std::string& device)
{
    Port.PortName = device;  // a device path is opened as it is
    Port.SetBaudRate(115200);
    Port.SetByteSize(8);
    Port.SetParity(NOPARITY);
    Port.SetStopBits(ONESTOPBIT);
    Port.OpenCommPort();
}

void FakeHost::SetProgressPosition(int position)
{
    std::lock_guard lock(Lock);
    ProgressValues.push_back(position);
}

void FakeHost::SetUpdateSucceeded(bool succeeded)
{
    SucceededFlag = succeeded;
}

int32_t FakeHost::GetFirstFirmFileType()
{
    std::lock_guard lock(Lock);
    Cursor = Files.empty() ? 0 : 1;
    return Cursor;
}

int32_t FakeHost::GetNextFirmFileType()
{
    std::lock_guard lock(Lock);
    if (Cursor == 0 || Cursor >= static_cast<int32_t>(Files.size()))
        Cursor = 0;
    else
        ++Cursor;
    return Cursor;
}

int32_t FakeHost::GetFileSize(int32_t type)
{
    return static_cast<int32_t>(Files.at(static_cast<size_t>(type - 1)).Bytes.size());
}

const uint8_t* FakeHost::GetFileBuffer(int32_t type)
{
    return Files.at(static_cast<size_t>(type - 1)).Bytes.data();
}

std::string FakeHost::GetFirmFileName(int32_t type)
{
    std::lock_guard lock(Lock);
    const std::string& name = Files.at(static_cast<size_t>(type - 1)).Name;
    NameCalls.push_back(name);
    return name;
}

void FakeHost::ShowStatusText(const std::string& statusText)
{
    std::lock_guard lock(Lock);
    StatusTexts.push_back(statusText);
}

std::vector<int> FakeHost::Progress() const
{
    std::lock_guard lock(Lock);
    return ProgressValues;
}

std::vector<std::string> FakeHost::Statuses() const
{
    std::lock_guard lock(Lock);
    return StatusTexts;
}

std::vector<std::string> FakeHost::FileNameCalls() const
{
    std::lock_guard lock(Lock);
    return NameCalls;
}

ScriptedPeer::ScriptedPeer(Pty& line, std::vector<PeerStep> script, std::chrono::milliseconds gap)
    : Line(line), Script(std::move(script)), Gap(gap), Thread([this] { Run(); })
{
}

ScriptedPeer::~ScriptedPeer()
{
    Stop();
}

std::string ScriptedPeer::Stop()
{
    Stopping = true;
    if (Thread.joinable())
        Thread.join();
    return Received;
}

bool ScriptedPeer::ReadSome(int timeoutMs)
{
    if (Line.Master() < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return false;
    }
    pollfd p{Line.Master(), POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
        return false;
    char buffer[4096];
    const ssize_t n = ::read(Line.Master(), buffer, sizeof buffer);
    if (n <= 0)
        return false;
    Received.append(buffer, static_cast<size_t>(n));
    return true;
}

void ScriptedPeer::Run()
{
    size_t searchFrom = 0;
    for (const PeerStep& step : Script) {
        size_t at = std::string::npos;
        while (!Stopping && (at = Received.find(step.Expect, searchFrom)) == std::string::npos)
            ReadSome(20);
        if (Stopping)
            return;
        searchFrom = at + step.Expect.size();
        ++Done;
        const auto quietUntil = Clock::now() + step.Delay;
        while (!Stopping && Clock::now() < quietUntil)
            ReadSome(5);
        for (const std::string& reply : step.Replies) {
            Line.Write(reply);
            std::this_thread::sleep_for(Gap);
        }
        if (!step.RepeatUntil.empty() && !step.Replies.empty()) {
            while (!Stopping && Received.find(step.RepeatUntil, searchFrom) == std::string::npos) {
                Line.Write(step.Replies.back());
                const auto until = Clock::now() + Gap;
                while (Clock::now() < until)
                    ReadSome(5);
            }
        }
        if (step.CloseAfter)
            Line.CloseMaster();
    }
    while (!Stopping)
        ReadSome(20);
}

void EngineTest::SetUp()
{
    Previous = std::filesystem::current_path();
    std::string pattern =
        (std::filesystem::temp_directory_path() / "zendrak-engine-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    Dir = pattern;
    std::filesystem::current_path(Dir);
    PreviousService = SetMessageService(&Boxes);
}

void EngineTest::TearDown()
{
    SetMessageService(PreviousService);
    std::filesystem::current_path(Previous);
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string LogBytes(const std::vector<std::string>& entries)
{
    std::string out;
    for (const std::string& entry : entries)
        out += entry + "\r\n";
    return out;
}

std::vector<std::string> LogEntries(const std::filesystem::path& path)
{
    const std::string bytes = ReadFileBytes(path);
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "log line without CR LF: " << bytes.substr(start);
            entries.push_back(bytes.substr(start));
            break;
        }
        entries.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return entries;
}

std::vector<uint8_t> PlainBytes(size_t count, uint8_t seed)
{
    // Bytes 0x80..0xFF only: no 0x02, no letters, so no command or marker text.
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(0x80 + (i * 7 + seed) % 0x80);
    return bytes;
}

std::string AsText(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}
