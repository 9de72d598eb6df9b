// SPDX-License-Identifier: MIT
// zendrak-cli for scripts and support, through the real binary against the simulator: the line
// trace, the JSON event stream and the pre-flight check. None of them changes the update log.
#include "Scenario.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <filesystem>

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t nl = text.find('\n', start);
        lines.push_back(text.substr(start, nl - start));
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

std::string Sha256(const std::string& bytes)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

// No run of `window` bytes of the file, as the trace would write them, is in the trace.
testing::AssertionResult HoldsNoFileContent(const std::string& trace, const std::string& file)
{
    for (size_t at = 0; at + 8 <= file.size(); at += 997) {
        std::string escaped;
        for (unsigned char c : file.substr(at, 8)) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            escaped +=
                c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, char(c)) : hex;
        }
        if (Contains(trace, escaped))
            return testing::AssertionFailure()
                   << "file bytes from offset " << at << " in the trace";
    }
    return testing::AssertionSuccess();
}

struct TraceCase {
    const char* Name;
    std::vector<std::string> SimArgs;
    int Exit;
    std::vector<std::string> InOrder;  // parts of the trace, in this order
};

void PrintTo(const TraceCase& c, std::ostream* os)
{
    *os << c.Name;
}

class CliTrace : public testing::TestWithParam<TraceCase> {};

TEST_P(CliTrace, HoldsTheCommandsTheMarkersAndTheFileBoundaries)
{
    const TraceCase& c = GetParam();
    const std::string file = SampleFirmware(3000, 70);
    Scenario s;
    s.AddFile("font.app", file);
    std::vector<std::string> simArgs = {"--expect", "3000"};
    simArgs.insert(simArgs.end(), c.SimArgs.begin(), c.SimArgs.end());
    ASSERT_TRUE(s.StartSimulator(simArgs));
    const std::string tracePath = s.Dir + "/trace.txt";
    EXPECT_EQ(s.RunCli({"-p", "COM1", "--trace", tracePath}), c.Exit) << s.Cli.Err;
    const std::string trace = ReadWholeFile(tracePath);
    size_t at = 0;
    for (const auto& part : c.InOrder) {
        const size_t found = trace.find(part, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << part << "\n" << trace;
        at = found + part.size();
    }
    for (const auto& line : Lines(trace)) {
        if (line.empty())
            continue;
        EXPECT_EQ(line[0], '+') << line;  // every event time-stamped
        EXPECT_NE(line.find(" "), std::string::npos) << line;
    }
    EXPECT_TRUE(HoldsNoFileContent(trace, file));
    EXPECT_LT(trace.size(), file.size()) << trace;
    EXPECT_TRUE(Contains(trace, "LOG \"Datei vollst\\xE4ndig \\xFCbertragen\"")) << trace;
    s.StopSimulator();
    EXPECT_TRUE(SameBytes(s.Saved(1), file));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CliTrace,
    testing::Values(TraceCase{"Stored",
                              {},
                              0,
                              {" TX \"r\\r\\n\"", " RX \"", "Q9X-SUC", " TX \"l\\r\\n\"",
                               " PAUSE 200 ms", " TX FILE font.app 3000 bytes begin",
                               " TX FILE font.app 3000 bytes end", "File OK!", "Write Sector",
                               "ptImage->UnzipedCrc", " TX \"s\\r\\n\"", " END Update OK\n"}},
                    TraceCase{"Refused",
                              {"--verdict", "wrong"},
                              1,
                              {" TX \"r\\r\\n\"", "Q9X-SUC", " TX FILE font.app 3000 bytes begin",
                               " TX FILE font.app 3000 bytes end", " RX \"", "wrong",
                               " TX \"s\\r\\n\"", " END Update Error\n"}}),
    [](const testing::TestParamInfo<TraceCase>& info) { return info.param.Name; });

TEST(CliTrace, AFileThatCannotBeCreatedIsAUsageError)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(300, 71));
    ASSERT_TRUE(s.StartSimulator({}));
    EXPECT_EQ(s.RunCli({"-p", "COM1", "--trace", s.Dir + "/no/such/folder/trace.txt"}), 2);
    EXPECT_TRUE(Contains(s.Cli.Err, "cannot create the trace file")) << s.Cli.Err;
    EXPECT_FALSE(s.LogExists());
    s.StopSimulator();
    EXPECT_EQ(s.Transcript(), "");
}

