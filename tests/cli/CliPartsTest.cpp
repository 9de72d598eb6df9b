// SPDX-License-Identifier: MIT
// The CLI's own pieces: its option parsing and what its progress view prints.
#include "CliOptions.h"
#include "ConsoleWriter.h"
#include "ProgressView.h"
#include "SystemTexts.h"
#include "TextSink.h"
#include "TraceOutput.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>

namespace {

TEST(CliOptions, ParsesEachForm)
{
    CliParse p = ParseCliOptions({"-p", "/dev/ttyUSB0", "-C", "fw", "-q"});
    EXPECT_EQ(p.Error, "");
    EXPECT_EQ(p.Options.Command, CliOptions::Action::Update);
    EXPECT_EQ(p.Options.Ports, std::vector<std::string>{"/dev/ttyUSB0"});
    EXPECT_EQ(p.Options.Directory, "fw");
    EXPECT_TRUE(p.Options.Quiet);
    EXPECT_EQ(ParseCliOptions({"--list-ports"}).Options.Command, CliOptions::Action::ListPorts);
    EXPECT_EQ(ParseCliOptions({}).Options.Command, CliOptions::Action::Update);
    EXPECT_TRUE(ParseCliOptions({}).Options.Ports.empty());
    // The long forms, with the value as the next argument or after "=".
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--port", "COM3", "--directory", "fw", "--quiet"},
          {"--port=COM3", "--directory=fw", "-q"},
          {"-C", "fw", "-p", "com3", "--quiet"}}) {
        p = ParseCliOptions(args);
        EXPECT_EQ(p.Error, "") << args[0];
        ASSERT_EQ(p.Options.Ports.size(), 1u) << args[0];
        EXPECT_EQ(p.Options.Ports[0].substr(3), "3");
        EXPECT_EQ(p.Options.Directory, "fw");
        EXPECT_TRUE(p.Options.Quiet);
    }
    // Several ports, repeated or comma-separated, in either form.
    p = ParseCliOptions(
        {"-p", "COM3,/dev/ttyUSB0", "--port=com7", "--port", "COM8", "--wait", "2.5"});
    EXPECT_EQ(p.Error, "");
    EXPECT_EQ(p.Options.Ports, (std::vector<std::string>{"COM3", "/dev/ttyUSB0", "com7", "COM8"}));
    EXPECT_EQ(p.Options.WaitSeconds, 2.5);
    EXPECT_EQ(ParseCliOptions({"--wait=0.5"}).Options.WaitSeconds, 0.5);
    // The production line: the record is on with any of its options, and only then.
    p = ParseCliOptions({"--loop", "--loop-quiet=2.5", "--retries", "3"});
    EXPECT_EQ(p.Error, "");
    EXPECT_TRUE(p.Options.Loop && p.Options.History);
    EXPECT_EQ(p.Options.LoopQuiet, 2.5);
    EXPECT_EQ(p.Options.Retries, 3);
    EXPECT_EQ(ParseCliOptions({"--loop"}).Options.LoopQuiet, 10);
    EXPECT_TRUE(ParseCliOptions({"--retries=0"}).Options.History);
    EXPECT_TRUE(ParseCliOptions({"--history"}).Options.History);
    EXPECT_FALSE(ParseCliOptions({"-p", "COM1"}).Options.History);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--forget-port", "COM12"}, {"--forget-port=com12"}}) {
        p = ParseCliOptions(args);
        EXPECT_EQ(p.Error, "") << args[0];
        EXPECT_EQ(p.Options.Command, CliOptions::Action::ForgetPort);
        EXPECT_EQ(p.Options.ForgetNumber, 12);
    }
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"-C"},
                                                {"-p", ""},
                                                {"--port"},
                                                {"--port="},
                                                {"--directory="},
                                                {"--list-ports", "--help"},
                                                {"--list-ports", "-p", "COM1"},
                                                {"file.app"},
                                                {"--ports=COM1"},
                                                {"--quiet=yes"},
                                                {"--port", "COM256"},
                                                {"-p", "COM1,"},
                                                {"-p", "COM1,,COM2"},
                                                {"-p", "COM1,LPT1"},
                                                {"--port=COM1,COM01"},
                                                {"--wait", "-1"},
                                                {"--wait", "1e3"},
                                                {"--wait", "x"},
                                                {"--wait", "90000"},
                                                {"--wait="},
                                                {"--forget-port", "COM100"},
                                                {"--forget-port", "/dev/ttyS0"},
                                                {"--forget-port=COM0"},
                                                {"--forget-port", "COM1", "-q"},
                                                {"--forget-port", "COM1", "--list-ports"},
                                                {"--loop-quiet", "5"},
                                                {"--loop", "--loop-quiet", "0.5"},
                                                {"--retries", "100"},
                                                {"--retries", "-1"},
                                                {"--retries", "2x"},
                                                {"--check", "--retries", "0"},
                                                {"--check", "--history"},
                                                {"--loop", "--list-ports"}}) {
        const std::string error = ParseCliOptions(bad).Error;
        EXPECT_NE(error, "") << bad[0] << " " << bad.back();
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;  // one line
    }
}

