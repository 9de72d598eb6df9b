// SPDX-License-Identifier: MIT
// Fuzz target: whatever the receiver sends drives one whole update run (receive buffer, marker
// tests, pass table) over the fake line. Input: a header choosing 1-3 small files and an
// optional failing write, then read chunks (a length byte and data; see ServeChunks).
#include "FakeLine.h"
#include "FirmHost.h"
#include "FirmThread.h"
#include "FuzzSupport.h"
#include "Messages.h"
#include "SystemTexts.h"
#include "comm_port.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

std::string Directory;

const std::array<const char*, 12> Markers{
    Texts::MarkerStartUpControl, Texts::MarkerStartMenu,
    Texts::MarkerBinaryMode,     Texts::MarkerDefaultChannelList,
    Texts::MarkerExitToMainMenu, Texts::MarkerFlash,
    Texts::MarkerError,          Texts::MarkerWriteSector,
    Texts::MarkerFileOk,         Texts::MarkerFin,
    Texts::MarkerSaved,          Texts::MarkerWrong};

class FuzzHost : public TFirmHost {
public:
    std::array<std::string, 3> Files;  // empty: no file in that slot
    int Cursor = 0;
    std::vector<int> ProgressValues;
    bool Succeeded = false;

    TCommPort& CommPort() override
    {
        static TCommPort port;  // outside the host: its destructor may throw
        return port;
    }
    void SetProgressPosition(int position) override { ProgressValues.push_back(position); }
    void SetUpdateSucceeded(bool succeeded) override { Succeeded = succeeded; }
    int32_t GetFirstFirmFileType() override
    {
        Cursor = 0;
        return Advance();
    }
    int32_t GetNextFirmFileType() override { return Cursor == 0 ? 0 : Advance(); }
    int32_t GetFileSize(int32_t type) override
    {
        FUZZ_CHECK(type >= 1 && type <= 3);
        return static_cast<int32_t>(Files[static_cast<size_t>(type - 1)].size());
    }
    const uint8_t* GetFileBuffer(int32_t type) override
    {
        FUZZ_CHECK(type >= 1 && type <= 3 && !Files[static_cast<size_t>(type - 1)].empty());
        return reinterpret_cast<const uint8_t*>(Files[static_cast<size_t>(type - 1)].data());
    }
    std::string GetFirmFileName(int32_t type) override
    {
        FUZZ_CHECK(type >= 1 && type <= 3);
        return "/fuzz/file" + std::to_string(type);
    }

private:
    // The next slot after the cursor that holds a file; 0 (and the cursor reset) when none.
    int32_t Advance()
    {
        while (Cursor < 3) {
            if (!Files[static_cast<size_t>(Cursor++)].empty())
                return Cursor;
        }
        Cursor = 0;
        return 0;
    }
};

// Length byte L: 0 a silent read; 1..200 L bytes of data; 201..231 one marker whole;
// 232..247 a marker cut in two reads; 248..255 a flood of 1024 copies of the next byte.
void ServeChunks(InputReader& in, FakeLine& line)
{
    while (!in.Empty() && line.Reads.size() < 4000) {
        const uint8_t l = in.Byte();
        if (l == 0) {
            line.Reads.emplace_back();
        } else if (l <= 200) {
            line.Reads.push_back(in.Bytes(l));
        } else if (l <= 231) {
            line.Reads.emplace_back(Markers[(l - 201) % Markers.size()]);
        } else if (l <= 247) {
            const std::string marker = Markers[in.Byte() % Markers.size()];
            const size_t cut = 1 + in.Byte() % (marker.size() - 1);
            line.Reads.push_back(marker.substr(0, cut));
            line.Reads.push_back(marker.substr(cut));
        } else {
            line.Reads.emplace_back(1024, static_cast<char>(in.Byte()));
        }
    }
}

