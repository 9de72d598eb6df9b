// SPDX-License-Identifier: MIT
#include "HistoryCsv.h"

#include "SystemTexts.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at `at` (shortest form, no surrogates, at most U+10FFFF);
// 0 when the bytes there are not one.
size_t Utf8SequenceAt(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

std::string HexEscape(unsigned char byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    return text;
}

std::string Number(int64_t value)
{
    return std::to_string(value);
}

std::string Seconds(std::chrono::milliseconds duration)
{
    const int64_t ms = duration.count() < 0 ? 0 : duration.count();
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return text;
}

// The three firmware files by their bare names, in the order of their columns.
constexpr const char* FileSlots[] = {Texts::FirmFileFont, Texts::FirmFileDecoder,
                                     Texts::FirmFileOut};

bool HasName(const std::string& path, const char* slashName)
{
    const std::string_view name(slashName);  // "/font.app"
    return path.size() >= name.size() &&
           path.compare(path.size() - name.size(), name.size(), name.data(), name.size()) == 0;
}

}  // namespace

std::string CsvField(std::string_view raw)
{
    std::string text;
    text.reserve(raw.size());
    bool quote = false;
    for (size_t at = 0; at < raw.size();) {
        const size_t length = Utf8SequenceAt(raw, at);
        const auto byte = static_cast<unsigned char>(raw[at]);
        if (length == 0 || byte < 0x20 || byte == 0x7F) {
            text += HexEscape(byte);
            ++at;
            continue;
        }
        if (byte == '\\') {
            text += "\\\\";
        } else if (byte == '"') {
            text += "\"\"";
            quote = true;
        } else {
            if (byte == ',')
                quote = true;
            text.append(raw.substr(at, length));
        }
        at += length;
    }
    return quote ? '"' + text + '"' : text;
}

std::string HistoryHeaderLine()
{
    return "start_utc,port,device,adapter,folder,font_size,font_sha256,decoder_size,"
           "decoder_sha256,out_size,out_sha256,outcome,cause,attempt,duration_s,log\r\n";
}

std::string HistoryLine(const HistoryRecord& record)
{
    std::vector<std::string> fields = {IsoUtc(record.Start), CsvField(record.Port),
                                       CsvField(record.Device), CsvField(record.Adapter),
                                       CsvField(record.Folder)};
    for (const char* slot : FileSlots) {
        std::string size, sha;
        for (const RunFile& file : record.Files) {
            if (HasName(file.Path, slot)) {
                size = Number(file.Size);
                sha = CsvField(file.Sha256);
            }
        }
        fields.push_back(size);
        fields.push_back(sha);
    }
    fields.push_back(CsvField(record.Outcome));
    fields.push_back(CsvField(record.Cause));
    fields.push_back(Number(record.Attempt));
    fields.push_back(Seconds(record.Duration));
    fields.push_back(CsvField(record.KeptLog));
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i)
        line += (i > 0 ? "," : "") + fields[i];
    return line + "\r\n";
}
