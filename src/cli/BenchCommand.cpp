// SPDX-License-Identifier: MIT
#include "BenchCommand.h"

#include "BenchPorts.h"
#include "BenchSummary.h"
#include "BenchView.h"
#include "ComText.h"
#include "ConsoleWriter.h"
#include "Exceptions.h"
#include "FirmThread.h"
#include "FolderLock.h"
#include "JsonOutput.h"
#include "Messages.h"
#include "PortErrors.h"
#include "PortMap.h"
#include "PortWait.h"
#include "ProgressView.h"
#include "RunPlanning.h"
#include "RunSignals.h"
#include "RunStart.h"
#include "SystemTexts.h"
#include "TraceOutput.h"
#include "UpdateCommand.h"
#include "UpdateRun.h"
#include "Win1252.h"
#include "comm_port.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

namespace {

// The port whose run this thread serves ("" on the main thread between runs): message boxes
// and the command's own complaints are prefixed with it.
thread_local std::string CurrentPort;

class PortLabel {
public:
    explicit PortLabel(const std::string& port) : Saved(CurrentPort) { CurrentPort = port; }
    ~PortLabel() { CurrentPort = Saved; }

private:
    std::string Saved;
};

std::string Prefix()
{
    return CurrentPort.empty() ? std::string() : CurrentPort + ": ";
}

// Every message box becomes a stderr line with the port in front; a listener hears of it too
// (the port's JSON stream).
class PortMessageService : public MessageService {
public:
    using Listener = std::function<void(const std::string& port, const MessageBoxRequest&)>;
    explicit PortMessageService(TextSink& err) : Err(err) {}
    void Show(const MessageBoxRequest& request) override
    {
        Err.Text(Prefix() + ToTerminalText(request.Text) + "\n");
        if (Listen)
            Listen(CurrentPort, request);
    }
    Listener Listen;  // set before any run starts

private:
    TextSink& Err;
};

// A descriptor closed when its owner goes (after the writer that uses it).
struct OwnedFd {
    int Fd = -1;
    ~OwnedFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

// One receiver's run: the files come from the one set read for all; this run keeps only its
// own place in them. Its log goes into its own folder.
class BenchRun : public UpdateRun {
public:
    BenchRun(const UpdateRun& source, const std::string& logFolder)
        : UpdateRun(source.Folder()), Source(source), LogFolder(logFolder)
    {
        Files.FirmFileNames = source.Files.FirmFileNames;
        Files.FirmFileSizes = source.Files.FirmFileSizes;
        Observers.Add(Counter);
    }
    const uint8_t* GetFileBuffer(int32_t type) override { return Source.Files.GetFileBuffer(type); }
    std::string UpdateLogPath() const override
    {
        return LogFolder + "/" + Texts::UpdateLogFileName;
    }

    // Counts the files the receiver took and stored: a send the program finished may still
    // have been lost on the way (a line gone while the device's queue drained).
    struct SentFiles : RunObserver {
        std::atomic<int> Count{0};
        void StatusText(const std::string& text) override
        {
            if (text == Texts::StatusSaved)
                ++Count;
        }
    } Counter;

private:
    const UpdateRun& Source;
    std::string LogFolder;
};

// The worker of one port: it names its port for the messages and closes the port itself, so
// that one run's closing pause never holds up the main thread the other runs report through.
class BenchWorker : public TFirmThread {
public:
    BenchWorker(bool suspended, BenchRun& run, std::string port,
                std::chrono::milliseconds waitSavedLimit)
        : TFirmThread(suspended, run, waitSavedLimit), Run(run), Port(std::move(port))
    {
    }

protected:
    void Execute() override
    {
        PortLabel label(Port);
        try {
            TFirmThread::Execute();
        } catch (...) {
            FirmClosePort(&Run.Port, Run.Files, {});
            throw;
        }
        FirmClosePort(&Run.Port, Run.Files, {});
    }

private:
    BenchRun& Run;
    std::string Port;
};

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct PortRun {
    BenchPort Port;
    OwnedFd TraceFd;  // goes after the writer below
    std::unique_ptr<ConsoleWriter> TraceWriter;
    std::unique_ptr<TraceOutput> Trace;  // --trace: FILE.<folder>
    std::unique_ptr<JsonOutput> Json;    // --json: events with "port"
    std::unique_ptr<BenchRun> Run;
    std::unique_ptr<PrefixedSink> Lines;  // piped output
    std::unique_ptr<ProgressView> View;   // piped output
    std::unique_ptr<QTimer> Waiting;
    std::chrono::steady_clock::time_point Deadline;
    std::chrono::steady_clock::time_point Began;
    BenchResult Result;
    bool Done = false;
    TFirmThread* Worker = nullptr;  // while its run lasts; it frees itself after its end
};

class Bench {
public:
    using Clock = std::function<double()>;
    Bench(const CliOptions& options, std::chrono::milliseconds waitSavedLimit, TextSink& out,
          TextSink& err, Clock sinceStart)
        : Options(options),
          WaitSavedLimit(waitSavedLimit),
          Out(out),
          Err(err),
          SinceStart(std::move(sinceStart))
    {
    }
    // A message box of a port's run, for its JSON stream.
    void Message(const std::string& port, const MessageBoxRequest& box);