// The writes as commands and file sends; aborts on anything else.
void CheckLine(const FuzzHost& host, const FakeLine& line, bool runLeftByError)
{
    std::vector<int> fileTypes;
    for (int t = 1; t <= 3; ++t)
        if (!host.Files[static_cast<size_t>(t - 1)].empty())
            fileTypes.push_back(t);
    const auto& w = line.Writes;
    // A command cut by a failing CR or LF leaves its letter (and CR) as the last writes.
    size_t n = w.size();
    if (line.FailedOnCharacter) {
        FUZZ_CHECK(runLeftByError && !w.empty());
        n -= w.back().Character ? 2 : 1;
        FUZZ_CHECK(!w[n].Character && w[n].Bytes.size() == 1);
        const char c = w[n].Bytes[0];
        FUZZ_CHECK(c == 'r' || c == 'l' || c == 's');
    }
    size_t i = 0;
    size_t sends = 0;
    char lastCommand = 0;
    bool startSent = false;
    while (i < n) {
        FUZZ_CHECK(!startSent);  // nothing follows "s"
        FUZZ_CHECK(!w[i].Character);
        // A command: its letter in a one-byte buffer write, then CR and LF as characters.
        if (w[i].Bytes.size() == 1 && i + 1 < n && w[i + 1].Character) {
            FUZZ_CHECK(w[i + 1].Bytes == "\r" && i + 2 < n && w[i + 2].Character &&
                       w[i + 2].Bytes == "\n");
            const char c = w[i].Bytes[0];
            FUZZ_CHECK(c == 'r' || c == 'l' || c == 's');
            FUZZ_CHECK(!(c == 'r' && sends > 0));  // no restart once a file went out
            lastCommand = c;
            startSent = c == 's';
            i += 3;
            continue;
        }
        // A file send: buffer writes up to the next command.
        FUZZ_CHECK(sends < fileTypes.size());
        // After "l", or (first file only) after a binary-mode prompt that answered "r" or "l".
        FUZZ_CHECK(lastCommand == 'l' || (sends == 0 && lastCommand == 'r'));
        FUZZ_CHECK(sends == 0 || lastCommand == 'l');
        const std::string& file = host.Files[static_cast<size_t>(fileTypes[sends] - 1)];
        std::string sent;
        size_t blocks = 0;
        while (i < n && !w[i].Character &&
               !(w[i].Bytes.size() == 1 && i + 1 < n && w[i + 1].Character)) {
            FUZZ_CHECK(w[i].Bytes.size() == 10 || w[i].Bytes.size() == 1);
            if (w[i].Bytes.size() == 10)
                ++blocks;
            sent += w[i].Bytes;
            ++i;
        }
        FUZZ_CHECK(sent.size() <= file.size());
        FUZZ_CHECK(file.compare(0, sent.size(), sent) == 0);
        FUZZ_CHECK(blocks * 10 <= sent.size());
        if (sent.size() < file.size() && !line.Failed) {
            // Cut short only by a 0x02 stop in the tail: the last byte sent follows the 0x02.
            FUZZ_CHECK(sent.size() >= 2 && file[sent.size() - 2] == 0x02);
            FUZZ_CHECK(sent.size() > blocks * 10);  // in the tail, not in the block part
        }
        if (!line.Failed)
            FUZZ_CHECK(blocks == (file.size() - 1) / 10);
        ++sends;
    }
}

void CheckProgress(const FuzzHost& host)
{
    for (int p : host.ProgressValues)
        FUZZ_CHECK(p >= 0 && p <= 100);
}

std::string ReadLog()
{
    std::ifstream in(Texts::UpdateLogFileName, std::ios::binary);
    if (!in)
        return {};
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Directory = EnterFuzzDirectory("run");
    static RecordingMessageService quiet;
    static ScopedMessageService scoped(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputReader in(data, size);
    FakeLine& line = Line();
    line = FakeLine{};
    FuzzHost host;
    // Header: which slots hold a file and their sizes (1..40 bytes from the input).
    const uint8_t slots = in.Byte();
    for (size_t s = 0; s < 3; ++s) {
        if (((slots >> s) & 1) == 0 && !(s == 0 && (slots & 7) == 0))
            continue;
        const size_t len = 1 + in.Byte() % 40;
        std::string bytes = in.Bytes(len);
        if (bytes.empty())
            bytes = "x";
        host.Files[s] = bytes;
    }
    // A failing write: none, or the write with index n (0..63), code 9 (write failed) or
    // 10 (the device is gone: every later call fails too).
    const uint8_t fail = in.Byte();
    if (fail & 0x80) {
        line.FailAtWrite = fail & 0x3f;
        line.FailCode = (fail & 0x40) ? 10 : 9;
    }
    ServeChunks(in, line);
    // Each served chunk and the silence after the input: connect gives up after 16 silent
    // reads, a verdict or storing wait after 60; a flash loop ends after 60 answers.
    line.MaxReadCalls = line.Reads.size() + 3 * 62 + 16;
    std::remove(Texts::UpdateLogFileName);

    bool leftByError = false;
    {
        TFirmThread worker(true, host);
        try {
            worker.RunUpdate();
        } catch (const ECommError&) {
            FUZZ_CHECK(line.Failed);  // only the failures this input asked for
            leftByError = true;
        }
    }
    if (std::getenv("ZENDRAK_FUZZ_DEBUG")) {
        std::fprintf(stderr, "reads %zu/%zu, writes %zu, failed %d, left by error %d, ok %d\n",
                     line.ReadCalls, line.Reads.size(), line.Writes.size(), line.Failed,
                     leftByError, host.Succeeded);
        for (const auto& w : line.Writes)
            std::fprintf(stderr, "%s[%zu]%s ", w.Character ? "c" : "b", w.Bytes.size(),
                         w.Bytes.size() == 1 && std::isprint(w.Bytes[0]) ? w.Bytes.c_str() : "");
        std::fprintf(stderr, "\n");
    }
    CheckLine(host, line, leftByError);
    CheckProgress(host);
    const std::string log = ReadLog();
    if (leftByError) {
        FUZZ_CHECK(log.empty());  // a run left by an error writes no log
    } else {
        const std::string first = std::string(Texts::LogLoadingFirmware) + "\r\n";
        const std::string last = std::string("\r\n") + Texts::LogTerminated + "\r\n";
        FUZZ_CHECK(log.compare(0, first.size(), first) == 0);
        FUZZ_CHECK(log.size() >= last.size() &&
                   log.compare(log.size() - last.size(), last.size(), last) == 0);
        FUZZ_CHECK(host.ProgressValues.empty() || host.ProgressValues.back() == 0);
    }
    if (host.Succeeded)
        FUZZ_CHECK(!line.Writes.empty());  // success only after the files went out
    return 0;
}
