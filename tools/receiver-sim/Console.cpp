// SPDX-License-Identifier: MIT
#include "Console.h"

#include "ReceiverTexts.h"

#include <algorithm>
#include <cstdio>

namespace {

using std::chrono::milliseconds;

// A file whose first byte does not come within this time after "l" was never sent: the
// console takes commands again.
constexpr milliseconds FirstByteTimeout{2000};

uint32_t Crc32(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string Printable(const std::string& line)
{
    std::string out;
    for (unsigned char c : line) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace

ReceiverConsole::ReceiverConsole(const SimOptions& options, Recorder& recorder)
    : Options(options), Rec(recorder)
{
}

void ReceiverConsole::Log(const std::string& text) const
{
    if (Options.Verbose)
        std::fprintf(stderr, "receiver-sim: %s\n", text.c_str());
}

void ReceiverConsole::Receive(const uint8_t* data, size_t count, SimClock::time_point now)
{
    if (count > 0)
        LastActivity = now;
    for (size_t i = 0; i < count && !VanishNow && !Stalled; ++i)
        Byte(data[i], now);
}

void ReceiverConsole::Byte(uint8_t byte, SimClock::time_point now)
{
    if (State == Mode::Receiving) {
        if (FileBytes.empty())
            FirstByteTime = now;
        FileBytes += static_cast<char>(byte);
        const auto size = static_cast<int64_t>(FileBytes.size());
        if (Options.VanishAfter >= 0 && size >= Options.VanishAfter) {
            Log("vanishing after " + std::to_string(size) + " bytes");
            VanishNow = true;
        } else if (Options.StallAfter >= 0 && size >= Options.StallAfter) {
            Log("stalling after " + std::to_string(size) + " bytes");
            Stalled = true;
        } else if (FileExpected && size >= *FileExpected) {
            FinishFile(now);
        }
        return;
    }
    if (byte == '\n') {
        std::string line = LineBuffer;
        LineBuffer.clear();
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Command(line, now);
    } else if (LineBuffer.size() < 4096) {
        LineBuffer += static_cast<char>(byte);
    }
}

void ReceiverConsole::Command(const std::string& line, SimClock::time_point now)
{
    const bool known = line == "r" || line == "l" || line == "s";
    if (!Rec.Command(known ? line : "? " + Printable(line)))
        Error = Rec.Error;
    if (!known)
        return;
    if (now < IgnoreUntil) {
        Log("ignored \"" + line + "\" while restarting");
        return;
    }
    Log("command " + line);
    Pending.clear();
    if (line == "r") {
        Restart(now);
    } else if (line == "l") {
        Load(now);
    } else {
        Start(now);
    }
}

void ReceiverConsole::Start(SimClock::time_point now)
{
    ++StartsSeen;
    const bool refused = RunRefused;
    RunRefused = false;
    if (!Options.Silent) {
        Schedule(ReceiverTexts::StartMessage, now, 0);
        if (Options.OwnRestartMs >= 0)
            Schedule(StartUpText(), now, Options.OwnRestartMs);
    }
    // A receiver whose file was refused or not answered stays for another attempt.
    if (Done() || refused)
        return;
    // A receiver that prints nothing prints nothing when it is switched on either.
    if (Options.NextReceiverMs >= 0 && !Options.Silent)
        Schedule(StartUpText(), now, Options.NextReceiverMs);
    if (Options.ReplugMs >= 0)
        UnplugAt = now + milliseconds(Options.ReplugMs);
}

std::string ReceiverConsole::StartUpText() const
{
    if (Options.MenuAndControl)
        return ReceiverTexts::StartMenu + ReceiverTexts::StartUp;
    return Options.Menu ? ReceiverTexts::StartMenu : ReceiverTexts::StartUp;
}

bool ReceiverConsole::TakeUnplug(SimClock::time_point now)
{
    if (!UnplugAt || now < *UnplugAt)
        return false;
    UnplugAt.reset();
    Pending.clear();
    LineBuffer.clear();
    return true;
}

void ReceiverConsole::Restart(SimClock::time_point now)
{
    InSubmenu = false;
    if (Options.Silent)
        return;
    if (Options.FlashLoop) {
        Schedule(ReceiverTexts::FlashBusy, now, Options.BootDelayMs);
        return;
    }
    SimClock::time_point last;
    if (Options.ChannelList && !ChannelListShown) {
        ChannelListShown = true;
        last = Schedule(ReceiverTexts::ChannelList, now, Options.BootDelayMs);
    } else if (Options.ExitMenu && !ExitMenuShown) {
        ExitMenuShown = true;
        InSubmenu = true;
        last = Schedule(ReceiverTexts::ExitMenu, now, Options.BootDelayMs);
    } else {
        for (int i = 1; i <= Options.Garbage; ++i)
            Schedule(ReceiverTexts::Garbage(i), now, i == 1 ? Options.BootDelayMs : -1);
        last = Schedule(StartUpText(), now,
                        Options.Garbage > 0 ? Options.StartupDelayMs : Options.BootDelayMs);
    }
    IgnoreUntil = last;
}

void ReceiverConsole::Load(SimClock::time_point now)
{
    if (Options.Silent)
        return;  // a dead console: it takes nothing in
    if (Options.FlashLoop) {
        Schedule(ReceiverTexts::FlashBusy, now, Options.BurstGapMs);
        return;
    }
    if (InSubmenu && !Options.BinaryPrompt) {
        InSubmenu = false;
        Schedule(ReceiverTexts::StartMenu, now, Options.BurstGapMs);
        return;
    }
    InSubmenu = false;
    if (Options.BinaryPrompt)
        Schedule(ReceiverTexts::BinaryPrompt, now, 20);
    StartFile(now);
}

void ReceiverConsole::StartFile(SimClock::time_point now)
{
    State = Mode::Receiving;
    FileBytes.clear();
    FileStart = now;
    LastActivity = now;
    FileExpected.reset();
    if (FileIndex < Options.Expect.size())
        FileExpected = Options.Expect[FileIndex];
    if (FileExpected && *FileExpected == 0)
        FinishFile(now);
}

void ReceiverConsole::FinishFile(SimClock::time_point now)
{
    State = Mode::Console;
    ++FileIndex;
    if (!Rec.File(FileBytes))
        Error = Rec.Error;
    Log("file " + std::to_string(FileIndex) + ": " + std::to_string(FileBytes.size()) + " bytes");
    if (Options.Silent)
        return;
    int delay = Options.VerdictDelayMs;
    auto next = [&](const std::string& text, bool repeat = false) {
        Schedule(text, now, delay, repeat);
        delay = -1;
    };
    int64_t chatter = 0;
    if (!Options.ResultChatter.empty())
        chatter = Options.ResultChatter[std::min(FileIndex, Options.ResultChatter.size()) - 1];
    for (int i = 1; i <= chatter; ++i)
        next(ReceiverTexts::Chatter(i));
    if (Options.VerdictText) {
        next(*Options.VerdictText + "\r\n");
        return;
    }
    // Each run's own answer; the last one given holds for later runs.
    const size_t run = std::min<size_t>(StartsSeen, Options.Verdicts.size() - 1);
    switch (Options.Verdicts.empty() ? Verdict::Ok : Options.Verdicts[run]) {
    case Verdict::Ok: {
        next(ReceiverTexts::FileOk);
        const int sectors = std::clamp(static_cast<int>((FileBytes.size() + 4095) / 4096), 1, 3);
        if (Options.SavedChatter < 0) {
            for (int i = 1; i <= sectors; ++i)
                next(ReceiverTexts::WriteSector(i, sectors));
            RepeatCount = sectors;
            next(ReceiverTexts::WriteSector(sectors + 1, sectors + 1), true);
            return;
        }
        const int lines = sectors + Options.SavedChatter;
        for (int i = 1; i <= lines; ++i)
            next(ReceiverTexts::WriteSector(i, lines));
        next(ReceiverTexts::Saved(Crc32(FileBytes)));
        break;
    }
    case Verdict::Fin: next(ReceiverTexts::Fin); break;
    case Verdict::Wrong:
        next(ReceiverTexts::Wrong);
        RunRefused = true;
        break;
    case Verdict::Silent: RunRefused = true; break;
    }
}

void ReceiverConsole::SavePartialFile()
{
    if (State == Mode::Receiving && !FileBytes.empty())
        FinishFile(SimClock::now());
    Pending.clear();
}

SimClock::time_point ReceiverConsole::Schedule(const std::string& text, SimClock::time_point now,
                                               int delayMs, bool repeat)
{
    SimClock::time_point due;
    if (delayMs >= 0)
        due = now + milliseconds(delayMs);
    else
        due = (Pending.empty() ? now : Pending.back().Due) + milliseconds(Options.BurstGapMs);
    if (!Pending.empty())
        due = std::max(due, Pending.back().Due + milliseconds(Options.BurstGapMs));
    Pending.push_back({due, text, repeat});
    return due;
}

void ReceiverConsole::Tick(SimClock::time_point now)
{
    if (State != Mode::Receiving || Stalled || VanishNow)
        return;
    if (FileBytes.empty()) {
        if (now - FileStart >= FirstByteTimeout) {
            Log("no file after \"l\"");
            State = Mode::Console;
        }
        return;
    }
    if (!FileExpected && now - LastActivity >= milliseconds(Options.GapMs))
        FinishFile(now);
}

std::vector<std::string> ReceiverConsole::TakeDue(SimClock::time_point now)
{
    std::vector<std::string> due;
    while (!Pending.empty() && Pending.front().Due <= now) {
        Burst burst = Pending.front();
        Pending.pop_front();
        due.push_back(burst.Text);
        if (burst.Repeat) {
            ++RepeatCount;
            Schedule(ReceiverTexts::WriteSector(RepeatCount + 1, RepeatCount + 1), burst.Due,
                     Options.BurstGapMs, true);
            break;  // with no gap the next one is due at once: one per call, never a hang
        }
    }
    return due;
}

std::optional<SimClock::time_point> ReceiverConsole::NextEvent(SimClock::time_point now) const
{
    std::optional<SimClock::time_point> next;
    auto take = [&](SimClock::time_point t) {
        if (!next || t < *next)
            next = t;
    };
    if (!Pending.empty())
        take(Pending.front().Due);
    if (UnplugAt)
        take(*UnplugAt);
    if (State == Mode::Receiving && !Stalled && !VanishNow) {
        if (FileBytes.empty())
            take(FileStart + FirstByteTimeout);
        else if (!FileExpected)
            take(LastActivity + milliseconds(Options.GapMs));
        if (Options.Rate > 0 && ReadAllowance(now) == 0)
            take(now + milliseconds(1));
    }
    return next;
}

size_t ReceiverConsole::ReadAllowance(SimClock::time_point now) const
{
    if (Stalled || VanishNow)
        return 0;
    size_t limit = SIZE_MAX;
    if (State == Mode::Receiving) {
        // Stop exactly at the byte that makes the device vanish, stall or end the file, so
        // what follows stays on the line.
        auto cap = [&](int64_t at) {
            if (at >= 0 && at > static_cast<int64_t>(FileBytes.size()))
                limit = std::min(limit, static_cast<size_t>(at - FileBytes.size()));
        };
        cap(Options.VanishAfter);
        cap(Options.StallAfter);
        if (FileExpected)
            cap(*FileExpected);
        if (Options.Rate > 0) {
            if (FileBytes.empty())
                return std::min<size_t>(limit, 1);
            const double seconds = std::chrono::duration<double>(now - FirstByteTime).count();
            const auto allowed = static_cast<int64_t>(seconds * Options.Rate) + 1 -
                                 static_cast<int64_t>(FileBytes.size());
            if (allowed <= 0)
                return 0;
            limit = std::min(limit, static_cast<size_t>(allowed));
        }
    } else {
        // Small reads at the console, so a file that follows "l" at once is soon read with the
        // file's own limits.
        limit = 64;
    }
    return limit;
}
