// SPDX-License-Identifier: MIT
// The system's texts carry exactly the bytes the receiver, the log and the user see.
#include "SystemTexts.h"
#include "Win1252.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Expected {
    const char* text;
    std::vector<unsigned char> bytes;
};

std::vector<unsigned char> Bytes(const char* text)
{
    const std::string s = text;
    return {s.begin(), s.end()};
}

std::vector<unsigned char> Ascii(const char* text)
{
    return Bytes(text);
}

TEST(SystemTexts, GermanTextsAreWindows1252)
{
    const std::vector<Expected> cases = {
        {Texts::LogInStartMenuSuffix,
         {' ', '(', 'i', 'm', ' ', 'S', 't', 'a', 'r', 't', 'm', 'e', 'n', 0xFC, ')'}},
        {Texts::StatusSendingFile3, {'D', 'a', 't', 'e', 'i', ' ', 'w', 'i', 'r', 'd', ' ', 0xFC,
                                     'b', 'e', 'r', 't', 'r', 'a', 'g', 'e', 'n', '.', '.', '.'}},
        {Texts::StatusSendingFile4,
         {'D', 'a', 't', 'e', 'i', ' ', 'w', 'i', 'r', 'd', ' ', 0xFC, 'b',
          'e', 'r', 't', 'r', 'a', 'g', 'e', 'n', '.', '.', '.', '.'}},
        {Texts::StatusFileSent,
         {'D', 'a', 't', 'e', 'i',  ' ', 'v', 'o', 'l', 'l', 's', 't', 0xE4, 'n',
          'd', 'i', 'g', ' ', 0xFC, 'b', 'e', 'r', 't', 'r', 'a', 'g', 'e',  'n'}},
        {Texts::StatusFileAccepted, {'D', 'a',  't', 'e', 'i', ' ', 'w', 'u', 'r', 'd', 'e',
                                     ' ', 0xFC, 'b', 'e', 'r', 'n', 'o', 'm', 'm', 'e', 'n'}},
        {Texts::StatusAllFilesSent,
         {'A', 'l', 'l', 'e', ' ', 'D',  'a', 't', 'e', 'i', 'e', 'n', ' ', 'w', 'u',
          'r', 'd', 'e', 'n', ' ', 0xFC, 'b', 'e', 'r', 't', 'r', 'a', 'g', 'e', 'n'}},
        {Texts::RangeErrorText, {'F', 'e', 'h', 'l', 'e', 'r', ' ', 'b', 'e',  'i', ' ', 'B', 'e',
                                 'r', 'e', 'i', 'c', 'h', 's', 'p', 'r', 0xFC, 'f', 'u', 'n', 'g'}},
        {Texts::ConvertErrorFormat,
         {'\'', '%', 's', '\'', ' ', 'i', 's', 't', ' ', 'k', 'e', 'i', 'n', ' ', 'g', 0xFC, 'l',
          't',  'i', 'g', 'e',  'r', ' ', 'I', 'n', 't', 'e', 'g', 'e', 'r', 'w', 'e', 'r',  't'}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Bytes(c.text), c.bytes) << c.text;
}

TEST(SystemTexts, BlanksAndDotsThatMatter)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {Texts::MarkerStartMenu, "LOAD  APP"},
        {Texts::StatusNoConnection, "Keine Verbindung zum Receiver: "},
        {Texts::StatusReadError, "Lesefehler auf serieller Schnittstelle "},
        {Texts::LogTry100Again, "Try 100 again "},
        {Texts::LogWaitResultReadNothing, "ST_WAITRESULT readNothing "},
        {Texts::LogWaitSavedReadNothing, "ST_WAITSAVED readNothing "},
        {Texts::LogConnectReadStuffLimit, "readstuff > 60"},
        {Texts::LogTransferReadStuffLimit, "readStuff > 60"},
        {Texts::ErrorOpenCom, "Error open, COM "},
        {Texts::ErrorReadCom, "Error read, COM "},
        {Texts::CommErrorDialog, "Comm Error: "},
        {Texts::PortNamePrefix, "\\\\.\\COM"},
        {Texts::SettingsNotSaved, "Einstellung kann nicht gepeichert werden"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Bytes(text), Ascii(expected)) << expected;
}

TEST(Win1252, DisplayConversionRoundTrips)
{
    const std::string all = [] {
        std::string s;
        for (int b = 1; b < 256; ++b)
            if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
                s.push_back(static_cast<char>(b));
        return s;
    }();
    EXPECT_EQ(ToSystemText(FromSystemText(all)), all);
    EXPECT_EQ(FromSystemText(Texts::StatusFileSent),
              QString::fromUtf8("Datei vollständig übertragen"));
    EXPECT_EQ(FromSystemText("\x80"), QString(QChar(0x20AC)));
    EXPECT_EQ(ToSystemText(QString::fromUtf8("Startmenü")), "Startmen\xFC");
}

}  // namespace