// A trace that would harm the run is refused before anything is opened or sent; relative paths
// are taken in the working folder (-C). "-" writes the trace to stderr.
TEST(CliTrace, NothingTheRunNeedsCanBeTheTrace)
{
    const std::string font = SampleFirmware(500, 76);
    Scenario s;
    s.AddFile("font.app", font);
    WriteWholeFile(s.Path(Texts::SettingsFileName), "\x01");
    WriteWholeFile(s.Path(Texts::UpdateLogFileName), "an earlier log\r\n");
    ASSERT_TRUE(s.StartSimulator({"--expect", "500"}));
    const std::string sha = Sha256(font);
    const struct {
        std::string Trace;
        const char* Said;
    } refused[] = {
        {s.SlavePath, "is the port's device"},
        {s.LinkPath, "leads to the port's device"},
        {"font.app", "is the firmware file font.app"},
        {"Zendrak.dat", "is the settings file Zendrak.dat"},
        {s.Path(Texts::UpdateLogFileName), "is the update log logUpdate.txt"},
        {"/dev/full", "is a character device"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.Trace);
        EXPECT_EQ(s.RunCli({"-p", "COM1", "--trace", c.Trace}), 2);
        EXPECT_TRUE(Contains(s.Cli.Err, "cannot create the trace file")) << s.Cli.Err;
        EXPECT_TRUE(Contains(s.Cli.Err, c.Said)) << s.Cli.Err;
        EXPECT_EQ(Sha256(ReadWholeFile(s.Path("font.app"))), sha);
        EXPECT_EQ(ReadWholeFile(s.Path(Texts::SettingsFileName)), "\x01");
        EXPECT_EQ(s.Log(), "an earlier log\r\n");
    }
    // On stderr: the run as always, its trace beside the messages.
    EXPECT_EQ(s.RunCli({"-p", "COM1", "--trace", "-"}), 0) << s.Cli.Err;
    EXPECT_TRUE(Contains(s.Cli.Err, " TX \"r\\r\\n\"\n")) << s.Cli.Err;
    EXPECT_TRUE(Contains(s.Cli.Err, " END Update OK\n")) << s.Cli.Err;
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
    s.StopSimulator();
    EXPECT_EQ(s.Transcript(), "r\nl\ns\n");  // nothing reached the line before
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
}

TEST(CliJson, EveryLineIsAnEventAndTheLastOneIsTheEnd)
{
    const std::string font = SampleFirmware(2000, 72);
    const std::string out = SampleFirmware(1500, 73);
    Scenario s;
    s.AddFile("font.app", font);
    s.AddFile("out.app", out);
    ASSERT_TRUE(s.StartSimulator({"--expect", "2000,1500", "--runs", "1"}));
    const std::string tracePath = s.Dir + "/trace.txt";
    const int exit = s.RunCli({"-p", "COM1", "--json", "--trace", tracePath});
    EXPECT_EQ(exit, 0) << s.Cli.Err;

    std::vector<QJsonObject> events;
    for (const auto& line : Lines(s.Cli.Out)) {
        if (line.empty())
            continue;
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        ASSERT_TRUE(doc.isObject()) << line;
        EXPECT_TRUE(doc.object().value("t").isDouble()) << line;
        events.push_back(doc.object());
    }
    ASSERT_GE(events.size(), 4u);
    const QJsonObject start = events.front();
    EXPECT_EQ(start.value("event").toString(), "start");
    EXPECT_EQ(start.value("schema").toInt(), 1);
    EXPECT_EQ(start.value("port").toString(), "COM1");
    const QJsonArray files = start.value("files").toArray();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].toObject().value("name").toString().toStdString(), s.Path("font.app"));
    EXPECT_EQ(files[0].toObject().value("sha256").toString().toStdString(), Sha256(font));
    EXPECT_EQ(files[1].toObject().value("sha256").toString().toStdString(), Sha256(out));
    EXPECT_EQ(files[1].toObject().value("size").toInt(), 1500);

    std::vector<std::string> sentFiles, logEntries;
    int fullProgress = 0;
    for (const QJsonObject& e : events) {
        const QString kind = e.value("event").toString();
        if (kind == "file")
            sentFiles.push_back(e.value("sha256").toString().toStdString());
        if (kind == "log")
            logEntries.push_back(e.value("entry").toString().toStdString());
        if (kind == "progress" && e.value("percent").toInt() == 100)
            ++fullProgress;
    }
    EXPECT_EQ(sentFiles, (std::vector<std::string>{Sha256(font), Sha256(out)}));
    EXPECT_EQ(fullProgress, 2);
    const QJsonObject end = events.back();
    EXPECT_EQ(end.value("event").toString(), "end");
    EXPECT_EQ(end.value("outcome").toString(), "ok");
    EXPECT_EQ(end.value("exit").toInt(), exit);
    EXPECT_EQ(end.value("log").toString().toStdString(), s.Path(Texts::UpdateLogFileName));

    // The log entries of the stream are the log's, as UTF-8; the log itself is as always.
    const ExpectedLog expected = ExpectedLog()
                                     .Start(s.Path("font.app"))
                                     .Add(Texts::LogSendRestart)
                                     .Add(Texts::LogFoundStartUpControl)
                                     .StoredFile()
                                     .NextFile(s.Path("out.app"))
                                     .StoredFile()
                                     .Succeeded();
    EXPECT_TRUE(SameBytes(s.Log(), expected.Bytes()));
    ASSERT_EQ(logEntries.size(), expected.Entries.size());
    EXPECT_EQ(logEntries[4],
              "Datei wird \xC3\xBC"
              "bertragen....");
    s.StopSimulator();
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
    EXPECT_TRUE(SameBytes(s.Saved(2), out));
}

