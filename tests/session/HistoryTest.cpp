// SPDX-License-Identifier: MIT
// The record of updates: how values are written, how lines are appended, and that nothing —
// two writers, a writer killed at any moment, a cut last line, a file that is not a file —
// can leave a partial line or lose an earlier one.
#include "SimDriver.h"
#include "UpdateHistory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <functional>
#include <map>
#include <random>

namespace {

using namespace std::chrono_literals;

// A CSV line read back as RFC 4180 says (the line without its CR LF).
std::vector<std::string> CsvFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// A field's value with its escapes undone.
std::string Unescaped(const std::string& field)
{
    std::string raw;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size() && field[i + 1] == '\\') {
            raw += '\\';
            ++i;
        } else if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x') {
            raw += static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            raw += field[i];
        }
    }
    return raw;
}

// The file's lines without their CR LF; false when one does not end in CR LF.
bool WholeLines(const std::string& bytes, std::vector<std::string>& lines)
{
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            return false;
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return true;
}

struct FieldCase {
    const char* Name;
    std::string Raw;
    std::string Field;
};

void PrintTo(const FieldCase& c, std::ostream* os)
{
    *os << c.Name;
}

class HistoryField : public testing::TestWithParam<FieldCase> {};

TEST_P(HistoryField, IsWrittenAsOneLineAndReadsBackExactly)
{
    const FieldCase& c = GetParam();
    const std::string field = CsvField(c.Raw);
    EXPECT_EQ(field, c.Field);
    EXPECT_EQ(field.find_first_of("\r\n"), std::string::npos);
    const std::vector<std::string> read = CsvFields(field);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(Unescaped(read[0]), c.Raw);
}

