// SPDX-License-Identifier: MIT
// TFirmThread: the worker that carries one update run. It drives the receiver's console (restart,
// load, file send, verdicts, start), follows each file's progress, and writes "logUpdate.txt".
//
// Use: create it suspended, set OnTerminate (the worker reports its end only there), then Start:
//   auto* worker = TThread::Create<TFirmThread>(true, host);
//   worker->OnTerminate = ...;
//   worker->Start();
// A run without files ends at once, so OnTerminate set after a running start could come too
// late. Never touch the object after OnTerminate has run: it frees itself. The worker reaches
// its window only through `host`. RequestCancel, from any thread until then, stops the run at
// its next safe point: it sends nothing more, logs the cancel and writes the log as at any end.
// Once every file is stored and the start command has gone out, a cancel changes nothing: the
// run ends as it would have (CancelCameTooLate tells a front end to say so).
#pragma once

#include "FirmHost.h"
#include "TStringList.h"
#include "TThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class TFirmThread : public TThread {
public:
    // Phases of the run.
    static constexpr int32_t PH_CONNECT = 1;
    static constexpr int32_t PH_TRANSFER = 100;
    static constexpr int32_t PH_NEXTFILE = 1000;
    static constexpr int32_t PH_RESTART = 300;
    static constexpr int32_t PH_END = 0;
    // Steps inside PH_CONNECT and PH_TRANSFER.
    static constexpr int32_t ST_SENDLOAD = 2;
    static constexpr int32_t ST_WAITREPLY = 3;
    static constexpr int32_t ST_SENDFILE = 5;
    static constexpr int32_t ST_WAITRESULT = 7;
    static constexpr int32_t ST_WAITSAVED = 8;
    static constexpr int32_t ST_SENDRESTART = 9;

    // The pauses of a successful run, in milliseconds: before "l", between "l" and the file,
    // after a stored file, before each later file, after the last one (twice), before and after
    // the start command. Their sum is the run's fixed time (see RunEstimate.h).
    static constexpr unsigned PauseBeforeLoad = 70;
    static constexpr unsigned PauseBeforeFile = 200;
    static constexpr unsigned PauseAfterSaved = 1000;
    static constexpr unsigned PauseBeforeNextFile = 1000;
    static constexpr unsigned PauseAllSent = 500;
    static constexpr unsigned PauseAllSentMore = 1000;
    static constexpr unsigned PauseBeforeStart = 100;
    static constexpr unsigned PauseAfterStart = 5000;

    // How many "found flash" answers in a row (no connect marker between them) end the run.
    static constexpr int FlashLimit = 60;

    // The usual bound on the wait for the receiver to report a stored file.
    static constexpr std::chrono::milliseconds DefaultWaitSavedLimit = std::chrono::minutes(15);

    // WaitSavedLimit bounds the wait for the receiver to report a stored file.
    TFirmThread(bool CreateSuspended, TFirmHost& Host,
                std::chrono::milliseconds WaitSavedLimit = DefaultWaitSavedLimit);
    ~TFirmThread() override;

    // The whole update run (start, passes, end) on the calling thread. Execute runs it on the
    // worker; tests call it directly on the main thread, where Synchronize runs at once.
    void RunUpdate();

    // Asks the run to stop: at the top of the next pass, before the next 10-byte block of a file
    // (never inside one), or at once in a pause; a read under way ends first. Thread-safe.
    void RequestCancel();
    // True once the run has ended because of a cancel request (read it in OnTerminate).
    bool Cancelled() const { return CancelTaken; }
    // True when a cancel was asked for after the run had succeeded and sent the start command.
    bool CancelCameTooLate() const { return CancelRequested && PastCancel; }

protected:
    void Execute() override;

    // Receiver console I/O.
    uint32_t ReadReceiver();
    void ClearRecvBuffer();
    bool RecvContains(const char* marker) const;
    void SendCommand(char command);
    bool SendDataToPort();
    bool LoadFirmFile(int32_t type);
    void FreeRecvBuffer();
    // A pause of the run, told to the observer first; a cancel request cuts it short.
    void Pause(unsigned milliseconds);
    // Run on the user-interface thread through Synchronize.
    void UpdateProgress();
    void ShowStatus();
    void SetUpdateOk();

    uint8_t ReadChunk[1024] = {};
    std::unique_ptr<uint8_t[]> RecvBuffer;
    std::unique_ptr<uint8_t[]> FileData;
    int32_t FileLen = 0;
    int32_t Phase = 0;
    int32_t Step = 0;
    int32_t Progress = 0;
    int32_t RecvPos = 0;
    int32_t RecvSize = 2048;
    std::string StatusText;
    std::unique_ptr<TStringList> UpdateLog;
    // The file being sent, as the observer is told of it.
    RunFile CurrentFile;
    // Every file was done (the window's success flag was set).
    bool Succeeded = false;
    // The update log this run wrote; empty until it is written.
    std::string WrittenLogPath;

private:
    void StartRun();
    void Pass();
    void PassConnect();
    void PassWaitReply();
    void PassTransfer();
    void PassWaitResult();
    void PassWaitSaved();
    void PassNextFile();
    void PassRestart();
    void PassEnd();

    void NameCurrentFile(const std::string& path);

    // Thrown at a safe point once a cancel has been asked for; deliberately no std::exception, so
    // that no handler on the way catches it.
    struct RunCancelled {};
    // Waits as long as asked, or until a cancel request (every pause of the run).
    void SleepUnlessCancelled(unsigned milliseconds);
    // Leaves the pass when a cancel has been asked for (caught in RunUpdate).
    void StopIfCancelled() const;
    void EndCancelledRun();

    void Log(const std::string& entry);
    void Status(const std::string& text);
    void StatusAndLog(const std::string& text);

    TFirmHost& Host;
    const std::chrono::milliseconds WaitSavedLimit;

    // Counters of the running update (one RunUpdate).
    int32_t readNothing = 0;
    int32_t readStuff = 0;
    int32_t flashCount = 0;  // "found flash" entries since the last connect marker
    std::chrono::steady_clock::time_point waitSavedSince;

    std::atomic<bool> CancelRequested{false};
    std::mutex CancelMutex;
    std::condition_variable CancelWake;
    std::atomic<bool> CancelTaken{false};
    // Every file stored and the start command sent: from here a cancel request is not taken.
    std::atomic<bool> PastCancel{false};
};
