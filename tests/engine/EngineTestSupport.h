// SPDX-License-Identifier: MIT
// Test support for the engine: a pseudo-terminal standing in for the receiver's line, a fake
// window host, a scripted receiver on the pty's master side, and a per-test working directory.
#pragma once

#include "FirmHost.h"
#include "FirmThread.h"
#include "Messages.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A pty pair; the master end is the receiver's side of the line.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return Slave; }
    int Master() const { return MasterFd; }
    void Write(const std::string& bytes);
    // Everything that arrives within `quiet` of silence (bounded by `limit`).
    std::string ReadAvailable(std::chrono::milliseconds quiet = std::chrono::milliseconds(300),
                              std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Closes the receiver's side: the line is gone.
    void CloseMaster();

private:
    int MasterFd = -1;
    std::string Slave;
};

struct FakeFile {
    std::string Name;
    std::vector<uint8_t> Bytes;
};

// The window as the worker sees it: a real port on the pty, files from memory, and a record of
// everything the worker showed. Safe to use from the worker and the test thread.
class FakeHost : public TFirmHost {
public:
    explicit FakeHost(std::vector<FakeFile> files = {});

    // Opens the port on `device` at the line rate.
    void OpenPort(const std::string& device);

    TCommPort& CommPort() override { return Port; }
    void SetProgressPosition(int position) override;
    void SetUpdateSucceeded(bool succeeded) override;
    int32_t GetFirstFirmFileType() override;
    int32_t GetNextFirmFileType() override;
    int32_t GetFileSize(int32_t type) override;
    const uint8_t* GetFileBuffer(int32_t type) override;
    std::string GetFirmFileName(int32_t type) override;
    void ShowStatusText(const std::string& statusText) override;
    RunObserver& Observer() override { return Watcher ? *Watcher : TFirmHost::Observer(); }

    std::vector<int> Progress() const;
    std::vector<std::string> Statuses() const;
    std::vector<std::string> FileNameCalls() const;
    bool Succeeded() const { return SucceededFlag; }

    std::vector<FakeFile> Files;
    // Who follows the run, when a test wants to (else nobody).
    RunObserver* Watcher = nullptr;
    // Held by pointer: the port's destructor may throw, a host's may not.
    std::unique_ptr<TCommPort> PortObject = std::make_unique<TCommPort>();
    TCommPort& Port = *PortObject;

private:
    mutable std::mutex Lock;
    int32_t Cursor = 0;
    std::vector<int> ProgressValues;
    std::vector<std::string> StatusTexts;
    std::vector<std::string> NameCalls;
    std::atomic<bool> SucceededFlag{false};
};

// One exchange of the scripted receiver: wait for `Expect` in what the worker sent (after the
// previous match), then answer with each burst in turn, a pause after each so that every burst
// arrives in a read of its own.
struct PeerStep {
    PeerStep(std::string expect, std::vector<std::string> replies = {},
             std::string repeatUntil = {}, bool closeAfter = false,
             std::chrono::milliseconds delay = std::chrono::milliseconds(0))
        : Expect(std::move(expect)),
          Replies(std::move(replies)),
          RepeatUntil(std::move(repeatUntil)),
          CloseAfter(closeAfter),
          Delay(delay)
    {
    }

    std::string Expect;
    std::vector<std::string> Replies;
    // When set, keep repeating the last reply until this text has been received.
    std::string RepeatUntil;
    // Close the line after the replies.
    bool CloseAfter;
    // How long to stay quiet before the first reply.
    std::chrono::milliseconds Delay;
};

class ScriptedPeer {
public:
    ScriptedPeer(Pty& line, std::vector<PeerStep> script,
                 std::chrono::milliseconds gap = std::chrono::milliseconds(150));
    ~ScriptedPeer();
    // Stops the peer and returns everything the worker sent.
    std::string Stop();
    // Number of steps whose expectation was met.
    size_t StepsDone() const { return Done; }

private:
    void Run();
    bool ReadSome(int timeoutMs);

    Pty& Line;
    std::vector<PeerStep> Script;
    std::chrono::milliseconds Gap;
    std::atomic<bool> Stopping{false};
    std::atomic<size_t> Done{0};
    std::string Received;
    std::thread Thread;
};

// Each test runs in a fresh working directory (the log goes to the current directory) with a
// recorder for the message boxes.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path Dir;
    RecordingMessageService Boxes;

private:
    std::filesystem::path Previous;
    MessageService* PreviousService = nullptr;
};

// Reads a file whole ("" when it is missing).
std::string ReadFileBytes(const std::filesystem::path& path);
// The log file's expected bytes: every entry followed by CR LF.
std::string LogBytes(const std::vector<std::string>& entries);
// Splits the log file into its entries (checks every line ends in CR LF).
std::vector<std::string> LogEntries(const std::filesystem::path& path);
// File bytes that hold no 0x02 and no command text.
std::vector<uint8_t> PlainBytes(size_t count, uint8_t seed = 0);
std::string AsText(const std::vector<uint8_t>& bytes);

// The worker with its console operations and fields opened up for tests.
class TestableFirmThread : public TFirmThread {
public:
    using TFirmThread::ClearRecvBuffer;
    using TFirmThread::FileData;
    using TFirmThread::FileLen;
    using TFirmThread::FreeRecvBuffer;
    using TFirmThread::LoadFirmFile;
    using TFirmThread::Phase;
    using TFirmThread::Progress;
    using TFirmThread::ReadReceiver;
    using TFirmThread::RecvBuffer;
    using TFirmThread::RecvContains;
    using TFirmThread::RecvPos;
    using TFirmThread::RecvSize;
    using TFirmThread::SendCommand;
    using TFirmThread::SendDataToPort;
    using TFirmThread::Step;
    using TFirmThread::TFirmThread;
    using TFirmThread::UpdateLog;

    // A receive buffer as the run's start makes it.
    void MakeRecvBuffer()
    {
        RecvBuffer = std::make_unique<uint8_t[]>(static_cast<size_t>(RecvSize));
        ClearRecvBuffer();
    }
};