TEST(CliOptions, ScriptOptions)
{
    const CliParse p = ParseCliOptions({"--json", "--trace", "t.txt", "-p", "COM2"});
    EXPECT_EQ(p.Error, "");
    EXPECT_TRUE(p.Options.Json);
    EXPECT_EQ(p.Options.Trace, "t.txt");
    EXPECT_FALSE(p.Options.Check);
    EXPECT_TRUE(ParseCliOptions({"--check"}).Options.Check);
    const struct {
        std::vector<std::string> Args;
        bool Json;   // asks for JSON, whatever else is wrong
        bool Error;  // a usage error
    } cases[] = {
        {{"--json", "-x"}, true, true},
        {{"-x", "--json"}, true, true},
        {{"--trace"}, false, true},
        {{"--trace", "--json"}, false, false},  // a trace file of that name
        {{"-C", "--json"}, false, false},
        {{"--check", "--trace", "t"}, false, true},
        {{"--check", "--json"}, true, false},
        {{"--list-ports", "--json"}, true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WantsJson(c.Args), c.Json) << c.Args[0] << " " << c.Args.back();
        EXPECT_EQ(!ParseCliOptions(c.Args).Error.empty(), c.Error)
            << c.Args[0] << " " << c.Args.back();
    }
}

TEST(TraceOutput, BytesAreQuotedAndEscaped)
{
    const std::pair<std::string, std::string> cases[] = {
        {"r\r\n", "\"r\\r\\n\""},
        {"\tQ9X-SUC \"x\" \\", "\"\\tQ9X-SUC \\\"x\\\" \\\\\""},
        {"f\xFCr", "\"f\\xFCr\""},
        {std::string("\0\x01\x7F\x80", 4), "\"\\x00\\x01\\x7F\\x80\""},
        {"", "\"\""},
    };
    for (const auto& [bytes, quoted] : cases)
        EXPECT_EQ(QuotedBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                  quoted);
}

TEST(ConsoleWriter, KeepsTextsInOrderAndDropsOutputToAReaderThatHasGone)
{
    std::signal(SIGPIPE, SIG_IGN);  // as zendrak-cli does for a run
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        ConsoleWriter writer(fds[1]);
        writer.Text("one\n");
        writer.Frame("~frame\n");
        writer.Text("two\n");
        EXPECT_TRUE(writer.Drain(std::chrono::seconds(30)));
        EXPECT_FALSE(writer.Gone());
        char buffer[64] = {};
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(std::max<ssize_t>(n, 0))),
                  "one\n~frame\ntwo\n");
        close(fds[0]);  // the reader goes: what follows is dropped, without an error
        writer.Text("three\n");
        EXPECT_TRUE(writer.Drain(std::chrono::seconds(30)));
        EXPECT_TRUE(writer.Gone());
        writer.Text("four\n");
    }
    close(fds[1]);
}

