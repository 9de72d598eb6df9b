// SPDX-License-Identifier: MIT
// What zendrak-cli says of a run's end, for each way a run can end, as one table: the last
// stdout line, the stderr lines (the boxes, the cause, the warning), the JSON end event, the
// trace's last lines and the exit status. All of them come from the one RunResult, so they
// agree. Also: one port named once per line, and the JSON log events' paths as UTF-8.
#include "CliLines.h"
#include "ExitStatus.h"
#include "JsonOutput.h"
#include "PortOutput.h"
#include "PortSpec.h"
#include "SystemTexts.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// Keeps what an output hands on: texts in order, frames too.
struct Recorder : TextSink {
    void Text(std::string text) override { All += text; }
    void Frame(std::string text) override { All += text; }
    std::string All;
};

std::string LastLine(const std::string& text)
{
    if (text.empty())
        return {};
    const size_t end = text.back() == '\n' ? text.size() - 1 : text.size();
    const size_t start = text.rfind('\n', end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start + 1));
}

struct EndCase {
    const char* Name;
    RunResult::Outcome Outcome;
    RunCause Cause;
    std::string Warning;
    // A port problem: its code and errno, and whether it came while opening.
    uint8_t ProblemCode = 0;
    int ProblemErrno = 0;
    bool WhileOpening = false;
    bool EndedByError = false;
    int Signal = 0;  // the signal that cancelled the command

    std::string Stdout;                 // the last line; "" for none
    std::vector<std::string> Stderr;    // the lines, in order
    const char* JsonCause;              // the end event's cause key; nullptr: null
    std::vector<std::string> TraceEnd;  // the trace's last lines; empty: no trace opened
    int Exit;
};

void PrintTo(const EndCase& c, std::ostream* os)
{
    *os << c.Name;
}

const std::string LogMissing =
    "the update log could not be written to /fw/logUpdate.txt: Datei kann nicht erstellt werden";
const std::string TooLate =
    "the cancel came after the end: every file was stored and the receiver told to start";

std::vector<EndCase> EndCases()
{
    using O = RunResult::Outcome;
    const std::string refused = "zendrak-cli: " + CauseAdvice(RunCause::Refused);
    return {
        {"Ok",
         O::Ok,
         RunCause::None,
         "",
         0,
         0,
         false,
         false,
         0,
         "Update OK",
         {},
         nullptr,
         {"END Update OK"},
         0},
        // The log could not be written after every file was stored: OK everywhere, warned
        // everywhere.
        {"OkWithoutItsLog",
         O::Ok,
         RunCause::None,
         LogMissing,
         0,
         0,
         false,
         false,
         0,
         "Update OK",
         {"zendrak-cli: " + LogMissing},
         nullptr,
         {"WARNING " + LogMissing, "END Update OK"},
         0},
        {"OkCancelTooLate",
         O::Ok,
         RunCause::None,
         TooLate,
         0,
         0,
         false,
         false,
         SIGINT,
         "Update OK",
         {"zendrak-cli: " + TooLate},
         nullptr,
         {"WARNING " + TooLate, "END Update OK"},
         0},
        {"Refused",
         O::Error,
         RunCause::Refused,
         "",
         0,
         0,
         false,
         false,
         0,
         "Update Error",
         {"Update Error", refused},
         "refused",
         {"END Update Error"},
         1},
        {"NoConnection",
         O::Error,
         RunCause::NoConnection,
         "",
         0,
         0,
         false,
         false,
         0,
         "Update Error",
         {"Update Error", "zendrak-cli: " + CauseAdvice(RunCause::NoConnection)},
         "no_connection",
         {"END Update Error"},
         1},
        {"NotStored",
         O::Error,
         RunCause::NotStored,
         "",
         0,
         0,
         false,
         false,
         0,
         "Update Error",
         {"Update Error", "zendrak-cli: " + CauseAdvice(RunCause::NotStored)},
         "not_stored",
         {"END Update Error"},
         1},
        // The device went during the file: one "COM Error", what happened, the outcome, why.
        {"LineGone",
         O::Error,
         RunCause::LineLost,
         "",
         10,
         EIO,
         false,
         true,
         0,
         "Update Error",
         {"COM Error",
          "zendrak-cli: the run ended early: /dev/ttyRX: Input/output error. The device has gone "
          "away: the USB adapter was unplugged or the line was closed. Plug it in again and "
          "repeat the update.",
          "Update Error", "zendrak-cli: " + CauseAdvice(RunCause::LineLost)},
         "line_lost",
         {"END Update Error"},
         1},
        // Cancelled: the outcome line once, and why.
        {"Cancelled",
         O::Cancelled,
         RunCause::Cancelled,
         "",
         0,
         0,
         false,
         false,
         SIGTERM,
         "Update Error",
         {"zendrak-cli: " + CauseAdvice(RunCause::Cancelled)},
         "cancelled",
         {"END Update Error"},
         143},
        {"HeldPort",
         O::NotOpened,
         RunCause::NotOpened,
         "",
         8,
         EBUSY,
         true,
         false,
         0,
         "",
         {"COM Error", "Error open, COM /dev/ttyRX",
          "zendrak-cli: /dev/ttyRX: Device or resource busy. Another program holds the port: a "
          "terminal program left open, ModemManager probing the device, or brltty taking the "
          "USB adapter. Close or remove it and try again."},
         "not_opened",
         {},
         2},
        // Not a serial device: the plain dialog's line says why.
        {"NoSerialDevice",
         O::NotOpened,
         RunCause::NotOpened,
         "",
         14,
         ENOTTY,
         true,
         false,
         0,
         "",
         {"COM Error", "Comm Error: Inappropriate ioctl for device", "Error COM/dev/ttyRX",
          "zendrak-cli: /dev/ttyRX: Inappropriate ioctl for device. The port names something "
          "that is not a serial device. Name the receiver's serial device (such as "
          "/dev/ttyUSB0), or correct the port map."},
         "not_opened",
         {},
         2},
    };
}