    int Run(const std::vector<BenchPort>& ports);

private:
    void Complain(const std::string& text) { Err.Text("zendrak-cli: " + Prefix() + text + "\n"); }
    void StartWhenPresent(size_t index);
    void Launch(size_t index);
    void Ended(size_t index, BenchResult::Outcome outcome);
    void SetState(size_t index, const std::string& state);
    void ReportFatalError(const PortRun& run, const std::exception_ptr& fatal);

    int Early(int code);  // an end before any run, said in JSON too
    void Summary(const std::vector<BenchResult>& results, int exitCode);

    const CliOptions& Options;
    const std::chrono::milliseconds WaitSavedLimit;  // the engine's bound on a storing wait
    TextSink& Out;
    TextSink& Err;
    const Clock SinceStart;
    std::unique_ptr<UpdateRun> Source;
    std::unique_ptr<BenchBoard> Board;  // on a terminal
    std::vector<std::unique_ptr<PortRun>> Runs;
    size_t Open = 0;
    // The signals of a run, for all ports at once: a second Ctrl-C or SIGTERM cancels them all.
    std::unique_ptr<RunSignals> Signals;
    bool CancelRequested = false;
};

int Bench::Early(int code)
{
    if (Options.Json)
        Out.Text(UsageErrorEvent());
    return code;
}

void Bench::Message(const std::string& port, const MessageBoxRequest& box)
{
    for (const auto& run : Runs)
        if (run->Port.Name == port && run->Json)
            run->Json->Message(box);
}

void Bench::Summary(const std::vector<BenchResult>& results, int exitCode)
{
    if (!Options.Json) {
        Out.Text(BenchSummaryTable(results));
        return;
    }
    // The one event about all ports: the table of the plain output.
    QJsonArray ports;
    for (const BenchResult& r : results)
        ports.append(QJsonObject{
            {"port", QString::fromLocal8Bit(r.Port.c_str())},
            {"device", r.Device.empty() ? QJsonValue() : QString::fromLocal8Bit(r.Device.c_str())},
            {"outcome", r.End == BenchResult::Outcome::Ok      ? "ok"
                        : r.End == BenchResult::Outcome::Error ? "error"
                                                               : "not_opened"},
            {"duration_s", std::round(r.Seconds * 1000) / 1000},
            {"files_sent", r.FilesSent},
            {"files", r.Files}});
    const QJsonObject summary{{"event", "summary"},
                              {"t", std::round(SinceStart() * 1000) / 1000},
                              {"exit", exitCode},
                              {"ports", ports}};
    Out.Text(QJsonDocument(summary).toJson(QJsonDocument::Compact).toStdString() + "\n");
}

void Bench::SetState(size_t index, const std::string& state)
{
    if (Board)
        Board->SetState(index, state);
}

void Bench::ReportFatalError(const PortRun& run, const std::exception_ptr& fatal)
{
    const std::string text = FatalErrorText(fatal, run.Port.Name, run.Run->UpdateLogPath());
    if (!text.empty())
        Complain(text);
}

int Bench::Run(const std::vector<BenchPort>& ports)
{
    Source = std::make_unique<UpdateRun>(std::string());
    if (!Source->ReadFiles()) {
        if (!Source->Files.Problem.Empty())
            ShowFirmFileProblem(Source->Files.Problem);
        else
            Complain(
                "no firmware file (font.app, decoder.app, out.app) in this directory; nothing "
                "was sent and no log was written.");
        return Early(2);
    }
    const std::vector<RunFile> files = Source->FilesToSend();
    const bool terminal = isatty(STDOUT_FILENO) == 1;
    if (terminal && !Options.Quiet && !Options.Json) {
        std::vector<std::string> names;
        for (const BenchPort& port : ports)
            names.push_back(port.Name);
        Board = std::make_unique<BenchBoard>(Out, names);
    }
    for (const BenchPort& port : ports) {
        auto run = std::make_unique<PortRun>();
        run->Port = port;
        run->Result.Port = port.Name;
        run->Result.Files = static_cast<int>(files.size());
        run->Run = std::make_unique<BenchRun>(*Source, Source->Folder() + "/" + port.Folder);
        if (Options.Json) {
            run->Json = std::make_unique<JsonOutput>(Out, SinceStart);
            run->Json->NamePort(port.Name);
            run->Run->Observers.Add(*run->Json);
        } else if (Board) {
            run->Run->Observers.Add(Board->Port(Runs.size()));
        } else {
            run->Lines = std::make_unique<PrefixedSink>(Out, port.Name + ": ");
            run->View = std::make_unique<ProgressView>(*run->Lines, false, Options.Quiet, files);
            run->Run->Observers.Add(*run->View);
        }
        if (!Options.Trace.empty()) {
            // One trace a port, made before anything is sent: FILE.COM3, FILE.ttyUSB0.
            const std::string path = Options.Trace + "." + port.Folder;
            run->TraceFd.Fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (run->TraceFd.Fd < 0) {
                Complain("cannot create the trace file " + path + ": " + std::strerror(errno));
                return Early(2);
            }
            run->TraceWriter = std::make_unique<ConsoleWriter>(run->TraceFd.Fd);
            // Time-stamped from this run's start, which waiting for its device may put later.
            PortRun* self = run.get();
            run->Trace = std::make_unique<TraceOutput>(*run->TraceWriter,
                                                       [self] { return Seconds(self->Began); });
            run->Run->Observers.Add(*run->Trace);
        }
        Runs.push_back(std::move(run));
    }
    Open = Runs.size();
    try {
        Signals = std::make_unique<RunSignals>(
            [](const std::string& line) { MessageBox(line, Texts::BoxCaption, MsgIcon::Warning); },
            [this] {
                CancelRequested = true;
                for (const auto& run : Runs)
                    if (run->Worker)
                        run->Worker->RequestCancel();
            });
    } catch (const std::exception& error) {
        Complain(std::string("cannot take over the signals for the update: ") + error.what());
        return Early(2);
    }
    for (size_t i = 0; i < Runs.size(); ++i)
        StartWhenPresent(i);
    if (Open > 0)
        QCoreApplication::exec();
    // The workers free themselves after their done handlers; nothing they use may go before.
    TThread::WaitForAll();
    if (Board)
        Board->Finish();
    std::vector<BenchResult> results;
    for (const auto& run : Runs)
        results.push_back(run->Result);
    // A cancel ends as a shell reports a program that the signal ended.
    const int cancelledBy = Signals->CancelSignal();
    const int exitCode = cancelledBy != 0 ? 128 + cancelledBy : BenchExitCode(results);
    Summary(results, exitCode);
    Signals.reset();
    return exitCode;
}

void Bench::StartWhenPresent(size_t index)
{
    PortRun& run = *Runs[index];
    if (Options.WaitSeconds <= 0 || PortDevicePresent(run.Port.Name)) {
        Launch(index);
        return;
    }
    // Each port waits on its own: the others start as soon as their devices are there.
    SetState(index, "waiting for the device");
    run.Deadline = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<long long>(Options.WaitSeconds * 1000));
    run.Waiting = std::make_unique<QTimer>();
    QObject::connect(run.Waiting.get(), &QTimer::timeout, [this, index] {
        PortRun& r = *Runs[index];
        const bool present = PortDevicePresent(r.Port.Name);
        if (!present && std::chrono::steady_clock::now() < r.Deadline)
            return;
        r.Waiting->stop();
        if (!present) {
            PortLabel label(r.Port.Name);
            char limit[32];
            std::snprintf(limit, sizeof limit, "%g", Options.WaitSeconds);
            Complain(std::string("no device appeared within ") + limit + " s");
        }
        Launch(index);
    });
    run.Waiting->start(200);
}

void Bench::Launch(size_t index)
{
    PortRun& run = *Runs[index];
    PortLabel label(run.Port.Name);
    run.Began = std::chrono::steady_clock::now();
    if (CancelRequested) {  // cancelled while this port waited for its device: nothing sent
        Ended(index, BenchResult::Outcome::Error);
        return;
    }
    if (run.Port.Name[0] == '/') {
        run.Result.Device = run.Port.Name;
    } else if (const auto device = ResolveComPort(ComNumberOfText(run.Port.Name).value_or(0))) {
        run.Result.Device = *device;
    }
    if (run.Json)
        run.Json->Start(PlanOf(*Source, run.Port.Name));
    std::string portText = run.Port.Name;
    try {
        portText = ConfigurePort(run.Run->Port, run.Port.Name);
        run.Run->Succeeded = false;
        run.Run->Files.FirmFileIndex = 0;
        run.Run->Port.OpenCommPort();
    } catch (const ECommError& error) {
        ShowComError(error.Code, portText);
        Complain(DescribePortError(portText, error));
        Ended(index, BenchResult::Outcome::NotOpened);
        return;
    } catch (const Exception& error) {
        ShowException(error);
        Ended(index, BenchResult::Outcome::NotOpened);
        return;
    }
    const std::string folder = Source->Folder() + "/" + run.Port.Folder;
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        Complain("cannot make the log folder " + folder + ": " + std::strerror(errno));
        FirmClosePort(&run.Run->Port, run.Run->Files, {});
        Ended(index, BenchResult::Outcome::NotOpened);
        return;
    }