// A trace on a full disk: the writer says so once and drops what follows, the writes of the
// run never wait for it.
TEST(ConsoleWriter, TellsOnceWhenWritingFails)
{
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    std::vector<int> told;
    {
        ConsoleWriter writer(full);
        writer.OnFailure([&told](int error) { told.push_back(error); });
        for (int i = 0; i < 5; ++i)
            writer.Text("+1.000 TX \"r\\r\\n\"\n");
        EXPECT_TRUE(writer.Drain(std::chrono::seconds(30)));
        EXPECT_TRUE(writer.Gone());
    }
    EXPECT_EQ(told, std::vector<int>{ENOSPC});
    ::close(full);
}

// A reader that never reads (a stopped terminal, a pipe nobody empties) costs the end of the
// program one stall limit, whether it asks once or again (the destructor drains too), and
// however many of its outputs are stuck when they are drained together.
TEST(ConsoleWriter, AStuckReaderCostsOneStallLimit)
{
    std::signal(SIGPIPE, SIG_IGN);
    using namespace std::chrono;
    constexpr milliseconds Limit(500);
    for (const int stuck : {1, 2}) {
        SCOPED_TRACE(std::to_string(stuck) + " stuck");
        int first[2], second[2];
        ASSERT_EQ(pipe(first), 0);
        ASSERT_EQ(pipe(second), 0);
        const auto start = steady_clock::now();
        {
            ConsoleWriter out(first[1]);
            ConsoleWriter err(second[1]);
            out.Text(std::string(300000, 'o'));  // far more than a pipe holds
            if (stuck == 2)
                err.Text(std::string(300000, 'e'));
            if (stuck == 1) {
                EXPECT_FALSE(out.Drain(Limit));
                EXPECT_FALSE(out.Drain(Limit));  // gives up at once now
            } else {
                EXPECT_FALSE(ConsoleWriter::DrainAll({&out, &err}, Limit));
            }
        }
        const auto took = steady_clock::now() - start;
        EXPECT_GE(took, Limit);
        EXPECT_LT(took, seconds(5));  // not one limit per call, nor the default limit again
        for (const int fd : {first[0], first[1], second[0], second[1]})
            close(fd);  // lets the writers' threads, still blocked in a write, end
    }
}

// Keeps what a view hands on: texts as they are, frames marked with a leading '~'.
struct Recorder : TextSink {
    void Text(std::string text) override { All += text; }
    void Frame(std::string text) override { All += "~" + text; }
    std::string All;
};

const RunFile Font{"/fw/font.app", 4096, std::string(64, 'a')};
const RunFile Decoder{"/fw/decoder.app", 11520, std::string(64, 'b')};

// One file of 4096 bytes sent at 8,192 bytes a second, sampled every 62.5 ms (exact in binary);
// the clock is the test's own.
std::string OneFile(bool terminal, bool quiet)
{
    Recorder out;
    double now = 0;
    ProgressView view(out, terminal, quiet, {Font, Decoder}, [&] { return now; });
    view.StatusText(Texts::StatusSendingFile4);
    view.FileBegins(Font);
    for (int64_t bytes = 512; bytes < 4096; bytes += 512) {
        now += 0.0625;
        view.FileProgress(Font, bytes, 0);
    }
    now += 0.0625;
    view.FileEnds(Font, 4096, true);
    view.StatusText(Texts::StatusPleaseWait);
    view.StatusText(Texts::StatusPleaseWait);  // a repeat is not shown again
    view.ShowOutcome(Texts::UpdateOk);
    return out.All;
}

