// SPDX-License-Identifier: MIT
#include "RunSession.h"

#include "AssignedPorts.h"
#include "Exceptions.h"
#include "NetAddress.h"
#include "NextReceiverWait.h"
#include "PortErrors.h"
#include "PortLogFolder.h"
#include "PortProblem.h"
#include "RunPlan.h"
#include "SessionHost.h"
#include "SettlingOpen.h"
#include "SystemTexts.h"
#include "Win1252.h"
#include "comm_port.h"

#include <cstdio>
#include <exception>

namespace {

using Clock = std::chrono::steady_clock;

// Before a later run: what the line still brings is read away until it is quiet this long.
constexpr std::chrono::milliseconds LeftoverQuiet{300};
constexpr std::chrono::milliseconds LeftoverLimit{3000};

double SecondsSince(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string SecondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

// A toolkit error's message (Windows-1252) as UTF-8.
std::string Utf8(const Exception& error)
{
    return FromSystemText(error.Message).toStdString();
}

}  // namespace

std::string SessionSettings::LogPath() const
{
    const std::string folder = PortFolder.empty() ? WorkFolder : WorkFolder + "/" + PortFolder;
    return folder + "/" + Texts::UpdateLogFileName;
}

RunSession::RunSession(SessionSettings settings, FileSource files, SessionObserver& observer)
    : Config(std::move(settings)), Files(std::move(files)), Observer(observer)
{
}

RunSession::~RunSession()
{
    if (!Thread.joinable())
        return;
    Cancel();
    Wait();
}

void RunSession::Start()
{
    Thread = std::thread([this] { Body(); });
}

void RunSession::Cancel()
{
    std::lock_guard lock(CancelLock);
    CancelRequested = true;
    if (Worker)
        Worker->RequestCancel();
    CancelWake.notify_all();
}

void RunSession::Wait()
{
    Done.Wait();
    if (Thread.joinable())
        Thread.join();
}

bool RunSession::WaitForDevice()
{
    if (Config.WaitSeconds <= 0 || Config.Port.Present())
        return !CancelRequested;
    Observer.WaitingForDevice(Config.Port.Text(), Config.WaitSeconds);
    const PresenceWait waited =
        WaitForPresence(Config.Port, Config.WaitSeconds, [this](std::chrono::milliseconds pause) {
            std::unique_lock lock(CancelLock);
            return !CancelWake.wait_for(lock, pause, [this] { return CancelRequested.load(); });
        });
    if (waited == PresenceWait::Stopped)
        return false;
    if (waited == PresenceWait::TimedOut)
        // The open goes ahead and says what is wrong with the port.
        Observer.Warning(Config.Port.Text() +
                         (Config.Port.Address() ? ": the server accepted no connection within "
                                                : ": no device appeared within ") +
                         SecondsText(Config.WaitSeconds) + " s");
    return !CancelRequested;
}

RunResult RunSession::Unbegun(RunResult result, RunResult::Outcome outcome, const std::string& why)
{
    result.End = outcome;
    result.Cause =
        outcome == RunResult::Outcome::Cancelled ? RunCause::Cancelled : RunCause::NotOpened;
    result.CauseText = why;
    return result;
}

RunResult RunSession::RunOnce(const RunIndex& index,
                              const std::shared_ptr<const FirmwareFiles>& files,
                              std::unique_ptr<TCommPort> heldPort, bool deviceNew,
                              const std::string& refusal)
{
    const auto began = Clock::now();
    RunResult result;
    result.Run = index.Run;
    result.Attempt = index.Attempt;
    result.Attempts = index.Attempts;
    result.Earlier = index.Earlier;
    result.Port = Config.Port.Text();
    result.Files = static_cast<int>(files->ToSend().size());
    const RunPlan plan = PlanRun(*files, Config.Port);
    result.Device = plan.Device;
    Observer.RunBegins(plan, index);
    const auto finish = [&](RunResult ended) {
        ended.Seconds = SecondsSince(began);
        return ended;
    };
    if (!refusal.empty()) {
        // Said with the result; the port was never touched.
        ClosePortAfterRun(heldPort.get(), false);
        return finish(Unbegun(result, RunResult::Outcome::NotOpened, refusal));
    }

    // Held by pointer: its destructor may raise, a session's may not.
    // The run's port: the one the wait for this receiver kept open, else the one its caller
    // opened, else one opened here.
    std::unique_ptr<TCommPort> ownPort = std::move(heldPort);
    TCommPort* port = ownPort && ownPort->PortOpen ? ownPort.get() : nullptr;
    if (!port && OpenedPort && OpenedPort->PortOpen)
        port = OpenedPort;
    if (!port) {
        ownPort = std::make_unique<TCommPort>();
        port = ownPort.get();
        // A device waited for may have only just appeared: udev sets its mode a moment later.
        const auto settle =
            Config.WaitSeconds > 0 || deviceNew ? DeviceSettleTime : std::chrono::milliseconds(0);
        if (const std::optional<PortProblem> problem = OpenReceiverPort(
                *port, Config.Port, settle, [this] { return CancelRequested.load(); })) {
            Observer.PortProblemFound(*problem);
            result.Problem = problem;
            return finish(Unbegun(result, RunResult::Outcome::NotOpened, problem->Description));
        }
    }
    // A later run of a session begins on a line with nothing left over from before: the
    // receiver's own restart after the last run must not be taken for the answer to "r".
    if (index.Run > 1 || index.Attempt > 1)
        ReadAwayPending(*port, LeftoverQuiet, LeftoverLimit,
                        [this] { return CancelRequested.load(); });
    if (const PortResolution resolution = Config.Port.Resolve(); resolution.Device)
        result.Device = *resolution.Device;
    if (Config.Line.KeepRecord && Config.Port.Type() != PortSpec::Kind::Network &&
        !LooksLikeNetAddress(result.Device))
        if (std::string identity = StableIdentityOf(result.Device); identity != result.Device)
            result.Adapter = std::move(identity);
    Observer.PortClaimed(result.Port, result.Device);
    // The port's own log folder is made only for a run that has its port.
    std::string refused = Config.PortFolder.empty()
                              ? std::string()
                              : PreparePortLogFolder(Config.WorkFolder, Config.PortFolder);
    if (refused.empty() && BeforeFirstByte)
        refused = BeforeFirstByte();
    if (!refused.empty() || CancelRequested) {
        ClosePortAfterRun(port, false);  // nothing was sent: no pause
        return finish(refused.empty() ? Unbegun(result, RunResult::Outcome::Cancelled,
                                                CauseAdvice(RunCause::Cancelled))
                                      : Unbegun(result, RunResult::Outcome::NotOpened, refused));
    }

    SessionHost host(files, *port, Observer, Config.LogPath(), Display);
    TFirmThread worker(true, host, Config.WaitSavedLimit);
    {
        std::lock_guard lock(CancelLock);
        Worker = &worker;
        if (CancelRequested)
            worker.RequestCancel();
    }
    std::exception_ptr fatal;
    try {
        worker.RunUpdate();
    } catch (...) {
        fatal = std::current_exception();
    }
    {
        std::lock_guard lock(CancelLock);
        Worker = nullptr;
    }
    // The receiver takes in the last bytes before the line goes; the pause is this thread's.
    if (ClosePortAfterRun(port, true))
        result.Warning = "the port could not be closed";

    const RunRecord& record = host.Record;
    result.FilesStored = record.FilesStored();
    result.LogPath = record.WrittenLog();
    const bool succeeded = host.Succeeded;
    result.End = worker.Cancelled() ? RunResult::Outcome::Cancelled
                 : succeeded        ? RunResult::Outcome::Ok
                                    : RunResult::Outcome::Error;
    bool endedEarly = false;
    if (fatal) {
        try {
            std::rethrow_exception(fatal);
        } catch (const ECommError&) {
            endedEarly = true;
            if (succeeded)
                result.Warning =
                    "the update log was not written: the port failed after every "
                    "file had been stored";
            else if (result.LogPath.empty())
                result.Warning = "no update log was written: the port failed during the run";
        } catch (const EFCreateError& error) {
            result.Warning =
                "the update log could not be written to " + Config.LogPath() + ": " + Utf8(error);
        } catch (const EWriteError& error) {
            result.Warning =
                "the update log could not be written to " + Config.LogPath() + ": " + Utf8(error);
        } catch (const Exception& error) {
            endedEarly = true;
            result.Warning = "the run ended early: " + Utf8(error);
        } catch (const std::exception& error) {
            endedEarly = true;
            result.Warning = std::string("the run ended early: ") + error.what();
        } catch (...) {
            endedEarly = true;
            result.Warning = "the run ended early by an unknown error";
        }
    }
    // One report of the line's trouble: the first error it met says most.
    if (const std::optional<ECommError> error = record.FirstPortError()) {
        result.Problem = PortProblemOf(Config.Port, *error, false);
        Observer.PortProblemFound(*result.Problem);
    }
    if (worker.CancelCameTooLate())
        result.Warning =
            "the cancel came after the end: every file was stored and the "
            "receiver told to start";
    result.EndedByError = endedEarly;
    if (!result.Ok()) {
        result.Cause = result.End == RunResult::Outcome::Cancelled
                           ? RunCause::Cancelled
                           : LikelyRunCause(record.Entries(), endedEarly);
        result.CauseText = CauseAdvice(result.Cause, Config.Port.Address().has_value());
    }
    return finish(result);
}
