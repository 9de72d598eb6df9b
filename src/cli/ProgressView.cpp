// SPDX-License-Identifier: MIT
#include "ProgressView.h"

#include "Win1252.h"

ProgressView::ProgressView(std::FILE* out, bool terminal, bool quiet)
    : Out(out), Terminal(terminal), Quiet(quiet)
{
}

void ProgressView::Line(const std::string& text)
{
    EndProgressLine();
    std::fputs((text + "\n").c_str(), Out);
    std::fflush(Out);
}

void ProgressView::EndProgressLine()
{
    if (ProgressLineOpen) {
        std::fputc('\n', Out);
        ProgressLineOpen = false;
    }
}

void ProgressView::ShowStatus(const std::string& statusText)
{
    if (Quiet || statusText == LastStatus)
        return;
    LastStatus = statusText;
    Line(ToTerminalText(statusText));
}

void ProgressView::ShowFileName(const std::string& path)
{
    FileName = path;
    LastPercent = 0;
    if (!Quiet && !path.empty())
        Line("Sending " + path);
}

void ProgressView::ShowProgress(int percent)
{
    if (Quiet || percent == LastPercent)
        return;
    const int previous = LastPercent;
    LastPercent = percent;
    if (percent == 0)
        return;  // the reset at the end of a run
    if (Terminal) {
        const int width = 40;
        const int filled = percent * width / 100;
        std::fprintf(Out, "\r[%s%s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(width - filled), ' ').c_str(), percent);
        std::fflush(Out);
        ProgressLineOpen = true;
        if (percent == 100)
            EndProgressLine();
    } else if (percent / 10 != previous / 10 || percent == 100) {
        // Plain lines in steps of ten, so a log of the output stays short.
        Line(std::to_string(percent) + "%");
    }
}

void ProgressView::ShowOutcome(const std::string& text)
{
    EndProgressLine();
    std::fputs((ToTerminalText(text) + "\n").c_str(), Out);
    std::fflush(Out);
}