class OutcomeChannels : public testing::TestWithParam<EndCase> {};

TEST_P(OutcomeChannels, AllSayTheSameEnd)
{
    const EndCase& c = GetParam();
    char folder[] = "/tmp/zendrak-channels-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const PortSpec port = *PortSpec::Parse("/dev/ttyRX");
    RunResult result;
    result.Port = port.Text();
    result.End = c.Outcome;
    result.Cause = c.Cause;
    result.CauseText = CauseAdvice(c.Cause);
    result.Warning = c.Warning;
    result.EndedByError = c.EndedByError;
    if (c.ProblemCode != 0) {
        errno = c.ProblemErrno;
        result.Problem = PortProblemOf(port, ECommError(c.ProblemCode), c.WhileOpening);
    }
    if (result.Problem && c.WhileOpening)
        result.CauseText = result.Problem->Description;

    const int exit = ExitStatusOf({result}, c.Signal);
    // Plays the session's end to one port's output: plain lines and a trace, or JSON.
    const auto play = [&](Recorder& out, Recorder& err, JsonOutput* json, bool trace) {
        PortOutput::Outputs o;
        o.Out = &out;
        o.Err = &err;
        o.Json = json;
        if (trace)
            o.Trace = TraceRequest{"trace.txt", folder, {}};
        PortOutput output(o, {});
        RunPlan plan;
        plan.Port = port.Text();
        output.RunBegins(plan, {});
        if (result.Problem && c.WhileOpening) {
            output.PortProblemFound(*result.Problem);
        } else {
            EXPECT_EQ(output.OpenTrace(), "");
            if (result.Problem)
                output.PortProblemFound(*result.Problem);
        }
        output.RunFinished(result);
        if (json)
            json->End(exit, &result);  // as the command does for one port, after the runs
    };
    Recorder out, err, events, jsonErr;
    play(out, err, nullptr, true);
    JsonOutput json(events, [] { return 0.0; });
    play(events, jsonErr, &json, false);
    EXPECT_EQ(jsonErr.All, err.All);  // stderr says the same with --json

    EXPECT_EQ(exit, c.Exit);
    EXPECT_EQ(LastLine(out.All), c.Stdout) << out.All;

    std::vector<std::string> lines;
    std::istringstream stream(err.All);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    EXPECT_EQ(lines, c.Stderr);

    const QJsonObject end =
        QJsonDocument::fromJson(QByteArray::fromStdString(LastLine(events.All))).object();
    EXPECT_EQ(end.value("event").toString(), "end");
    EXPECT_EQ(end.value("outcome").toString(), result.Ok() ? "ok" : "error");
    EXPECT_EQ(end.value("exit").toInt(), c.Exit);
    if (c.JsonCause) {
        EXPECT_EQ(end.value("cause").toObject().value("key").toString(), c.JsonCause);
        EXPECT_EQ(end.value("cause").toObject().value("text").toString().toStdString(),
                  result.CauseText);
    } else {
        EXPECT_TRUE(end.value("cause").isNull());
    }
    EXPECT_EQ(end.value("warning").toString().toStdString(), c.Warning);

    const std::string trace = folder + std::string("/trace.txt");
    std::vector<std::string> traceEnd;
    std::ifstream traceFile(trace);
    for (std::string line; std::getline(traceFile, line);)
        traceEnd.push_back(line.substr(line.find(' ') + 1));  // without the time stamp
    EXPECT_EQ(traceEnd, c.TraceEnd);
    EXPECT_EQ(std::filesystem::exists(trace), !c.TraceEnd.empty());
    std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Ends, OutcomeChannels, testing::ValuesIn(EndCases()),
                         [](const testing::TestParamInfo<EndCase>& info) {
                             return std::string(info.param.Name);
                         });

