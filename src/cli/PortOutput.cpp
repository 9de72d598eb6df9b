// SPDX-License-Identifier: MIT
#include "PortOutput.h"

#include "CliLines.h"
#include "ExitStatus.h"
#include "LineTexts.h"
#include "PortProblem.h"
#include "PortSpec.h"
#include "SystemTexts.h"

#include <chrono>
#include <cstring>

namespace {

double SteadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void TellPortProblem(const PortProblem& problem, TextSink& err, JsonOutput* json,
                     const std::string& namedPort)
{
    for (MessageBoxRequest box : PortProblemBoxes(problem)) {
        // The window's plain dialog says only "Comm Error: "; a line on its own says why.
        if (box.Text == Texts::CommErrorDialog) {
            const char* meaning = ::strerrordesc_np(static_cast<int>(problem.LastError));
            box.Text += problem.LastError != 0 && meaning
                            ? std::string(meaning)
                            : "error code " + std::to_string(problem.Code);
        }
        err.Text(BoxLine(box.Text, namedPort));
        if (json)
            json->Message(box);
    }
    // A failed open is said at once; a failure during the run with the run's end.
    if (problem.WhileOpening)
        err.Text(ComplaintLine(problem.Description, namedPort));
}

PortOutput::PortOutput(Outputs outputs, std::vector<RunFile> files) : Out(std::move(outputs))
{
    if (Out.Json) {
        Add(*Out.Json);
    } else if (Out.Board) {
        Add(Out.Board->Port(Out.BoardRow));
    } else if (!Out.NamedPort.empty()) {
        // Piped, several ports: each run's plain lines with its port in front.
        Lines = std::make_unique<PrefixedSink>(*Out.Out, Out.NamedPort + ": ");
        View = std::make_unique<ProgressView>(*Lines, false, Out.Quiet, std::move(files));
        Add(*View);
    } else {
        View = std::make_unique<ProgressView>(*Out.Out, Out.Terminal, Out.Quiet, std::move(files));
        Add(*View);
    }
}

PortOutput::~PortOutput()
{
    Trace.reset();
    TraceWriter.reset();  // drains what it holds, then the file closes
}

std::string PortOutput::OpenTrace()
{
    if (!Out.Trace || Trace)
        return {};
    OutputFileOpen opened =
        OpenOutputFile(Out.Trace->Name, Out.Trace->Folder, Out.Trace->Protected);
    if (!opened.Check.Ok())
        return "cannot create the trace file " + opened.Check.Message();
    TraceFile = std::move(opened.File);
    TextSink* sink = Out.Err;
    if (!opened.Check.Stderr) {
        TraceWriter = std::make_unique<ConsoleWriter>(TraceFile.Fd());
        const std::string shown = opened.Check.Shown;
        // A trace that cannot be written (a full disk) is said once; the run goes on.
        TraceWriter->OnFailure([this, shown](int error) {
            const std::string text = "the trace file " + shown +
                                     " could not be written: " + ::strerrordesc_np(error) +
                                     "; the update goes on without it";
            Complain(text);
            if (Out.Json)
                Out.Json->Warning(text);
        });
        sink = TraceWriter.get();
    } else if (!Out.NamedPort.empty()) {
        TraceLines = std::make_unique<PrefixedSink>(*Out.Err, Out.NamedPort + ": ");
        sink = TraceLines.get();
    }
    Trace = std::make_unique<TraceOutput>(*sink, [this] { return SteadySeconds() - RunBegan; });
    Add(*Trace);
    return {};
}

void PortOutput::SetState(const std::string& state)
{
    if (Out.Board)
        Out.Board->SetState(Out.BoardRow, state);
}

void PortOutput::SetIdle(const std::string& state)
{
    if (Out.Board)
        Out.Board->SetIdle(Out.BoardRow, state);
}

void PortOutput::Complain(const std::string& text)
{
    Out.Err->Text(ComplaintLine(text, Out.NamedPort));
}

void PortOutput::Box(const MessageBoxRequest& box)
{
    Out.Err->Text(BoxLine(box.Text, Out.NamedPort));
    if (Out.Json)
        Out.Json->Message(box);
}

void PortOutput::WaitingForDevice(const std::string& port, double /*seconds*/)
{
    // A port on another machine is there once its server accepts a connection.
    const std::optional<PortSpec> waiting = PortSpec::Parse(port);
    SetState(waiting && waiting->Address() ? "waiting for the server" : "waiting for the device");
}

void PortOutput::SayLine(const std::string& text)
{
    if (Out.Json)
        return;
    if (Out.Board) {
        SetIdle(text);
        return;
    }
    // Piped with several ports, the prefix names the port; alone the line names it itself.
    if (View)
        View->Say(Lines ? text : Out.NamedPort.empty() ? PortName + ": " + text : text);
}

void PortOutput::RunBegins(const RunPlan& plan, const RunIndex& index)
{
    RunBegan = SteadySeconds();
    PortName = plan.Port;
    if (Out.Json) {
        Out.Json->SetRun(index);
        Out.Json->Start(plan);
    }
    if (index.Run == 1 && index.Attempt == 1)
        return;
    if (View)
        View->BeginRun(plan.Files);
    if (index.Attempt == 1)
        SayLine(NextReceiverText(index));
    else if (Out.Board)
        SetState("attempt " + std::to_string(index.Attempt) + " of " +
                 std::to_string(index.Attempts));
}

void PortOutput::RetryComing(const RunResult& failed, const RunIndex& next,
                             std::chrono::milliseconds pause)
{
    if (Out.Json)
        Out.Json->Retry(failed, next, static_cast<double>(pause.count()) / 1000.0);
    SayLine(RetryText(next, pause));
}

void PortOutput::WaitingForNextReceiver(const std::string& port, const LineCounts& counts)
{
    PortName = port;
    if (Out.Json)
        Out.Json->Waiting(counts);
    SayLine(WaitingText(counts));
}

void PortOutput::PortProblemFound(const PortProblem& problem)
{
    TellPortProblem(problem, *Out.Err, Out.Json, Out.NamedPort);
}

void PortOutput::Warning(const std::string& text)
{
    Complain(text);
    if (Out.Json)
        Out.Json->Warning(text);
}

void PortOutput::RunFinished(const RunResult& result)
{
    if (result.Problem && !result.Problem->WhileOpening)
        Complain((result.EndedByError ? "the run ended early: " : "the file send failed: ") +
                 result.Problem->Description);
    if (!result.Warning.empty())
        Complain(result.Warning);
    if (Trace)
        Trace->End(result);
    std::string state = OutcomeText(result.End);
    // Said before the outcome, which stays the run's last line.
    const std::string attempt = AttemptText(result);
    if (!attempt.empty() && View)
        View->Say(attempt);
    if (result.End == RunResult::Outcome::NotOpened) {
        if (!result.Problem)
            Complain(result.CauseText);  // the port's own problems have been said
    } else {
        if (View)
            View->ShowOutcome(OutcomeText(result.End));
        // After a cancel the user knows: the outcome line is enough, and the cause says why.
        if (result.End == RunResult::Outcome::Error)
            Box({Texts::UpdateError, Texts::BoxCaption, MsgIcon::Warning, {}});
        if (!result.Ok()) {
            Complain(result.CauseText);
            state += std::string(" (") + CauseShortText(result.Cause) + ")";
        }
    }
    if (!attempt.empty())
        state += ", " + attempt;
    SetState(state);
    // On a production line each run has its end event; with several ports each port has its
    // own; one port's end comes with the command's.
    if (Out.Json && Out.Line)
        Out.Json->RunEnd(result);
    else if (Out.Json && !Out.NamedPort.empty())
        Out.Json->End(ExitStatusOf({result}), &result);
}
