// SPDX-License-Identifier: MIT
#include "TraceOutput.h"

#include "ProgressView.h"
#include "SystemTexts.h"

#include <cstdio>

std::string QuotedBytes(const uint8_t* bytes, size_t count)
{
    std::string text = "\"";
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        switch (b) {
        case '\r': text += "\\r"; break;
        case '\n': text += "\\n"; break;
        case '\t': text += "\\t"; break;
        case '"': text += "\\\""; break;
        case '\\': text += "\\\\"; break;
        default:
            if (b >= 0x20 && b < 0x7F) {
                text += static_cast<char>(b);
            } else {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", b);
                text += hex;
            }
        }
    }
    return text + "\"";
}

TraceOutput::TraceOutput(TextSink& out, Clock sinceStart)
    : Out(out), SinceStart(std::move(sinceStart))
{
}

void TraceOutput::Event(const std::string& text)
{
    std::lock_guard lock(Lock);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "+%.3f ", SinceStart() * 1000.0);
    Out.Text(stamp + text + "\n");
}

void TraceOutput::LogEntry(const std::string& entry)
{
    Event("LOG " + QuotedBytes(reinterpret_cast<const uint8_t*>(entry.data()), entry.size()));
}

void TraceOutput::FileBegins(const RunFile& file)
{
    Event("TX FILE " + BaseName(file.Path) + " " + std::to_string(file.Size) + " bytes begin");
}

void TraceOutput::FileEnds(const RunFile& file, int64_t written, bool complete)
{
    const std::string name = "TX FILE " + BaseName(file.Path) + " ";
    const std::string size = std::to_string(file.Size);
    if (!complete)
        Event(name + std::to_string(written) + " of " + size + " bytes stopped short");
    else if (written != file.Size)
        Event(name + std::to_string(written) + " of " + size + " bytes end");
    else
        Event(name + size + " bytes end");
}

void TraceOutput::LineSent(const uint8_t* bytes, size_t count)
{
    Event("TX " + QuotedBytes(bytes, count));
}

void TraceOutput::LineReceived(const uint8_t* bytes, size_t count)
{
    Event("RX " + QuotedBytes(bytes, count));
}

void TraceOutput::SilentRead()
{
    Event("READ 0 bytes (silent)");
}

void TraceOutput::Paused(unsigned milliseconds)
{
    Event("PAUSE " + std::to_string(milliseconds) + " ms");
}

void TraceOutput::End(const RunResult& result)
{
    if (!result.Warning.empty())
        Event("WARNING " + result.Warning);
    Event(std::string("END ") + OutcomeText(result.End));
}
