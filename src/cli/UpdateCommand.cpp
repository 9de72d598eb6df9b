// SPDX-License-Identifier: MIT
#include "UpdateCommand.h"

#include "BenchSummary.h"
#include "BenchView.h"
#include "CheckCommand.h"
#include "CliLines.h"
#include "ConsoleWriter.h"
#include "EnterKey.h"
#include "ExitStatus.h"
#include "JsonOutput.h"
#include "LineTexts.h"
#include "OutputFile.h"
#include "PortOutput.h"
#include "PortSettings.h"
#include "QueuedMessages.h"
#include "RunGroup.h"
#include "RunSignals.h"
#include "SessionRecord.h"
#include "SystemTexts.h"

#include <unistd.h>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int RunUpdateCommand(const CliOptions& options,
                     std::optional<std::chrono::milliseconds> waitSavedLimit)
{
    const auto started = Clock::now();
    const auto sinceStart = [started] {
        return std::chrono::duration<double>(Clock::now() - started).count();
    };
    // Nothing the runs write to stdout, stderr or a trace may hold back the line: each is
    // written by a thread of its own, and what they still hold is written before the command
    // returns (see ConsoleWriter::Drain for the bound).
    ConsoleWriter out(STDOUT_FILENO);
    ConsoleWriter err(STDERR_FILENO);
    QueuedMessageService messages(err);  // a box asked for anywhere becomes a line on stderr
    ScopedMessageService useMessages(messages);
    const bool several = options.Ports.size() > 1;
    // One port: one JSON stream for the whole command, its end event last.
    std::unique_ptr<JsonOutput> json;
    if (options.Json && !several)
        json = std::make_unique<JsonOutput>(out, sinceStart);
    if (json && (options.Loop || options.Retries > 0))
        json->CountRuns();
    const auto box = [&](const MessageBoxRequest& request) {
        err.Text(BoxLine(request.Text));
        if (json)
            json->Message(request);
    };
    // An end before any run: said in JSON too, before the reason.
    const auto usageError = [&](const std::string& complaint) {
        if (json)
            json->End(ExitStatus::Usage);
        else if (options.Json)
            out.Text(UsageErrorEvent());
        if (!complaint.empty())
            err.Text(ComplaintLine(complaint));
        return ExitStatus::Usage;
    };

    std::vector<PortSpec> ports;
    for (const std::string& text : options.Ports)
        ports.push_back(*PortSpec::Parse(text));  // the options took only ports that parse
    // Named twice, or two names for one device: nothing is sent to any of them.
    if (const std::string conflict = FindPortConflict(ports, CurrentDeviceOf); !conflict.empty())
        return usageError(conflict);

    // The production line: a run may be one of several, each recorded.
    const bool line = options.Loop || options.Retries > 0;
    LineSettings lineSettings;
    lineSettings.Loop = options.Loop;
    lineSettings.LoopQuiet =
        std::chrono::milliseconds(static_cast<long long>(options.LoopQuiet * 1000));
    lineSettings.Retries = options.Retries;
    lineSettings.KeepRecord = options.History;
    RunGroup group({options.Directory, options.WaitSeconds,
                    waitSavedLimit.value_or(TFirmThread::DefaultWaitSavedLimit), lineSettings});
    if (const GroupProblem problem = group.TakeFolder()) {
        if (problem.What == GroupProblem::Kind::Busy ||
            problem.What == GroupProblem::Kind::NotLockable) {
            box({problem.Text, Texts::BoxCaption, MsgIcon::Warning, {}});
            return usageError({});
        }
        return usageError(problem.Text);
    }
    // A record that cannot be kept stops the start, before anything is sent.
    if (options.History)
        if (const std::string refusal = RecordRefusal(group.WorkFolder()); !refusal.empty())
            return usageError(refusal);
    if (ports.empty()) {
        // The port saved in the working folder; 1 when there is none.
        const SavedPortNumber saved = ReadSavedPortNumber(group.WorkFolder());
        if (saved.Unreadable)
            box({Texts::ErrorOpenSettings, Texts::BoxCaption, MsgIcon::Warning, {}});
        ports.push_back(PortSpec::Com(saved.Number.value_or(1)));
    }
    // Checked before anything is opened for writing; opened once each port is claimed.
    std::vector<std::optional<TraceRequest>> traces(ports.size());
    if (!options.Trace.empty()) {
        const std::vector<ProtectedFile> ownFiles = group.OwnFiles(ports);
        for (size_t i = 0; i < ports.size(); ++i) {
            // Several ports: one trace a port, FILE.COM3, FILE.ttyUSB0 ("-" is stderr for all).
            const std::string name = several && options.Trace != "-"
                                         ? options.Trace + "." + ports[i].FolderName()
                                         : options.Trace;
            const OutputFileCheck check = CheckOutputFile(name, group.WorkFolder(), ownFiles);
            if (!check.Ok())
                return usageError("cannot create the trace file " + check.Message());
            traces[i] = TraceRequest{name, group.WorkFolder(), ownFiles};
        }
    }
    const GroupProblem filesProblem = group.ReadFiles();
    if (filesProblem.What == GroupProblem::Kind::FileProblem)
        box({filesProblem.Text, Texts::BoxCaption, MsgIcon::Warning, {}});
    if (options.Check) {
        const int status =
            RunCheck(group.Files(), !filesProblem, ports.front(), options, out, err, json.get());
        if (json)
            json->End(status);
        return status;
    }
    if (filesProblem)
        return usageError(filesProblem.What == GroupProblem::Kind::NoFiles ? filesProblem.Text
                                                                           : std::string());

    // The outputs: per port, as the options ask.
    const bool terminal = isatty(STDOUT_FILENO) == 1;
    std::unique_ptr<BenchBoard> board;
    if (several && terminal && !options.Quiet && !options.Json) {
        std::vector<std::string> names;
        for (const PortSpec& port : ports)
            names.push_back(port.Text());
        board = std::make_unique<BenchBoard>(out, names);
    }
    std::vector<std::unique_ptr<JsonOutput>> portJson;
    std::vector<std::unique_ptr<PortOutput>> outputs;
    std::vector<SessionObserver*> observers;
    for (size_t i = 0; i < ports.size(); ++i) {
        PortOutput::Outputs o;
        o.Out = &out;
        o.Err = &err;
        o.NamedPort = several ? ports[i].Text() : std::string();
        o.Quiet = options.Quiet;
        o.Terminal = terminal;
        o.SinceStart = sinceStart;
        o.Json = json.get();
        if (options.Json && several) {
            portJson.push_back(std::make_unique<JsonOutput>(out, sinceStart));
            portJson.back()->NamePort(ports[i].Text());
            if (line)
                portJson.back()->CountRuns();
            o.Json = portJson.back().get();
        }
        o.Board = board.get();
        o.BoardRow = i;
        o.Trace = traces[i];
        o.Line = line;
        outputs.push_back(std::make_unique<PortOutput>(o, group.Files().ToSend()));
        observers.push_back(outputs.back().get());
    }

    // The signals of the runs, for all ports at once: a second Ctrl-C or SIGTERM cancels them.
    std::unique_ptr<RunSignals> runSignals;
    try {
        runSignals = std::make_unique<RunSignals>(
            [&](const std::string& line) {
                box({line, Texts::BoxCaption, MsgIcon::Warning, {}});
            },
            [&group] { group.CancelAll(); },
            // Every port waiting for its next receiver: Ctrl-C ends the session there.
            [&group, &options] { return options.Loop && group.EndIfAllWaiting(); });
    } catch (const std::exception& error) {
        return usageError(std::string("cannot take over the runSignals for the update: ") +
                          error.what());
    }
    group.Start(ports, observers, [&outputs](size_t i) { return outputs[i]->OpenTrace(); });
    std::unique_ptr<EnterKey> enter;
    if (options.Loop) {
        // Only a terminal is read: for receivers that print nothing when switched on.
        enter = std::make_unique<EnterKey>([&group] { group.StartNextReceiver(); });
        if (enter->Active())
            err.Text(
                ComplaintLine("press Enter to start every port that waits for its next "
                              "receiver; Ctrl-C while every port waits ends the session"));
    }
    group.Wait();
    enter.reset();

    // Each receiver counts with its last attempt.
    const std::vector<std::vector<RunResult>> all = group.AllResults();
    std::vector<RunResult> results;
    for (const std::vector<RunResult>& port : all)
        for (const RunResult& last : LastAttempts(port))
            results.push_back(last);
    // A cancel ends as a shell reports a program that the signal ended.
    const int status = ExitStatusOf(results, runSignals->CancelSignal());
    if (board)
        board->Finish();
    if (line && options.Json)
        out.Text(LineSummaryEvent(all, status, sinceStart()));
    else if (options.Loop)
        out.Text(LineSummaryText(all, sinceStart()));
    else if (several)
        out.Text(options.Json ? SummaryEvent(group.Results(), status, sinceStart())
                              : BenchSummaryTable(group.Results()));
    else if (json)
        json->End(status, results.empty() ? nullptr : &results.back());
    // The runs' output goes out before the runSignals mean what they always do again, so that a
    // background job on a terminal with TOSTOP is not stopped before its outcome.
    outputs.clear();
    ConsoleWriter::DrainAll({&out, &err});
    runSignals.reset();
    return status;
}
