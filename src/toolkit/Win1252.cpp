// SPDX-License-Identifier: MIT
#include "Win1252.h"

#include <array>

namespace {

// 0x80..0x9F of Windows-1252; 0 marks the undefined bytes.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

QString FromSystemText(const std::string& text)
{
    QString result;
    result.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte < 0xA0) {
            const char16_t mapped = kHighControls[byte - 0x80];
            result.append(QChar(mapped ? mapped : char16_t(0xFFFD)));
        } else {
            result.append(QChar(char16_t(byte)));
        }
    }
    return result;
}

std::string ToSystemText(const QString& text)
{
    std::string result;
    result.reserve(static_cast<size_t>(text.size()));
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            result.push_back(static_cast<char>(u));
            continue;
        }
        char out = '?';
        for (size_t i = 0; i < kHighControls.size(); ++i)
            if (kHighControls[i] == u && u != 0)
                out = static_cast<char>(0x80 + i);
        result.push_back(out);
    }
    return result;
}

std::string ToTerminalText(const std::string& text)
{
    return FromSystemText(text).toLocal8Bit().toStdString();
}

QString FromLocalPath(const std::string& path)
{
    return QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size()));
}