TEST(CliLines, APortIsNamedOncePerLine)
{
    const struct {
        std::string Text;
        std::string Port;  // "" with one port
        std::string Line;
    } cases[] = {
        {"no firmware file", "", "zendrak-cli: no firmware file\n"},
        {"no device appeared within 5 s", "COM3",
         "zendrak-cli: COM3: no device appeared within 5 s\n"},
        {"/dev/pts/95: Input/output error.", "/dev/pts/95",
         "zendrak-cli: /dev/pts/95: Input/output error.\n"},
        {"the run ended early: COM3 (/dev/x): gone", "COM3",
         "zendrak-cli: the run ended early: COM3 (/dev/x): gone\n"},
        {"COM3 is not in the port map", "COM3", "zendrak-cli: COM3 is not in the port map\n"},
        // Another port's name that starts with this one's is not this one's.
        {"COM12 (/dev/x): busy", "COM1", "zendrak-cli: COM1: COM12 (/dev/x): busy\n"},
        {"/dev/pts/95: gone", "/dev/pts/9", "zendrak-cli: /dev/pts/9: /dev/pts/95: gone\n"},
        // Nor is the port's log folder.
        {"/w/COM7 is a symbolic link", "COM7", "zendrak-cli: COM7: /w/COM7 is a symbolic link\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComplaintLine(c.Text, c.Port), c.Line);
    EXPECT_EQ(BoxLine(Texts::ComErrorBoxText, "COM3"), "COM3: COM Error\n");
    EXPECT_EQ(BoxLine(Texts::UpdateError), "Update Error\n");
}

// Without a run (a check, an end before any run) the end says what the exit status says.
TEST(JsonOutput, AnEndWithoutARunFollowsTheExitStatus)
{
    for (const int exit : {ExitStatus::Ok, ExitStatus::Usage}) {
        Recorder events;
        JsonOutput(events, [] { return 0.0; }).End(exit);
        const QJsonObject end =
            QJsonDocument::fromJson(QByteArray::fromStdString(events.All)).object();
        EXPECT_EQ(end.value("outcome").toString(), exit == ExitStatus::Ok ? "ok" : "error");
        EXPECT_EQ(end.value("exit").toInt(), exit);
        EXPECT_TRUE(end.value("log").isNull());
    }
}

TEST(JsonOutput, PathsInLogEntriesAndFilesAreUtf8)
{
    Recorder events;
    JsonOutput json(events, [] { return 0.0; });
    const std::string path =
        "/fw/Gr\xC3\xBC\xC3\x9F"
        "e/font.app";  // the system's bytes
    json.LogEntry(Texts::LogLoadingFile + path);
    json.LogEntry(Texts::StatusSendingFile4);  // the system's text, Windows-1252
    // A file sent up to a 0x02 in its tail says so.
    json.FileBegins({path, 4096, std::string(64, 'a'), 4090});
    std::vector<QJsonObject> parsed;
    std::istringstream stream(events.All);
    for (std::string line; std::getline(stream, line);)
        parsed.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
    ASSERT_EQ(parsed.size(), 3u);
    EXPECT_EQ(parsed[0].value("entry").toString(),
              QString::fromUtf8("Loading file: /fw/Gr\xC3\xBC\xC3\x9F"
                                "e/font.app"));
    EXPECT_EQ(parsed[1].value("entry").toString(), QString::fromUtf8("Datei wird \xC3\xBC"
                                                                     "bertragen...."));
    EXPECT_EQ(parsed[2].value("name").toString(), QString::fromUtf8(path.c_str()));
    EXPECT_EQ(parsed[2].value("bytes_to_send").toInt(), 4090);
    EXPECT_TRUE(parsed[2].value("short_send").toString().contains("0x02"));
}

}  // namespace
