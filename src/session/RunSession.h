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
// On a production line (SessionSettings::Line) a session is more than one run: a failed run is
// tried again from the restart after a pause, each attempt recorded; with the loop, after each
// receiver the port waits for the next one with nothing sent (NextReceiverWait), then runs
// again with the files read anew, until it is stopped (StopAfterRun, EndIfWaiting) or
// cancelled. Every run carries its number and attempt (RunBegins, RunResult).
#pragma once

#include "Completion.h"
#include "FirmThread.h"
#include "FirmwareFiles.h"
#include "PortSpec.h"
#include "ProductionLine.h"
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
    // Loop, retries and the record of updates; none by default.
    LineSettings Line;

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
    // object for its life): the first run uses it instead of opening one, and closes it after
    // the run as its own; any later attempt or receiver opens a port of its own. Set before
    // Start.
    TCommPort* OpenedPort = nullptr;
    // Shows the run as the window's worker host has always shown it (may be null). Set before
    // Start.
    RunDisplay* Display = nullptr;

    void Start();
    // From any thread: a wait for the device ends at once, a run stops at its next safe point
    // (nothing more is sent; see TFirmThread::RequestCancel).
    void Cancel();
    // From any thread: no further run begins (no retry, no next receiver); the run going on
    // ends as it would, and a wait for the next receiver ends at once.
    void StopAfterRun();
    // From any thread: a session waiting for the next receiver starts its run now (for
    // receivers that print nothing when switched on). Nothing while it does not wait: a start
    // asked for during a run would restart the receiver just updated.
    void StartNextReceiver();
    // From any thread: whether the session waits for the next receiver.
    bool WaitingForNextReceiver() const;
    // From any thread: the receivers so far, by how their last attempt ended.
    LineCounts Counts() const;
    bool Ended() const { return Done.Finished(); }
    // Returns when the session has ended.
    void Wait();
    // After the end: the result of each run and attempt, in order (one at least).
    const std::vector<RunResult>& Results() const { return AllResults; }

private:
    friend class RunGroup;  // ends a group's waits together (RunGroup::EndIfAllWaiting)
    enum class Phase { Running, Waiting, Ended };

    void Body();
    // One receiver: its attempts, each recorded, with the pause between them.
    void RunReceiver(int run, NextReceiverWatch::Trigger startedBy,
                     std::unique_ptr<TCommPort> heldPort);
    // Waits for the next receiver; what made it there, None when the wait was ended. `port`
    // gets the port when it stayed open.
    NextReceiverWatch::Trigger WaitForNextReceiver(std::unique_ptr<TCommPort>& port);
    // Waits `pause` unless stopped or cancelled; false then.
    bool PauseBeforeRetry(std::chrono::milliseconds pause);
    bool StopAsked() const { return StopRequested || CancelRequested; }
    // Waits for the port's device; false when a cancel ended the wait.
    bool WaitForDevice();
    // One run: the checks, the log folder, the port (`heldPort` when the wait kept it open),
    // the engine, the close, the result; told to the observer only once it is recorded.
    // A `refusal` ends the run before the port is touched.
    RunResult RunOnce(const RunIndex& index, const std::shared_ptr<const FirmwareFiles>& files,
                      std::unique_ptr<TCommPort> heldPort, bool deviceNew,
                      const std::string& refusal);
    RunResult Unbegun(RunResult result, RunResult::Outcome outcome, const std::string& why);
    void SetPhase(Phase phase);

    SessionSettings Config;
    FileSource Files;
    SessionObserver& Observer;

    mutable std::mutex CancelLock;
    std::condition_variable CancelWake;
    std::atomic<bool> CancelRequested{false};
    std::atomic<bool> StopRequested{false};
    TFirmThread* Worker = nullptr;  // the run going on, under CancelLock
    Phase Now = Phase::Running;     // under CancelLock
    bool StartRequested = false;    // under CancelLock; only while waiting
    LineCounts Tally;               // under CancelLock

    std::vector<RunResult> AllResults;
    Completion Done;
    std::thread Thread;
};
