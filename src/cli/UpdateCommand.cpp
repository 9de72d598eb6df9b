// SPDX-License-Identifier: MIT
#include "UpdateCommand.h"

#include "CheckCommand.h"
#include "ComText.h"
#include "ConsoleWriter.h"
#include "Exceptions.h"
#include "FirmThread.h"
#include "FolderLock.h"
#include "JsonOutput.h"
#include "Messages.h"
#include "PortErrors.h"
#include "PortSettings.h"
#include "PortWait.h"
#include "ProgressView.h"
#include "QueuedMessages.h"
#include "RunPlanning.h"
#include "RunSignals.h"
#include "RunStart.h"
#include "SystemTexts.h"
#include "TraceOutput.h"
#include "UpdateRun.h"
#include "Win1252.h"
#include "comm_port.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

// The run itself went its way; only its log could not be written (the run's only file).
std::string LogNotWrittenText(const std::string& logPath, const Exception& error)
{
    return "the update log could not be written to " + logPath + ": " +
           ToTerminalText(error.Message);
}

// A descriptor closed when the command ends (after the writer that uses it).
struct OwnedFd {
    int Fd = -1;
    ~OwnedFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

std::string FormatSeconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

}  // namespace

// An error that ended the worker early. The port's errors have shown their "COM Error" line
// already, without the port; anything else would go unseen otherwise.
std::string FatalErrorText(const std::exception_ptr& fatal, const std::string& portText,
                           const std::string& logPath)
{
    if (!fatal)
        return {};
    try {
        std::rethrow_exception(fatal);
    } catch (const ECommError& error) {
        return "the run ended early: " + DescribePortError(portText, error);
    } catch (const EFCreateError& error) {
        return LogNotWrittenText(logPath, error);
    } catch (const EWriteError& error) {
        return LogNotWrittenText(logPath, error);
    } catch (const Exception& error) {
        return "the run ended early: " + ToTerminalText(error.Message);
    } catch (const std::exception& error) {
        return std::string("the run ended early: ") + error.what();
    } catch (...) {
        return "the run ended early by an unknown error";
    }
    return {};
}

