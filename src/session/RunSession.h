// SPDX-License-Identifier: MIT
// RunSession: one receiver, whole, on a thread of its own. It waits for the port's device when
// asked to, opens and claims the port, runs the engine's update run on its own thread (the
// engine hands only its small window changes to the user-interface thread), writes the update
// log, closes the port after its 500 ms pause, and reports everything to its observer, ending
// each run with a RunResult. It needs no current directory and no global of the program; it
// joins its own thread.
//
// Use: make it with its settings, a source of firmware files and an observer; set OnEnded (and
// BeforeFirstByte) if wanted; Start; Cancel from any thread; Wait, then read Results.
//
// Its body is one run today. The production line builds on the per-run step (RunOnce): loop
// (wait for the next receiver with nothing sent, then run again, the files read anew), retry
// a failed run from the restart, record each attempt. The run number and attempt go with every
// run (RunBegins, RunResult).
#pragma once

#include "Completion.h"
#include "FirmThread.h"
#include "FirmwareFiles.h"
#include "PortSpec.h"
#include "RunResult.h"
#include "SessionObserver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RunDisplay;
class TCommPort;

struct SessionSettings {
    PortSpec Port = PortSpec::Com(1);
    // Absolute: where the firmware files are and, by default, where the log goes.
    std::string WorkFolder;
    // Not empty: the log goes into this folder below the working folder instead, made (or
    // checked) as a real folder when the run begins.
    std::string PortFolder;
    // Before the first run, wait up to this long for the port's device to appear (0: never).
    double WaitSeconds = 0;
    // The engine's bound on the wait for the receiver to store a file.
    std::chrono::milliseconds WaitSavedLimit = TFirmThread::DefaultWaitSavedLimit;

    // Where a run's "logUpdate.txt" goes.
    std::string LogPath() const;
};

class RunSession {
public:
    // Gives the firmware files for the next run (a group's shared set, or one read anew).
    using FileSource = std::function<std::shared_ptr<const FirmwareFiles>()>;

    RunSession(SessionSettings settings, FileSource files, SessionObserver& observer);
    // Cancels a session still going and waits for it.
    ~RunSession();
    RunSession(const RunSession&) = delete;
    RunSession& operator=(const RunSession&) = delete;

    const SessionSettings& Settings() const { return Config; }

    // Called on the session's thread once a run's port is claimed, before anything is sent: a
    // non-empty answer (why, UTF-8) ends that run unbegun, as not opened. Set before Start.
    std::function<std::string()> BeforeFirstByte;
    // Called on the session's thread as its very last act. Set before Start.
    std::function<void()> OnEnded;
    // A port its caller has set up and opened already (the window opens its own, and keeps the
    // object for its life): the run uses it instead of opening one, and closes it after the run
    // as its own. Set before Start.
    TCommPort* OpenedPort = nullptr;
    // Shows the run as the window's worker host has always shown it (may be null). Set before
    // Start.
    RunDisplay* Display = nullptr;

    void Start();
    // From any thread: a wait for the device ends at once, a run stops at its next safe point
    // (nothing more is sent; see TFirmThread::RequestCancel).
    void Cancel();
    bool CancelAsked() const { return CancelRequested; }
    bool Ended() const { return Done.Finished(); }
    // Returns when the session has ended.
    void Wait();
    // After the end: the result of each run, in order (one at least).
    const std::vector<RunResult>& Results() const { return AllResults; }

private:
    void Body();
    // Waits for the port's device; false when a cancel ended the wait.
    bool WaitForDevice();
    // One run: the log folder, the port, the engine, the close, the result.
    RunResult RunOnce(const RunIndex& index);
    RunResult Unbegun(RunResult result, RunResult::Outcome outcome, const std::string& why);

    SessionSettings Config;
    FileSource Files;
    SessionObserver& Observer;

    std::mutex CancelLock;
    std::condition_variable CancelWake;
    std::atomic<bool> CancelRequested{false};
    TFirmThread* Worker = nullptr;  // the run going on, under CancelLock

    std::vector<RunResult> AllResults;
    Completion Done;
    std::thread Thread;
};
