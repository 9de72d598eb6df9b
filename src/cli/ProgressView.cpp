// SPDX-License-Identifier: MIT
#include "ProgressView.h"

#include "SentLength.h"
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

// At most ten redraws a second on a terminal.
constexpr double FrameInterval = 0.1;

std::string Format(const char* format, double a, double b = 0)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FileSummary(const RunFile& file, int64_t written, bool complete, double seconds)
{
    const std::string name = BaseName(file.Path);
    if (!complete)
        return name + ": stopped after " + std::to_string(written) + " of " +
               std::to_string(file.Size) + " bytes" + Format(" (%.2f s)", seconds);
    // The bytes written may still wait in a buffer on the way: on the line they take at least
    // their time at the line rate. A send faster than the clock can tell still gets a rate.
    const double onLine = std::max({seconds, written / RunEstimate::LineBytesPerSecond, 0.001});
    const double rate = written / onLine / 1000.0;
    std::string text = name + ": " + std::to_string(written) + " bytes";
    if (written != file.Size)
        text =
            name + ": " + std::to_string(written) + " of " + std::to_string(file.Size) + " bytes";
    text += Format(" in %.2f s, %.1f kB/s", onLine, rate);
    if (written != file.Size)
        text += std::string(" (") + ShortSendReason + ")";
    return text;
}

ProgressView::ProgressView(TextSink& out, bool terminal, bool quiet, std::vector<RunFile> files,
                           Clock now)
    : Out(out),
      Terminal(terminal),
      Quiet(quiet),
      Files(std::move(files)),
      Now(now ? std::move(now) : Clock(SteadySeconds))
{
}

void ProgressView::Line(const std::string& text)
{
    EndProgressLine();
    Out.Text(text + "\n");
}

void ProgressView::EndProgressLine()
{
    if (ProgressLineOpen) {
        Out.Text("\n");
        ProgressLineOpen = false;
    }
}

void ProgressView::StatusText(const std::string& text)
{
    std::lock_guard lock(Lock);
    if (Quiet || text == LastStatus)
        return;
    LastStatus = text;
    Line(ToTerminalText(text));
}

void ProgressView::FileBegins(const RunFile& file)
{
    std::lock_guard lock(Lock);
    Current = file;
    LastPercent = 0;
    LastFrame = -1;
    LaterFiles = 0;
    LaterBytes = 0;
    bool after = false;
    for (const RunFile& f : Files) {
        if (after) {
            ++LaterFiles;
            LaterBytes += f.BytesToSend();
        }
        after = after || f.Path == file.Path;
    }
    Began = Now();
    Rate.Begin(Began);
    if (!Quiet)
        Line("Sending " + file.Path);
}

void ProgressView::FileProgress(const RunFile& /*file*/, int64_t written, int64_t queued)
{
    std::lock_guard lock(Lock);
    Rate.SampleWritten(Now(), written, queued);
    if (!Quiet)
        Show(Rate.OnLine(), false);
}

void ProgressView::FileEnds(const RunFile& file, int64_t written, bool complete)
{
    std::lock_guard lock(Lock);
    const double now = Now();
    const double seconds = now - Began;
    Rate.SampleWritten(now, written);
    if (Quiet)
        return;
    if (complete)
        Show(written, true);
    Line(FileSummary(file, written, complete, seconds));
}

void ProgressView::Show(int64_t onLine, bool last)
{
    const int64_t toSend = Current.BytesToSend();
    const int percent =
        toSend > 0 ? static_cast<int>(std::min<int64_t>(onLine * 100 / toSend, 100)) : 100;
    if (Terminal) {
        const double now = Now();
        if (!last && LastFrame >= 0 && now - LastFrame < FrameInterval)
            return;
        LastFrame = now;
        const std::string frame = "\r" + ProgressLine(onLine, percent) + "\x1b[K";
        if (last) {
            Out.Text(frame);  // the last frame of a file is never dropped
        } else {
            Out.Frame(frame);
        }
        ProgressLineOpen = true;
    } else if (percent / 10 > LastPercent / 10) {
        // Plain lines in steps of ten, so a log of the output stays short.
        Line(std::to_string(percent / 10 * 10) + "%");
    }
    LastPercent = percent;
}

std::string ProgressView::ProgressLine(int64_t onLine, int percent) const
{
    const double rate = Rate.BytesPerSecond();
    return BaseName(Current.Path) + "  " + std::to_string(percent) + "%  " +
           std::to_string(onLine) + "/" + std::to_string(Current.BytesToSend()) + " bytes  " +
           Format("%.1f kB/s", rate / 1000.0) + "  " +
           DurationText(Rate.FileSecondsLeft(Current.BytesToSend())) + " left, run " +
           DurationText(Rate.RunSecondsLeft(Current.BytesToSend(), LaterBytes, LaterFiles)) +
           " left";
}

void ProgressView::ShowOutcome(const std::string& text)
{
    std::lock_guard lock(Lock);
    EndProgressLine();
    Out.Text(ToTerminalText(text) + "\n");
}

void ProgressView::BeginRun(std::vector<RunFile> files)
{
    std::lock_guard lock(Lock);
    Files = std::move(files);
    LastStatus.clear();
}

void ProgressView::Say(const std::string& text)
{
    std::lock_guard lock(Lock);
    Line(text);
}