int RunUpdateCommand(const CliOptions& options,
                     std::optional<std::chrono::milliseconds> waitSavedLimit)
{
    const auto started = std::chrono::steady_clock::now();
    const auto sinceStart = [started] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    // Nothing the run writes to stdout, stderr or the trace may hold back the worker: each is
    // written by a thread of its own, and what they still hold is written before the command
    // returns (see ConsoleWriter::Drain for the bound).
    OwnedFd traceFd;
    std::unique_ptr<ConsoleWriter> traceWriter;
    ConsoleWriter out(STDOUT_FILENO);
    ConsoleWriter err(STDERR_FILENO);
    const auto complain = [&err](const std::string& text) {
        err.Text("zendrak-cli: " + text + "\n");
    };
    std::unique_ptr<JsonOutput> json;
    if (options.Json)
        json = std::make_unique<JsonOutput>(out, sinceStart);
    // With --json the end event comes first, before anything else is said of an early end.
    const auto finish = [&json](int code) {
        if (json)
            json->End(code);
        return code;
    };
    QueuedMessageService messages(err);  // every message box becomes a line on stderr
    if (json)
        messages.Listen([&json](const MessageBoxRequest& box) { json->Message(box); });
    ScopedMessageService useMessages(messages);

    if (!options.Trace.empty()) {
        traceFd.Fd = ::open(options.Trace.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (traceFd.Fd < 0) {
            const std::string reason = std::strerror(errno);
            finish(2);
            complain("cannot create the trace file " + options.Trace + ": " + reason);
            return 2;
        }
        traceWriter = std::make_unique<ConsoleWriter>(traceFd.Fd);
    }
    if (!options.Directory.empty() && chdir(options.Directory.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        finish(2);
        complain("cannot change into " + options.Directory + ": " + reason);
        return 2;
    }
    // One run per folder, from before the files are read until the log is written.
    FolderLock folder;
    if (!TakeRunFolder(folder))
        return finish(2);
    const std::string portOption = SinglePortOption(options);
    if (portOption.empty())
        ReadPortSettings();  // shows "Error open Zendrak.dat !!!" and keeps port 1 when missing

    UpdateRun run({});  // the current directory, which -C has made the one asked for
    const bool filesRead = run.ReadFiles();
    if (!run.Files.Problem.Empty())
        ShowFirmFileProblem(run.Files.Problem);  // a file that cannot be used stops the start
    if (options.Check)
        return finish(RunCheck(run, options, filesRead, out, err, json.get()));
    if (!filesRead) {
        finish(2);
        if (run.Files.Problem.Empty())
            complain(
                "no firmware file (font.app, decoder.app, out.app) in this directory; "
                "nothing was sent and no log was written.");
        return 2;
    }

    if (options.WaitSeconds > 0) {
        const std::string wanted = portOption.empty() ? ComText(ComPortNumber) : portOption;
        const auto limit =
            std::chrono::milliseconds(static_cast<long long>(options.WaitSeconds * 1000));
        if (!WaitForPortDevice(wanted, limit))
            complain(wanted + ": no device appeared within " + FormatSeconds(options.WaitSeconds) +
                     " s");
    }

    std::unique_ptr<ProgressView> view;
    if (json) {
        json->Start(PlanOf(run, portOption));
        run.Observers.Add(*json);
    } else {
        view = std::make_unique<ProgressView>(out, isatty(STDOUT_FILENO) == 1, options.Quiet,
                                              run.FilesToSend());
        run.Observers.Add(*view);
    }
    std::unique_ptr<TraceOutput> trace;
    if (traceWriter) {
        trace = std::make_unique<TraceOutput>(*traceWriter, sinceStart);
        run.Observers.Add(*trace);
    }

    std::string portText = portOption;
    try {
        portText = ConfigurePort(run.Port, portOption);
        run.Succeeded = false;
        run.Files.FirmFileIndex = 0;
        run.Port.OpenCommPort();
    } catch (const ECommError& error) {
        // The "COM Error" line came when the error was made; then the window's message, then
        // what the system said and what to do about it.
        ShowComError(error.Code, portText);
        finish(2);
        complain(DescribePortError(portText, error));
        run.Files.ReleaseFirmFiles();
        return 2;
    } catch (const Exception& error) {
        ShowException(error);
        run.Files.ReleaseFirmFiles();
        return finish(2);
    }

    TFirmThread* worker = waitSavedLimit ? TThread::Create<TFirmThread>(true, run, *waitSavedLimit)
                                         : TThread::Create<TFirmThread>(true, run);
    // Present from here until the run's last output is out; the signal that cancelled the run
    // sets the exit status.
    std::unique_ptr<RunSignals> runSignals;
    int cancelledBy = 0;
    worker->OnTerminate = [&](TThread* sender) {
        const std::string fatal =
            FatalErrorText(sender->FatalException(), portText, run.UpdateLogPath());
        if (!fatal.empty())
            complain(fatal);
        FirmClosePort(&run.Port, run.Files, {});
        if (static_cast<TFirmThread*>(sender)->Cancelled())
            cancelledBy = runSignals->CancelSignal();
        const char* outcome = run.Succeeded ? Texts::UpdateOk : Texts::UpdateError;
        if (view)
            view->ShowOutcome(outcome);
        if (!run.Succeeded)
            MessageBox(Texts::UpdateError, Texts::BoxCaption, MsgIcon::Warning);
        worker = nullptr;  // it frees itself after this handler
        QCoreApplication::quit();
    };
    try {
        runSignals = std::make_unique<RunSignals>(
            [](const std::string& line) { MessageBox(line, Texts::BoxCaption, MsgIcon::Warning); },
            [&worker] {
                if (worker)
                    worker->RequestCancel();
            });
        worker->Start();
    } catch (const std::exception& error) {
        runSignals.reset();
        delete worker;  // never started, so it cannot free itself
        complain(std::string("cannot start the update: ") + error.what());
        FirmClosePort(&run.Port, run.Files, {});
        return finish(2);
    }
    QCoreApplication::exec();
    // The worker frees itself after its done handler; nothing it uses may go before that.
    TThread::WaitForAll();
    // A cancel ends as a shell reports a program that the signal ended.
    const int code = finish(cancelledBy != 0 ? 128 + cancelledBy : run.Succeeded ? 0 : 1);
    // The run's output goes out before the signals mean what they always do again, so that a
    // background job on a terminal with TOSTOP is not stopped before its outcome.
    out.Drain();
    err.Drain();
    runSignals.reset();
    return code;
}