    BenchWorker* worker =
        TThread::Create<BenchWorker>(true, *run.Run, run.Port.Name, WaitSavedLimit);
    worker->OnTerminate = [this, index](TThread* sender) {
        Runs[index]->Worker = nullptr;
        PortLabel label(Runs[index]->Port.Name);
        ReportFatalError(*Runs[index], sender->FatalException());
        Ended(index,
              Runs[index]->Run->Succeeded ? BenchResult::Outcome::Ok : BenchResult::Outcome::Error);
    };
    try {
        run.Worker = worker;
        worker->Start();
    } catch (const std::exception& error) {
        run.Worker = nullptr;
        delete worker;  // never started, so it cannot free itself
        Complain(std::string("cannot start the update: ") + error.what());
        FirmClosePort(&run.Run->Port, run.Run->Files, {});
        Ended(index, BenchResult::Outcome::NotOpened);
    }
}

void Bench::Ended(size_t index, BenchResult::Outcome outcome)
{
    PortRun& run = *Runs[index];
    if (run.Done)
        return;
    run.Done = true;
    run.Result.End = outcome;
    run.Result.Seconds = Seconds(run.Began);
    run.Result.FilesSent = run.Run->Counter.Count;
    const bool ok = outcome == BenchResult::Outcome::Ok;
    if (outcome != BenchResult::Outcome::NotOpened) {
        if (run.View)
            run.View->ShowOutcome(ok ? Texts::UpdateOk : Texts::UpdateError);
        if (!ok) {
            PortLabel label(run.Port.Name);
            MessageBox(Texts::UpdateError, Texts::BoxCaption, MsgIcon::Warning);
        }
    }
    if (run.Json)
        run.Json->End(ok ? 0 : outcome == BenchResult::Outcome::Error ? 1 : 2);
    SetState(index, ok                                       ? Texts::UpdateOk
                    : outcome == BenchResult::Outcome::Error ? Texts::UpdateError
                                                             : "not opened");
    if (--Open == 0)
        QCoreApplication::quit();
}

}  // namespace