TEST(ProgressView, PlainLinesInStepsOfTen)
{
    const std::string out = OneFile(false, false);
    // Samples every 12.5 %: a line for each ten reached, the tens skipped stay unsaid.
    // The umlaut is shown in the terminal's encoding (UTF-8 here) or as the system's byte.
    const std::string body =
        "Sending /fw/font.app\n"
        "10%\n20%\n30%\n50%\n60%\n70%\n80%\n100%\n"
        "font.app: 4096 bytes in 0.50 s, 8.2 kB/s\n"
        "Bitte warten...\n"
        "Update OK\n";
    const std::string utf8 =
        "Datei wird \xC3\xBC"
        "bertragen....\n" +
        body;
    const std::string latin =
        "Datei wird \xFC"
        "bertragen....\n" +
        body;
    EXPECT_TRUE(out == utf8 || out == latin) << out;
}

TEST(ProgressView, OneRedrawnLineOnATerminal)
{
    const std::string out = OneFile(true, false);
    // Redrawn at most ten times a second: frames at 1, 3, 5 and 7 sixteenths of a second, then
    // the last one, which is never dropped.
    size_t frames = 0;
    for (size_t at = out.find("~\r"); at != std::string::npos; at = out.find("~\r", at + 1))
        ++frames;
    EXPECT_EQ(frames, 4u) << out;
    // 1536 bytes at 0.1875 s: the rate seen so far, the time left for the file and for the run
    // (0.31 s, the next file at that rate 1.41 s, then the pauses still to come 9.87 s).
    EXPECT_NE(out.find("~\rfont.app  37%  1536/4096 bytes  8.2 kB/s  0:00 left, run 0:12 left"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\rfont.app  100%  4096/4096 bytes"), std::string::npos) << out;
    EXPECT_NE(out.find("\nfont.app: 4096 bytes in 0.50 s, 8.2 kB/s\n"), std::string::npos);
    EXPECT_EQ(out.find("37%\n"), std::string::npos);  // redrawn, not a line per step
    EXPECT_EQ(out.substr(out.size() - 11), "\nUpdate OK\n");
}

TEST(ProgressView, QuietShowsOnlyTheOutcome)
{
    EXPECT_EQ(OneFile(false, true), "Update OK\n");
    EXPECT_EQ(OneFile(true, true), "Update OK\n");
}

TEST(ProgressView, ASendThatStopsShortSaysHowFarItGot)
{
    Recorder out;
    double now = 0;
    ProgressView view(out, false, false, {Font}, [&] { return now; });
    view.FileBegins(Font);
    now = 0.25;
    view.FileEnds(Font, 1000, false);
    EXPECT_EQ(out.All,
              "Sending /fw/font.app\nfont.app: stopped after 1000 of 4096 bytes (0.25 s)\n");
}

}  // namespace

namespace {

// The line after each file: its bytes against its size, the time and rate the line allows.
TEST(ProgressView, TheLineAfterAFile)
{
    const RunFile file{"/fw/font.app", 4096, std::string(64, 'a')};
    RunFile shortFile = file;
    shortFile.ToSend = 4090;
    const struct {
        RunFile File;
        int64_t Written;
        bool Complete;
        double Seconds;
        const char* Line;
    } cases[] = {
        {file, 4096, true, 0.5, "font.app: 4096 bytes in 0.50 s, 8.2 kB/s"},
        // A buffer on the way took it at once: on the line it takes its time at line rate.
        {{"/fw/font.app", 3000, ""}, 3000, true, 0.0, "font.app: 3000 bytes in 0.26 s, 11.5 kB/s"},
        {shortFile, 4090, true, 0.5,
         "font.app: 4090 of 4096 bytes in 0.50 s, 8.2 kB/s (the send ends after a 0x02 in its "
         "last 10 bytes)"},
        {file, 1000, false, 0.25, "font.app: stopped after 1000 of 4096 bytes (0.25 s)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileSummary(c.File, c.Written, c.Complete, c.Seconds), c.Line);
}

}  // namespace