INSTANTIATE_TEST_SUITE_P(
    OddCharacters, HistoryField,
    testing::Values(FieldCase{"Plain", "COM3", "COM3"}, FieldCase{"Empty", "", ""},
                    FieldCase{"Comma", "/dev/serial/by-id/usb-A,B",
                              "\"/dev/serial/by-id/usb-A,B\""},
                    FieldCase{"Quotes", "/w/say \"hi\"", "\"/w/say \"\"hi\"\"\""},
                    FieldCase{"Newline", "/w/a\nb", "/w/a\\x0Ab"},
                    FieldCase{"CarriageReturnAndTab", "a\r\t", "a\\x0D\\x09"},
                    FieldCase{"Utf8KeptAsItIs",
                              "/w/Pr\xC3\xBC"
                              "fstand/\xE6\x97\xA5/\xF0\x9F\x93\xA1",
                              "/w/Pr\xC3\xBC"
                              "fstand/\xE6\x97\xA5/\xF0\x9F\x93\xA1"},
                    FieldCase{"InvalidBytes",
                              "/w/\xFF\xFE"
                              "x",
                              "/w/\\xFF\\xFEx"},
                    FieldCase{"Latin1Umlaut",
                              "/w/Pr\xFC"
                              "f",
                              "/w/Pr\\xFCf"},
                    FieldCase{"Backslash", "C:\\x41", "C:\\\\x41"},
                    FieldCase{"Overlong", "\xC0\xAF", "\\xC0\\xAF"},
                    FieldCase{"Surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
                    FieldCase{"BeyondUnicode", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
                    FieldCase{"CutSequence", "a\xE2\x82", "a\\xE2\\x82"},
                    FieldCase{"Delete", "\x7F", "\\x7F"},
                    FieldCase{"Zero", std::string("a\0b", 3), "a\\x00b"},
                    FieldCase{"AllTogether", "a,\"\n\\\xFF", "\"a,\"\"\\x0A\\\\\\xFF\""}),
    [](const testing::TestParamInfo<FieldCase>& info) { return std::string(info.param.Name); });

HistoryRecord SampleRecord(const std::string& port = "COM3", int attempt = 1)
{
    HistoryRecord record;
    record.Start = WallClock::time_point(std::chrono::seconds(1796738601));  // 2026-12-08 14:03:21
    record.Port = port;
    record.Device = "/dev/ttyUSB0";
    record.Adapter = "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0";
    record.Folder = "/srv/line 1";
    record.Files = {{"/srv/line 1/font.app", 3072, std::string(64, 'a')},
                    {"/srv/line 1/out.app", 4096, std::string(64, 'c')}};
    record.Outcome = "error";
    record.Cause = "refused";
    record.Attempt = attempt;
    record.Duration = 12345ms;
    record.KeptLog = "logs/2026-12-08T14-03-21Z-COM3.txt";
    return record;
}

TEST(HistoryLine, HoldsEveryValueInItsColumn)
{
    std::vector<std::string> header;
    ASSERT_TRUE(WholeLines(HistoryHeaderLine(), header));
    ASSERT_EQ(header.size(), 1u);
    EXPECT_EQ(CsvFields(header[0]).size(), HistoryFieldCount);

    const std::string line = HistoryLine(SampleRecord());
    std::vector<std::string> lines;
    ASSERT_TRUE(WholeLines(line, lines));
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<std::string> expected = {
        "2026-12-08T14:03:21Z",
        "COM3",
        "/dev/ttyUSB0",
        "/dev/serial/by-id/usb-FTDI_FT232R_A1B2C3-if00-port0",
        "/srv/line 1",
        "3072",
        std::string(64, 'a'),
        "",  // no decoder.app
        "",
        "4096",
        std::string(64, 'c'),
        "error",
        "refused",
        "1",
        "12.345",
        "logs/2026-12-08T14-03-21Z-COM3.txt"};
    EXPECT_EQ(CsvFields(lines[0]), expected);
}

// A file in a fresh folder, as each case of the table finds it before the append.
struct AppendCase {
    const char* Name;
    std::function<void(const std::string& dir, const std::string& file)> Prepare;
    std::string Refusal = {};  // empty: Check and Append succeed; else part of both messages
    std::string Before = {};   // the file's bytes that must stay at its start
    std::string Between = {};  // what closes a cut last line
    bool Header = false;       // the header line comes before the record
};

void PrintTo(const AppendCase& c, std::ostream* os)
{
    *os << c.Name;
}

class HistoryAppend : public testing::TestWithParam<AppendCase> {};

TEST_P(HistoryAppend, AddsOneWholeLineOrRefusesBeforeTheUpdate)
{
    const AppendCase& c = GetParam();
    const std::string dir = MakeTempDir();
    const std::string file = dir + "/zendrak-history.csv";
    if (c.Prepare)
        c.Prepare(dir, file);
    UpdateHistory history(dir);
    EXPECT_EQ(history.Path(), file);
    const std::string check = history.Check();
    const HistoryAppendResult appended = history.Append(SampleRecord(), 500ms);
    if (!c.Refusal.empty()) {
        EXPECT_NE(check.find(c.Refusal), std::string::npos) << check;
        EXPECT_NE(check.find(file), std::string::npos) << check;
        EXPECT_NE(appended.Error.find(c.Refusal), std::string::npos) << appended.Error;
    } else {
        EXPECT_EQ(check, "");
        ASSERT_TRUE(appended.Ok()) << appended.Error;
        EXPECT_EQ(appended.ClosedCutLine, !c.Between.empty());
        const std::string expected = c.Before + c.Between + (c.Header ? HistoryHeaderLine() : "") +
                                     HistoryLine(SampleRecord());
        EXPECT_EQ(ReadWholeFile(file), expected);
    }
    RemoveTree(dir);
}

const std::string OldLines = HistoryHeaderLine() + HistoryLine(SampleRecord("COM1"));

INSTANTIATE_TEST_SUITE_P(
    Files, HistoryAppend,
    testing::Values(
        AppendCase{"New", nullptr, "", "", "", true},
        AppendCase{"Empty", [](auto&, auto& f) { WriteWholeFile(f, ""); }, "", "", "", true},
        AppendCase{"WholeLines", [](auto&, auto& f) { WriteWholeFile(f, OldLines); }, "", OldLines,
                   "", false},
        AppendCase{"EditedWithLineFeeds", [](auto&, auto& f) { WriteWholeFile(f, "a,b\nc,d\n"); },
                   "", "a,b\nc,d\n", "", false},
        AppendCase{"CutLine",
                   [](auto&, auto& f) { WriteWholeFile(f, OldLines + "2026-12-08T15:00:00Z,CO"); },
                   "", OldLines + "2026-12-08T15:00:00Z,CO", "\r\n", false},
        AppendCase{"CutInTheLineEnd",
                   [](auto&, auto& f) { WriteWholeFile(f, OldLines + "x,\"a,b\"\r"); }, "",
                   OldLines + "x,\"a,b\"\r", "\n", false},
        AppendCase{"CutInsideQuotes",
                   [](auto&, auto& f) { WriteWholeFile(f, OldLines + "2026,COM2,\"/dev/a,"); }, "",
                   OldLines + "2026,COM2,\"/dev/a,", "\"\r\n", false},
        AppendCase{"CutAfterDoubledQuote",
                   [](auto&, auto& f) { WriteWholeFile(f, OldLines + "x,\"a\"\"b\","); }, "",
                   OldLines + "x,\"a\"\"b\",", "\r\n", false},
        AppendCase{"SymbolicLink",
                   [](auto& d, auto& f) {
                       WriteWholeFile(d + "/elsewhere.csv", OldLines);
                       ASSERT_EQ(symlink("elsewhere.csv", f.c_str()), 0);
                   },
                   "symbolic link"},
        AppendCase{"DanglingLink",
                   [](auto&, auto& f) { ASSERT_EQ(symlink("/nonexistent/x.csv", f.c_str()), 0); },
                   "symbolic link"},
        AppendCase{"Directory", [](auto&, auto& f) { ASSERT_EQ(mkdir(f.c_str(), 0755), 0); },
                   "directory"},
        AppendCase{"Fifo", [](auto&, auto& f) { ASSERT_EQ(mkfifo(f.c_str(), 0644), 0); },
                   "named pipe"},
        AppendCase{"FolderGone", [](auto& d, auto&) { RemoveTree(d); },
                   "No such file or directory"}),
    [](const testing::TestParamInfo<AppendCase>& info) { return std::string(info.param.Name); });

TEST(HistoryAppendRights, AFileOrFolderThatCannotBeWrittenIsNamedBeforeTheUpdate)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string dir = MakeTempDir();
    const std::string file = dir + "/zendrak-history.csv";
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    EXPECT_NE(UpdateHistory(dir).Check().find("cannot be created in " + dir), std::string::npos);
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    ASSERT_TRUE(WriteWholeFile(file, OldLines));
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_NE(UpdateHistory(dir).Check().find("Permission denied"), std::string::npos);
    EXPECT_FALSE(UpdateHistory(dir).Append(SampleRecord(), 100ms).Ok());
    EXPECT_EQ(ReadWholeFile(file), OldLines);
    RemoveTree(dir);
}

TEST(HistoryAppendRights, CheckCreatesNothing)
{
    const std::string dir = MakeTempDir();
    EXPECT_EQ(UpdateHistory(dir).Check(), "");
    EXPECT_FALSE(std::filesystem::exists(dir + "/zendrak-history.csv"));
    RemoveTree(dir);
}

// Appends records of `port` with attempts 1..count; the child's exit status says whether all
// were added.
pid_t AppendInChild(const std::string& dir, const std::string& port, int count)
{
    const pid_t pid = fork();
    if (pid == 0) {
        UpdateHistory history(dir);
        bool ok = true;
        for (int i = 1; i <= count; ++i)
            ok = history.Append(SampleRecord(port, i)).Ok() && ok;
        _exit(ok ? 0 : 1);
    }
    return pid;
}

// Every line of the file whole and with all its fields; the header once, first.
void ExpectOnlyWholeRecords(const std::string& bytes, std::vector<std::string>& records)
{
    std::vector<std::string> lines;
    ASSERT_TRUE(WholeLines(bytes, lines)) << "the file ends in a partial line";
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0] + "\r\n", HistoryHeaderLine());
    for (size_t i = 1; i < lines.size(); ++i) {
        ASSERT_EQ(CsvFields(lines[i]).size(), HistoryFieldCount) << lines[i];
        records.push_back(lines[i]);
    }
}