int RunBenchCommand(const CliOptions& options,
                    std::optional<std::chrono::milliseconds> waitSavedLimit)
{
    ConsoleWriter out(STDOUT_FILENO);
    ConsoleWriter err(STDERR_FILENO);
    PortMessageService messages(err);
    ScopedMessageService useMessages(messages);

    if (!options.Directory.empty() && chdir(options.Directory.c_str()) != 0) {
        if (options.Json)
            out.Text(UsageErrorEvent());
        err.Text("zendrak-cli: cannot change into " + options.Directory + ": " +
                 std::strerror(errno) + "\n");
        return 2;
    }
    // Named twice, or two names for one device: nothing is sent to any of them.
    const auto started = std::chrono::steady_clock::now();
    Bench bench(options, waitSavedLimit.value_or(TFirmThread::DefaultWaitSavedLimit), out, err,
                [started] { return Seconds(started); });
    messages.Listen = [&bench](const std::string& port, const MessageBoxRequest& box) {
        bench.Message(port, box);
    };
    const BenchPlan plan = PlanBenchPorts(options.Ports, CurrentDeviceOf);
    if (!plan.Error.empty()) {
        if (options.Json)
            out.Text(UsageErrorEvent());
        err.Text("zendrak-cli: " + plan.Error + "\n");
        return 2;
    }
    // One command per folder, as for one run: its runs share the firmware files of the folder.
    FolderLock folder;
    if (!TakeRunFolder(folder)) {
        if (options.Json)
            out.Text(UsageErrorEvent());
        return 2;
    }
    const int exitCode = bench.Run(plan.Ports);
    messages.Listen = nullptr;  // the bench goes before the service
    return exitCode;
}
