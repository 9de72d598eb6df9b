// SPDX-License-Identifier: MIT
#include "BenchView.h"

#include "ProgressView.h"
#include "Win1252.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

double SteadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// At most ten redraws a second, as the single run's progress line.
constexpr double FrameInterval = 0.1;

int PercentOf(const RunFile& file, int64_t bytes)
{
    const int64_t toSend = file.BytesToSend();
    return toSend > 0 ? static_cast<int>(std::min<int64_t>(bytes * 100 / toSend, 100)) : 100;
}

}  // namespace

PrefixedSink::PrefixedSink(TextSink& out, std::string prefix) : Out(out), Prefix(std::move(prefix))
{
}

void PrefixedSink::Text(std::string text)
{
    std::lock_guard lock(Lock);
    Partial += text;
    size_t end;
    while ((end = Partial.find('\n')) != std::string::npos) {
        Out.Text(Prefix + Partial.substr(0, end + 1));
        Partial.erase(0, end + 1);
    }
}

struct BenchBoard::Row {
    std::string Port;
    std::string File;
    std::string State;
    int Percent = -1;  // no file yet
    SendRate Rate;
};

class BenchBoard::RowObserver : public RunObserver {
public:
    RowObserver(BenchBoard& board, Row& row) : Board(board), R(row) {}

    void StatusText(const std::string& text) override
    {
        std::lock_guard lock(Board.Lock);
        R.State = ToTerminalText(text);
        Board.Redraw(false);
    }
    void FileBegins(const RunFile& file) override
    {
        std::lock_guard lock(Board.Lock);
        R.File = BaseName(file.Path);
        R.Percent = 0;
        R.Rate.Begin(Board.Now());
        Board.Redraw(false);
    }
    void FileProgress(const RunFile& file, int64_t written, int64_t queued) override
    {
        std::lock_guard lock(Board.Lock);
        R.Rate.SampleWritten(Board.Now(), written, queued);
        R.Percent = PercentOf(file, R.Rate.OnLine());
        Board.Redraw(false);
    }
    void FileEnds(const RunFile& file, int64_t written, bool complete) override
    {
        std::lock_guard lock(Board.Lock);
        R.Rate.SampleWritten(Board.Now(), written);
        R.Percent = complete ? 100 : PercentOf(file, written);
        Board.Redraw(true);
    }

private:
    BenchBoard& Board;
    Row& R;
};

BenchBoard::BenchBoard(TextSink& out, std::vector<std::string> ports, Clock now)
    : Out(out), Now(now ? std::move(now) : Clock(SteadySeconds))
{
    for (const std::string& port : ports) {
        PortWidth = std::max(PortWidth, port.size());
        Rows.push_back(std::make_unique<Row>());
        Rows.back()->Port = port;
        Observers.push_back(std::make_unique<RowObserver>(*this, *Rows.back()));
    }
}

BenchBoard::~BenchBoard() = default;

RunObserver& BenchBoard::Port(size_t index)
{
    return *Observers.at(index);
}

void BenchBoard::SetState(size_t index, const std::string& state)
{
    std::lock_guard lock(Lock);
    Rows.at(index)->State = state;
    Redraw(true);
}

void BenchBoard::SetIdle(size_t index, const std::string& state)
{
    std::lock_guard lock(Lock);
    Rows.at(index)->Percent = -1;
    Rows.at(index)->State = state;
    Redraw(true);
}

void BenchBoard::Finish()
{
    std::lock_guard lock(Lock);
    Redraw(true);
}

std::string BenchBoard::RowText(const Row& row) const
{
    std::string text = row.Port + std::string(PortWidth - row.Port.size(), ' ');
    if (row.Percent >= 0) {
        char figures[48];
        std::snprintf(figures, sizeof figures, "  %3d%%  %5.1f kB/s", row.Percent,
                      row.Rate.BytesPerSecond() / 1000.0);
        std::string file = row.File;
        if (file.size() < 12)
            file += std::string(12 - file.size(), ' ');
        text += "  " + file + figures;
    }
    return text + "  " + row.State;
}

void BenchBoard::Redraw(bool keep)
{
    const double now = Now();
    if (!keep && Drawn && LastFrame >= 0 && now - LastFrame < FrameInterval)
        return;
    LastFrame = now;
    std::string picture;
    if (Drawn)
        picture = "\x1b[" + std::to_string(Rows.size()) + "A";  // back to the first line
    for (const auto& row : Rows)
        picture += "\r" + RowText(*row) + "\x1b[K\n";
    // The first picture makes the lines the later ones move back over: it is never dropped.
    if (keep || !Drawn)
        Out.Text(picture);
    else
        Out.Frame(picture);
    Drawn = true;
}