TEST(HistoryAppendProcesses, TwoWritersAtOnceLoseNothing)
{
    const std::string dir = MakeTempDir();
    constexpr int Count = 150;
    const pid_t a = AppendInChild(dir, "COM1", Count);
    const pid_t b = AppendInChild(dir, "COM2", Count);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    int status = 0;
    ASSERT_EQ(waitpid(a, &status, 0), a);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(waitpid(b, &status, 0), b);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::vector<std::string> records;
    ExpectOnlyWholeRecords(ReadWholeFile(dir + "/zendrak-history.csv"), records);
    ASSERT_EQ(records.size(), 2u * Count);
    // Each writer's records are all there, in the order it added them.
    std::map<std::string, int> lastAttempt;
    for (const std::string& line : records) {
        const std::vector<std::string> fields = CsvFields(line);
        const int attempt = std::stoi(fields[13]);
        EXPECT_EQ(attempt, lastAttempt[fields[1]] + 1) << line;
        lastAttempt[fields[1]] = attempt;
    }
    EXPECT_EQ(lastAttempt["COM1"], Count);
    EXPECT_EQ(lastAttempt["COM2"], Count);
    RemoveTree(dir);
}

// The file's size; -1 while there is none.
long long FileSize(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<long long>(size);
}

TEST(HistoryAppendProcesses, AWriterKilledAtAnyMomentLeavesWholeLines)
{
    const std::string dir = MakeTempDir();
    std::mt19937 random(19);
    size_t before = 0;
    const std::string path = dir + "/zendrak-history.csv";
    for (int round = 0; round < 25; ++round) {
        const pid_t child = AppendInChild(dir, "COM" + std::to_string(round + 1), 1000000);
        ASSERT_GT(child, 0);
        // The first writer is killed only once it has begun to add lines (a loaded machine may
        // take longer than the random wait to start it); the later ones at any moment.
        for (int waited = 0; round == 0 && waited < 10000 && FileSize(path) <= 0; ++waited)
            usleep(1000);
        usleep(2000 + random() % 20000);
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        std::vector<std::string> records;
        ExpectOnlyWholeRecords(ReadWholeFile(path), records);
        // Nothing that was there before is lost.
        EXPECT_GE(records.size(), before);
        before = records.size();
    }
    EXPECT_GT(before, 0u);  // the writers were killed while they were adding records
    // A lock the killed writers held went with them.
    EXPECT_TRUE(UpdateHistory(dir).Append(SampleRecord(), 1000ms).Ok());
    RemoveTree(dir);
}

TEST(HistoryAppendProcesses, ALockHeldTooLongIsNamedNotWaitedForEver)
{
    const std::string dir = MakeTempDir();
    const std::string file = dir + "/zendrak-history.csv";
    ASSERT_TRUE(WriteWholeFile(file, OldLines));
    const int fd = open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const pid_t holder = fork();
    if (holder == 0) {
        flock(fd, LOCK_EX);
        pause();
        _exit(0);
    }
    usleep(100000);
    const auto started = std::chrono::steady_clock::now();
    const HistoryAppendResult held = UpdateHistory(dir).Append(SampleRecord(), 300ms);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_NE(held.Error.find("held it locked for more than 300 ms"), std::string::npos)
        << held.Error;
    EXPECT_EQ(ReadWholeFile(file), OldLines);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(fd);
    EXPECT_TRUE(UpdateHistory(dir).Append(SampleRecord(), 1000ms).Ok());
    EXPECT_EQ(ReadWholeFile(file), OldLines + HistoryLine(SampleRecord()));
    RemoveTree(dir);
}

}  // namespace
