// SPDX-License-Identifier: MIT
#include "PortSettings.h"

#include "Exceptions.h"
#include "Messages.h"
#include "SystemTexts.h"
#include "TempCurrentDir.h"
#include "comm_port.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class PortSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ComPortNumber = 1;
        Application().Title = Texts::ApplicationTitle;
    }
    TempCurrentDir Dir;
    RecordingMessageService Recorder;
    ScopedMessageService Scope{Recorder};
};

TEST_F(PortSettingsTest, MissingFileShowsTheBoxAndKeepsOne)
{
    ComPortNumber = 1;
    ReadPortSettings();
    EXPECT_EQ(ComPortNumber, 1);
    const auto boxes = Recorder.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Error open Zendrak.dat !!!");
    EXPECT_EQ(boxes[0].Caption, "Corvalt");
    EXPECT_EQ(boxes[0].Icon, MsgIcon::Warning);
    EXPECT_FALSE(fs::exists(Dir.Path / "Zendrak.dat"));  // reading never creates it
}

TEST_F(PortSettingsTest, FileContentsGiveTheNumber)
{
    struct Case {
        std::string Bytes;
        uint8_t Expected;
    };
    for (const Case& c : {Case{"", 1}, Case{"\x0C", 12}, Case{"\xC8", 200}, Case{std::string(1, '\0'), 0},
                          Case{"\xFF", 255}, Case{"\x03garbage", 3}}) {
        SCOPED_TRACE(c.Bytes.size());
        ComPortNumber = 1;
        Dir.Write("Zendrak.dat", c.Bytes);
        ReadPortSettings();
        EXPECT_EQ(ComPortNumber, c.Expected);
    }
    EXPECT_TRUE(Recorder.Boxes().empty());
}

TEST_F(PortSettingsTest, UnreadableFileIsLikeAMissingOne)
{
    fs::create_directory(Dir.Path / "Zendrak.dat");  // opens, but yields no byte
    ComPortNumber = 7;
    ReadPortSettings();
    EXPECT_EQ(ComPortNumber, 7);
}

TEST_F(PortSettingsTest, WriteLeavesExactlyOneByteAndNoTemporaryFile)
{
    Dir.Write("Zendrak.dat", "old contents");
    for (const uint8_t number : {uint8_t(12), uint8_t(0), uint8_t(99), uint8_t(255)}) {
        ASSERT_TRUE(WritePortSettings(number));
        EXPECT_EQ(Dir.Read("Zendrak.dat"), std::string(1, char(number)));
        ComPortNumber = 1;
        ReadPortSettings();
        EXPECT_EQ(ComPortNumber, number);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path), fs::directory_iterator()), 1);
    EXPECT_TRUE(Recorder.Boxes().empty());
}

TEST_F(PortSettingsTest, WriteFailureShowsThePlainDialog)
{
    fs::create_directory(Dir.Path / "Zendrak.dat");  // a file cannot replace a directory
    EXPECT_FALSE(WritePortSettings(5));
    const auto boxes = Recorder.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Einstellung kann nicht gepeichert werden");
    EXPECT_EQ(boxes[0].Caption, "Zendrak");
    EXPECT_EQ(boxes[0].Icon, MsgIcon::None);
    EXPECT_TRUE(fs::is_directory(Dir.Path / "Zendrak.dat"));
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path), fs::directory_iterator()), 1);
}

enum class Outcome { Number, Range, Convert };

struct TextCase {
    std::string Text;
    Outcome Expected;
    uint8_t Number = 0;
    std::string Message = {};
};

const std::vector<TextCase> TextCases{
    {"COM1", Outcome::Number, 1},
    {"COM9", Outcome::Number, 9},
    {"COM12", Outcome::Number, 12},
    {"COM99", Outcome::Number, 99},
    {"COM123", Outcome::Number, 12},
    {"COM10", Outcome::Number, 10},
    {"COM100", Outcome::Number, 10},
    {"XYZ7", Outcome::Number, 7},
    {"COM0", Outcome::Number, 0},
    {"COM05", Outcome::Number, 5},
    {"COM12abc", Outcome::Number, 12},
    {"", Outcome::Range, 0, "Fehler bei Bereichspr\xFC" "fung"},
    {"C", Outcome::Range, 0, "Fehler bei Bereichspr\xFC" "fung"},
    {"COM", Outcome::Range, 0, "Fehler bei Bereichspr\xFC" "fung"},
    {"COMx", Outcome::Convert, 0, "'x' ist kein g\xFCltiger Integerwert"},
    {"COM1x", Outcome::Convert, 0, "'x' ist kein g\xFCltiger Integerwert"},
    {"COM 1", Outcome::Convert, 0, "' ' ist kein g\xFCltiger Integerwert"},
    {"COM-1", Outcome::Convert, 0, "'-' ist kein g\xFCltiger Integerwert"},
    {"COM+", Outcome::Convert, 0, "'+' ist kein g\xFCltiger Integerwert"},
    {"COM\xFC", Outcome::Convert, 0, "'\xFC' ist kein g\xFCltiger Integerwert"},
};

TEST(PortNumberOfText, ConvertsPositionsFourAndFive)
{
    for (const TextCase& c : TextCases) {
        SCOPED_TRACE(c.Text);
        switch (c.Expected) {
        case Outcome::Number:
            EXPECT_EQ(PortNumberOfText(c.Text), c.Number);
            EXPECT_EQ(TryPortNumberOfText(c.Text), c.Number);
            break;
        case Outcome::Range:
            try {
                PortNumberOfText(c.Text);
                ADD_FAILURE() << "no error";
            } catch (const ERangeError& e) {
                EXPECT_EQ(e.Message, c.Message);
            }
            EXPECT_EQ(TryPortNumberOfText(c.Text), std::nullopt);
            break;
        case Outcome::Convert:
            try {
                PortNumberOfText(c.Text);
                ADD_FAILURE() << "no error";
            } catch (const EConvertError& e) {
                EXPECT_EQ(e.Message, c.Message);
            }
            EXPECT_EQ(TryPortNumberOfText(c.Text), std::nullopt);
            break;
        }
    }
}

TEST(ConfigureCommPort, RecordsTheReceiversLineSettingsOnAClosedPort)
{
    TCommPort port;
    ConfigureCommPort(port, 12);
    EXPECT_EQ(port.PortName, "\\\\.\\COM12");
    EXPECT_EQ(port.LineSettings.BaudRate, 115200u);
    EXPECT_EQ(port.LineSettings.ByteSize, 8);
    EXPECT_EQ(port.LineSettings.Parity, NOPARITY);
    EXPECT_EQ(port.LineSettings.StopBits, ONESTOPBIT);
    EXPECT_FALSE(port.PortOpen);
    ConfigureCommPort(port, 200);
    EXPECT_EQ(port.PortName, "\\\\.\\COM200");
}

}  // namespace
