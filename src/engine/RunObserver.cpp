// SPDX-License-Identifier: MIT
#include "RunObserver.h"

#include <QByteArrayView>
#include <QCryptographicHash>

void RunObservers::StatusText(const std::string& text)
{
    for (RunObserver* o : List)
        o->StatusText(text);
}

void RunObservers::LogEntry(const std::string& entry)
{
    for (RunObserver* o : List)
        o->LogEntry(entry);
}

void RunObservers::FileBegins(const RunFile& file)
{
    for (RunObserver* o : List)
        o->FileBegins(file);
}

void RunObservers::FileProgress(const RunFile& file, int64_t written, int64_t queued)
{
    for (RunObserver* o : List)
        o->FileProgress(file, written, queued);
}

void RunObservers::FileEnds(const RunFile& file, int64_t written, bool complete)
{
    for (RunObserver* o : List)
        o->FileEnds(file, written, complete);
}

void RunObservers::LineSent(const uint8_t* bytes, size_t count)
{
    for (RunObserver* o : List)
        o->LineSent(bytes, count);
}

void RunObservers::LineReceived(const uint8_t* bytes, size_t count)
{
    for (RunObserver* o : List)
        o->LineReceived(bytes, count);
}

void RunObservers::SilentRead()
{
    for (RunObserver* o : List)
        o->SilentRead();
}

void RunObservers::Paused(unsigned milliseconds)
{
    for (RunObserver* o : List)
        o->Paused(milliseconds);
}

void RunObservers::PortError(const ECommError& error)
{
    for (RunObserver* o : List)
        o->PortError(error);
}

void RunObservers::RunEnds(RunOutcome outcome, const std::string& logPath)
{
    for (RunObserver* o : List)
        o->RunEnds(outcome, logPath);
}

std::string Sha256Hex(const uint8_t* bytes, size_t count)
{
    const QByteArrayView view(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(count));
    return QCryptographicHash::hash(view, QCryptographicHash::Sha256).toHex().toStdString();
}
