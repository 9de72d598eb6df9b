// SPDX-License-Identifier: MIT
// What zendrak-cli shows of one port's session: it implements the session's observer and hands
// each event to the outputs the options ask for (the plain progress lines, a line of the
// terminal's board, the JSON stream, the trace) and the port's messages to stderr. It formats
// and hands text on; it never writes itself, so the line never waits for it.
#pragma once

#include "BenchView.h"
#include "ConsoleWriter.h"
#include "JsonOutput.h"
#include "OutputFile.h"
#include "ProgressView.h"
#include "SessionObserver.h"
#include "TraceOutput.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

// A trace asked for: its name as given, the folder a relative name is taken in, and the files
// it must never be.
struct TraceRequest {
    std::string Name;
    std::string Folder;
    std::vector<ProtectedFile> Protected;
};

// Says a port problem on stderr (the window's boxes as lines, then, for a failed open, what was
// tried) and in the JSON stream.
void TellPortProblem(const PortProblem& problem, TextSink& err, JsonOutput* json,
                     const std::string& namedPort = {});

class PortOutput : public RunEventRelay {
public:
    struct Outputs {
        TextSink* Out = nullptr;  // stdout
        TextSink* Err = nullptr;  // stderr
        // The port, when several run: named in every line and JSON event about it.
        std::string NamedPort;
        bool Quiet = false;
        bool Terminal = false;  // stdout is a terminal (one redrawn line)
        std::function<double()> SinceStart;
        JsonOutput* Json = nullptr;   // --json: this port's stream (else plain lines)
        BenchBoard* Board = nullptr;  // several ports on a terminal: this port's line
        size_t BoardRow = 0;
        std::optional<TraceRequest> Trace;  // --trace: opened once the port is claimed
        // A production line (--loop, --retries): each run ends with its own JSON end.
        bool Line = false;
    };

    PortOutput(Outputs outputs, std::vector<RunFile> files);
    ~PortOutput() override;

    // Why the trace could not be opened once the port was claimed; empty when it was (or
    // none was asked for). Called on the session's thread before anything is sent; the
    // runs after the first write on into the trace opened by the first.
    std::string OpenTrace();

    void WaitingForDevice(const std::string& port, double seconds) override;
    void RunBegins(const RunPlan& plan, const RunIndex& index) override;
    void PortProblemFound(const PortProblem& problem) override;
    void Warning(const std::string& text) override;
    void RunFinished(const RunResult& result) override;
    void RetryComing(const RunResult& failed, const RunIndex& next,
                     std::chrono::milliseconds pause) override;
    void WaitingForNextReceiver(const std::string& port, const LineCounts& counts) override;

    // A line of text to this port's stderr, as the command says things (UTF-8).
    void Complain(const std::string& text);
    // A box of the window as a line on stderr and a JSON message.
    void Box(const MessageBoxRequest& box);

private:
    void SetState(const std::string& state);
    void SetIdle(const std::string& state);
    // A line about the production line, on stdout with the port named once.
    void SayLine(const std::string& text);

    Outputs Out;
    std::unique_ptr<PrefixedSink> Lines;
    std::unique_ptr<ProgressView> View;
    OutputFile TraceFile;
    std::unique_ptr<ConsoleWriter> TraceWriter;
    std::unique_ptr<PrefixedSink> TraceLines;  // a trace on stderr with several ports
    std::unique_ptr<TraceOutput> Trace;
    std::atomic<double> RunBegan{0};
    std::string PortName;  // as the session names it; set on the session's thread
};