TEST(CliJson, AUsageErrorEndsTheStream)
{
    ChildProcess cli;
    const std::string dir = MakeTempDir();
    ASSERT_TRUE(
        cli.Start(CliPath(), {"--json", "-p", "LPT1"}, {{"ZENDRAK_NO_PORT_DETECTION", "1"}}, dir));
    EXPECT_EQ(cli.Wait(60000), 2);
    const QJsonObject end = QJsonDocument::fromJson(QByteArray::fromStdString(cli.Out)).object();
    EXPECT_EQ(end.value("event").toString(), "end") << cli.Out;
    EXPECT_EQ(end.value("outcome").toString(), "error");
    EXPECT_EQ(end.value("exit").toInt(), 2);
    EXPECT_TRUE(end.value("log").isNull());
    RemoveTree(dir);
}

TEST(CliCheck, SendsNothingAndSaysWhatWouldBeSent)
{
    const std::string font = SampleFirmware(11520, 74);
    Scenario s;
    s.AddFile("font.app", font);
    s.AddFile("decoder.app", "");
    ASSERT_TRUE(s.StartSimulator({}));
    EXPECT_EQ(s.RunCli({"-p", "COM1", "--check"}), 0) << s.Cli.Err;
    EXPECT_TRUE(Contains(s.Cli.Out, s.Path("font.app") + "  11520 bytes  SHA-256 " + Sha256(font)))
        << s.Cli.Out;
    EXPECT_TRUE(Contains(s.Cli.Out, "Empty, not sent: " + s.Path("decoder.app"))) << s.Cli.Out;
    EXPECT_TRUE(Contains(s.Cli.Out, "Missing: " + s.Path("out.app"))) << s.Cli.Out;
    EXPECT_TRUE(Contains(s.Cli.Out, "Port: COM1  " + s.LinkPath)) << s.Cli.Out;
    EXPECT_TRUE(Contains(s.Cli.Out, "Estimated duration: 0:09 (8.9 s)")) << s.Cli.Out;
    EXPECT_TRUE(Contains(s.Cli.Out, "An update could start.")) << s.Cli.Out;

    // The same as JSON: one check event, then the end.
    EXPECT_EQ(s.RunCli({"-p", "COM1", "--check", "--json"}), 0) << s.Cli.Err;
    const std::vector<std::string> lines = Lines(s.Cli.Out);
    ASSERT_GE(lines.size(), 2u);
    const QJsonObject check = QJsonDocument::fromJson(QByteArray::fromStdString(lines[0])).object();
    EXPECT_EQ(check.value("event").toString(), "check");
    EXPECT_TRUE(check.value("port_ok").toBool());
    EXPECT_TRUE(check.value("line_checked").toBool());
    EXPECT_EQ(check.value("files").toArray().size(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(lines[1])).object().value("event"),
              "end");

    EXPECT_FALSE(s.LogExists());
    EXPECT_FALSE(std::filesystem::exists(s.Path(Texts::SettingsFileName)));
    s.StopSimulator();
    EXPECT_EQ(s.Transcript(), "");
}

TEST(CliCheck, AHeldPortMeansNoUpdateCanStart)
{
    Scenario s;
    s.AddFile("font.app", SampleFirmware(300, 75));
    ASSERT_TRUE(s.StartSimulator({}));
    const int held = open(s.SlavePath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(ioctl(held, TIOCEXCL), 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(s.RunCli({"-p", "COM1", "--check"}), 2);
    close(held);
    EXPECT_TRUE(Contains(s.Cli.Out, "No update can start.")) << s.Cli.Out;
    const std::vector<std::string> err = Lines(s.Cli.Err);
    ASSERT_GE(err.size(), 3u) << s.Cli.Err;
    EXPECT_EQ(err[0], Texts::ComErrorBoxText);
    EXPECT_EQ(err[1], std::string(Texts::ErrorOpenCom) + "COM1");
    EXPECT_TRUE(Contains(err[2], "Another program")) << err[2];
    s.StopSimulator();
    EXPECT_EQ(s.Transcript(), "");
}

}  // namespace
