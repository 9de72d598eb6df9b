// SPDX-License-Identifier: MIT
// RunSession's production line: the receivers one after another, the attempts of each, the
// record of every attempt, and the wait for the next receiver. The run itself is RunSession.cpp.
#include "RunSession.h"

#include "NextReceiverWait.h"
#include "PortErrors.h"
#include "RunStart.h"
#include "SessionRecord.h"
#include "Win1252.h"
#include "comm_port.h"

namespace {

// Why the files read for a run cannot be sent (a loop reads them anew: they may have been
// taken away or be changing); empty when they can.
std::string FilesRefusal(const FirmwareFiles& files)
{
    if (!files.Problem().Empty())
        return FromSystemText(FirmFileProblemText(files.Problem())).toStdString();
    if (!files.Any())
        return "no firmware file (font.app, decoder.app, out.app) in " + files.Folder() +
               "; nothing was sent.";
    return {};
}

void AddWarning(RunResult& result, const std::string& text)
{
    if (!text.empty())
        result.Warning += (result.Warning.empty() ? "" : "; ") + text;
}

}  // namespace

void RunSession::Body()
{
    std::unique_ptr<TCommPort> heldPort;
    auto startedBy = NextReceiverWatch::Trigger::None;
    for (int run = 1;; ++run) {
        RunReceiver(run, startedBy, std::move(heldPort));
        if (!Config.Line.Loop)
            break;
        startedBy = WaitForNextReceiver(heldPort);
        if (startedBy == NextReceiverWatch::Trigger::None)
            break;
    }
    SetPhase(Phase::Ended);
    Observer.SessionEnds(AllResults);
    if (OnEnded)
        OnEnded();
    Done.Finish();
}

void RunSession::RunReceiver(int run, NextReceiverWatch::Trigger startedBy,
                             std::unique_ptr<TCommPort> heldPort)
{
    RunIndex index;
    index.Run = run;
    index.Attempts = 1 + std::max(0, Config.Line.Retries);
    index.StartedBy = startedBy;
    // The adapter of the next receiver has only just been plugged in: its open may need a moment.
    bool deviceNew = startedBy == NextReceiverWatch::Trigger::DeviceReplugged;
    for (index.Attempt = 1;; ++index.Attempt) {
        RunResult result;
        if (!WaitForDevice()) {
            result.Run = index.Run;
            result.Attempt = index.Attempt;
            result.Attempts = index.Attempts;
            result.Earlier = index.Earlier;
            result.Port = Config.Port.Text();
            // The summary names the set that was not sent, as for any other run.
            result.Files = static_cast<int>(Files()->ToSend().size());
            result =
                Unbegun(result, RunResult::Outcome::Cancelled, CauseAdvice(RunCause::Cancelled));
        } else {
            const auto start = WallClock::now();
            const std::shared_ptr<const FirmwareFiles> files = Files();
            std::string refusal = FilesRefusal(*files);
            bool record = Config.Line.KeepRecord;
            if (refusal.empty() && record) {
                refusal = RecordRefusal(Config.WorkFolder);
                record = refusal.empty();  // what cannot be kept is not tried
            }
            result = RunOnce(index, files, std::move(heldPort), deviceNew, refusal);
            if (record) {
                const RecordedRun recorded =
                    RecordRun(Config.WorkFolder, Config.Port.FolderName(), result, start, *files);
                result.KeptLog = recorded.KeptLog;
                AddWarning(result, recorded.Warning);
            }
        }
        AllResults.push_back(result);
        const bool again = !result.Ok() && index.Attempt < index.Attempts &&
                           WorthRetrying(result, Config.WaitSeconds > 0) && !StopAsked();
        if (!again) {
            std::lock_guard lock(CancelLock);
            ++(result.Ok() ? Tally.Updated : Tally.Failed);
        }
        Observer.RunFinished(result);
        if (!again)
            return;
        index.Earlier.push_back(result.Cause);
        RunIndex next = index;
        ++next.Attempt;
        Observer.RetryComing(result, next, Config.Line.RetryPause);
        if (!PauseBeforeRetry(Config.Line.RetryPause)) {
            std::lock_guard lock(CancelLock);
            ++Tally.Failed;  // stopped before its next attempt: the receiver was not updated
            return;
        }
        deviceNew = false;
    }
}

bool RunSession::PauseBeforeRetry(std::chrono::milliseconds pause)
{
    std::unique_lock lock(CancelLock);
    return !CancelWake.wait_for(lock, pause, [this] { return StopAsked(); });
}

NextReceiverWatch::Trigger RunSession::WaitForNextReceiver(std::unique_ptr<TCommPort>& port)
{
    LineCounts counts;
    {
        std::lock_guard lock(CancelLock);
        if (StopAsked())
            return NextReceiverWatch::Trigger::None;
        Now = Phase::Waiting;
        StartRequested = false;
        counts = Tally;
    }
    Observer.WaitingForNextReceiver(Config.Port.Text(), counts);
    NextReceiverWait::Control control;
    control.Ended = [this] { return StopAsked(); };
    control.TakeStartRequest = [this] {
        std::lock_guard lock(CancelLock);
        return std::exchange(StartRequested, false);
    };
    control.Rest = [this](std::chrono::milliseconds most) {
        std::unique_lock lock(CancelLock);
        CancelWake.wait_for(lock, most, [this] { return StopAsked() || StartRequested; });
    };
    NextReceiverWait wait(Config.Port, Config.Line.LoopQuiet, std::move(control));
    NextReceiverWatch::Trigger trigger = wait.Run();
    {
        // Leaving the wait and a stop of every waiting port (EndIfAllWaiting) exclude each
        // other: a port that was told to stop never begins another run.
        std::lock_guard lock(CancelLock);
        if (StopAsked())
            trigger = NextReceiverWatch::Trigger::None;
        Now = Phase::Running;
    }
    if (trigger != NextReceiverWatch::Trigger::None)
        port = wait.TakePort();
    return trigger;
}

void RunSession::StopAfterRun()
{
    std::lock_guard lock(CancelLock);
    StopRequested = true;
    CancelWake.notify_all();
}

void RunSession::StartNextReceiver()
{
    std::lock_guard lock(CancelLock);
    if (Now != Phase::Waiting)
        return;
    StartRequested = true;
    CancelWake.notify_all();
}

bool RunSession::WaitingForNextReceiver() const
{
    std::lock_guard lock(CancelLock);
    return Now == Phase::Waiting;
}

LineCounts RunSession::Counts() const
{
    std::lock_guard lock(CancelLock);
    return Tally;
}

void RunSession::SetPhase(Phase phase)
{
    std::lock_guard lock(CancelLock);
    Now = phase;
}
