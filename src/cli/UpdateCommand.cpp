// SPDX-License-Identifier: MIT
#include "UpdateCommand.h"

#include "ConsoleWriter.h"
#include "Exceptions.h"
#include "FirmThread.h"
#include "FolderLock.h"
#include "Messages.h"
#include "PortErrorAdvice.h"
#include "PortErrors.h"
#include "PortSettings.h"
#include "ProgressView.h"
#include "QueuedMessages.h"
#include "RunStart.h"
#include "SystemTexts.h"
#include "UpdateRun.h"
#include "Win1252.h"
#include "comm_port.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <unistd.h>

namespace {

// The command's own lines on stderr go the way of the message boxes' lines, in order with them.
TextSink* ErrorLines = nullptr;

void Complain(const std::string& text)
{
    if (ErrorLines)
        ErrorLines->Text("zendrak-cli: " + text + "\n");
}

// A test can shorten the bound on the wait for a stored file (not part of the usage).
std::chrono::milliseconds WaitSavedLimit()
{
    if (const char* text = std::getenv("ZENDRAK_WAIT_SAVED_LIMIT_MS")) {
        char* end = nullptr;
        const long long ms = std::strtoll(text, &end, 10);
        if (end != text && *end == '\0' && ms > 0)
            return std::chrono::milliseconds(ms);
    }
    return std::chrono::minutes(15);
}

// The port as the window sets it up: the device, 115200 baud, 8 data bits, no parity, one stop
// bit. Returns the text the port's error messages name it by.
std::string ConfigurePort(TCommPort& port, const CliOptions& options)
{
    if (!options.Port.empty() && options.Port[0] == '/') {
        // SetCommPort makes a COM name (\\.\ + its text); a device path is the name itself.
        port.SetCommPort(options.Port);
        port.PortName = options.Port;
        port.SetBaudRate(LinkBaudRate);
        port.SetByteSize(8);
        port.SetParity(NOPARITY);
        port.SetStopBits(ONESTOPBIT);
        return options.Port;
    }
    uint8_t number = ComPortNumber;
    if (!options.Port.empty())
        number = static_cast<uint8_t>(ComNumberOfOption(options.Port));
    ConfigureCommPort(port, number);
    return "COM" + std::to_string(number);
}

// An error that ended the worker early. The port's errors have shown their "COM Error" line
// already; anything else (the log that could not be written) would go unseen otherwise.
void ReportFatalError(const std::exception_ptr& fatal)
{
    if (!fatal)
        return;
    try {
        std::rethrow_exception(fatal);
    } catch (const ECommError&) {
    } catch (const Exception& error) {
        Complain("the run ended early: " + ToTerminalText(error.Message));
    } catch (const std::exception& error) {
        Complain(std::string("the run ended early: ") + error.what());
    } catch (...) {
        Complain("the run ended early by an unknown error");
    }
}

}  // namespace

int RunUpdateCommand(const CliOptions& options)
{
    // Nothing the run writes to stdout or stderr may hold back the worker: both are written by
    // threads of their own, and what they still hold is written before the command returns.
    ConsoleWriter out(STDOUT_FILENO);
    ConsoleWriter err(STDERR_FILENO);
    ErrorLines = &err;
    struct Forget {
        ~Forget() { ErrorLines = nullptr; }
    } forget;
    QueuedMessageService messages(err);  // every message box becomes a line on stderr
    ScopedMessageService useMessages(messages);

    if (!options.Directory.empty() && chdir(options.Directory.c_str()) != 0) {
        Complain("cannot change into " + options.Directory + ": " + std::strerror(errno));
        return 2;
    }
    // One run per folder, from before the files are read until the log is written.
    FolderLock folder;
    if (!TakeRunFolder(folder))
        return 2;
    if (options.Port.empty())
        ReadPortSettings();  // shows "Error open Zendrak.dat !!!" and keeps port 1 when missing

    UpdateRun run({});  // the current directory, which -C has made the one asked for
    if (!run.ReadFiles()) {
        if (!run.Files.Problem.Empty())
            ShowFirmFileProblem(run.Files.Problem);
        else
            Complain("no firmware file (font.app, decoder.app, out.app) in this directory; "
                     "nothing was sent and no log was written.");
        return 2;
    }

    ProgressView view(out, isatty(STDOUT_FILENO) == 1, options.Quiet, run.FilesToSend());
    run.Observers.Add(view);
    std::string portText = options.Port;
    try {
        portText = ConfigurePort(run.Port, options);
        run.Succeeded = false;
        run.Files.FirmFileIndex = 0;
        run.Port.OpenCommPort();
    } catch (const ECommError& error) {
        // The "COM Error" line came when the error was made; then the window's message, then
        // what the system said and what to do about it.
        ShowComError(error.Code, portText);
        const std::string advice = PortErrorAdvice(error.LastError, error.Holders);
        Complain(advice.empty() ? "the port " + portText + " could not be set up (error code " +
                                      std::to_string(error.Code) + ")."
                                : advice);
        run.Files.ReleaseFirmFiles();
        return 2;
    } catch (const Exception& error) {
        ShowException(error);
        run.Files.ReleaseFirmFiles();
        return 2;
    }

    TFirmThread* worker = TThread::Create<TFirmThread>(true, run, WaitSavedLimit());
    worker->OnTerminate = [&](TThread* sender) {
        ReportFatalError(sender->FatalException());
        FirmClosePort(&run.Port, run.Files, {});
        if (run.Succeeded) {
            view.ShowOutcome(Texts::UpdateOk);
        } else {
            view.ShowOutcome(Texts::UpdateError);
            MessageBox(Texts::UpdateError, Texts::BoxCaption, MsgIcon::Warning);
        }
        QCoreApplication::quit();
    };
    try {
        worker->Start();
    } catch (const std::exception& error) {
        delete worker;  // never started, so it cannot free itself
        Complain(std::string("cannot start the update: ") + error.what());
        FirmClosePort(&run.Port, run.Files, {});
        return 2;
    }
    QCoreApplication::exec();
    // The worker frees itself after its done handler; nothing it uses may go before that.
    TThread::WaitForAll();
    return run.Succeeded ? 0 : 1;
}
