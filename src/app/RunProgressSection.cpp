// SPDX-License-Identifier: MIT
#include "RunProgressSection.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMetaObject>
#include <algorithm>
#include <chrono>

namespace {

double SteadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// As wide as its usual texts, so that it does not jump about as the figures change.
const QString WidestUsualText = QStringLiteral("file 3 of 3 \u00B7 88.8 kB/s \u00B7 88:88 left");

}  // namespace

RunProgressSection::RunProgressSection(QWidget* parent, Clock now)
    : QLabel(parent), Now(now ? std::move(now) : Clock(SteadySeconds))
{
    setObjectName(QStringLiteral("RunProgressSection"));
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FitWidthToFont();
    hide();
}

void RunProgressSection::BeginRun(std::vector<RunFile> files)
{
    {
        std::lock_guard lock(Lock);
        Progress.Begin(std::move(files));
        Running = true;
    }
    Show(QString());
}

void RunProgressSection::EndRun()
{
    {
        std::lock_guard lock(Lock);
        Running = false;
    }
    Show(QString());
}

void RunProgressSection::FileBegins(const RunFile& file)
{
    std::lock_guard lock(Lock);
    Progress.FileBegins(file, Now());
    Notify();
}

void RunProgressSection::FileProgress(const RunFile& /*file*/, int64_t written, int64_t queued)
{
    std::lock_guard lock(Lock);
    Progress.FileProgress(std::max<int64_t>(written - queued, 0), Now());
    Notify();
}

void RunProgressSection::FileEnds(const RunFile& /*file*/, int64_t written, bool complete)
{
    std::lock_guard lock(Lock);
    Progress.FileEnds(written, complete, Now());
    Notify();
}

void RunProgressSection::Notify()
{
    if (NewsPending)
        return;
    NewsPending = true;
    QMetaObject::invokeMethod(
        this, [this] { ShowNews(); }, Qt::QueuedConnection);
}

void RunProgressSection::ShowNews()
{
    QString text;
    {
        std::lock_guard lock(Lock);
        NewsPending = false;
        if (Running)
            text = RunProgressText(Progress);
    }
    Show(text);
}

void RunProgressSection::Show(const QString& text)
{
    if (text == this->text() && isHidden() == text.isEmpty())
        return;
    setText(text);
    setVisible(!text.isEmpty());
    if (OnText)
        OnText(text);
}

void RunProgressSection::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitWidthToFont();
}

void RunProgressSection::FitWidthToFont()
{
    setMinimumWidth(fontMetrics().horizontalAdvance(WidestUsualText) + 2 * margin() + 4);
}
