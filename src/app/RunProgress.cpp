// SPDX-License-Identifier: MIT
#include "RunProgress.h"

#include "ProgressTexts.h"

#include <algorithm>

namespace {

const QString Separator = QStringLiteral(" \u00B7 ");

}  // namespace

void RunProgress::Begin(std::vector<RunFile> files)
{
    *this = RunProgress();
    Files = std::move(files);
}

void RunProgress::FileBegins(const RunFile& file, double now)
{
    Current = file;
    Bytes = 0;
    IsSending = true;
    SentWhole = false;
    LaterFiles = 0;
    LaterBytes = 0;
    const auto listed = std::find_if(Files.begin(), Files.end(),
                                     [&](const RunFile& f) { return f.Path == file.Path; });
    if (listed == Files.end()) {
        ++Number;  // a file the run was not begun with: counted as it comes
    } else {
        Number = static_cast<int>(listed - Files.begin()) + 1;
        for (auto later = listed + 1; later != Files.end(); ++later) {
            ++LaterFiles;
            LaterBytes += std::max<int64_t>(later->Size, 0);
        }
    }
    Rate.Begin(now);
}

void RunProgress::FileProgress(int64_t onLine, double now)
{
    if (!IsSending)
        return;
    Bytes = std::clamp<int64_t>(onLine, 0, std::max<int64_t>(Current.Size, 0));
    Rate.Sample(now, Bytes);
}

void RunProgress::FileEnds(int64_t written, bool complete, double now)
{
    if (!IsSending)
        return;
    Bytes = std::clamp<int64_t>(written, 0, std::max<int64_t>(Current.Size, 0));
    Rate.Sample(now, Bytes);
    IsSending = false;
    SentWhole = complete;
}

int RunProgress::FileCount() const
{
    return std::max(static_cast<int>(Files.size()), Number);
}

int RunProgress::Percent() const
{
    if (Number == 0)
        return -1;
    if (Current.Size <= 0)
        return IsSending ? 0 : 100;
    return static_cast<int>(Bytes * 100 / Current.Size);
}

double RunProgress::RunSecondsLeft() const
{
    return Rate.RunSecondsLeft(Current.Size, LaterBytes, LaterFiles);
}

QString SendFiguresText(const RunProgress& progress)
{
    if (!progress.Sending())
        return {};
    return QString::fromStdString(RateText(progress.BytesPerSecond())) + Separator +
           QString::fromStdString(DurationText(progress.RunSecondsLeft())) +
           QStringLiteral(" left");
}

QString RunProgressText(const RunProgress& progress)
{
    if (progress.FileNumber() == 0)
        return {};
    const QString file =
        QStringLiteral("file %1 of %2").arg(progress.FileNumber()).arg(progress.FileCount());
    if (progress.Sending())
        return file + Separator + SendFiguresText(progress);
    return file + (progress.Complete() ? QStringLiteral(" sent") : QStringLiteral(" stopped"));
}
