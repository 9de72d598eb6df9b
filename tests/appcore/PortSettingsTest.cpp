// SPDX-License-Identifier: MIT
#include "PortSettings.h"

#include "Exceptions.h"
#include "Messages.h"
#include "SystemTexts.h"
#include "TempCurrentDir.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <functional>

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
    for (const Case& c :
         {Case{"", 1}, Case{"\x0C", 12}, Case{"\xC8", 200}, Case{std::string(1, '\0'), 0},
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

void Put(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// What a user may have made of the file: it is written as writing into it would treat it.
struct WriteCase {
    const char* Name;
    std::function<void(const fs::path& dir)> Make;
    bool Saved;
    const char* Target;  // where the byte lands (or the old byte stays)
    fs::perms Mode;      // the target's mode afterwards
};

TEST_F(PortSettingsTest, WriteFollowsLinksKeepsTheModeAndLeavesReadOnlyFilesAlone)
{
    using P = fs::perms;
    const P rw_r = P::owner_read | P::owner_write | P::group_read;
    const P r_r_r = P::owner_read | P::group_read | P::others_read;
    const WriteCase cases[] = {
        {"LinkToAFile",
         [](const fs::path& d) {
             Put(d / "real.dat", "\x05");
             fs::permissions(d / "real.dat", rw_r);
             fs::create_symlink("real.dat", d / "Zendrak.dat");
         },
         true, "real.dat", rw_r},
        {"LinkToNothingYet",
         [](const fs::path& d) { fs::create_symlink("sub/new.dat", d / "Zendrak.dat"); }, true,
         "sub/new.dat", P::none},
        {"ModeKept",
         [](const fs::path& d) {
             Put(d / "Zendrak.dat", "\x05");
             fs::permissions(d / "Zendrak.dat", rw_r);
         },
         true, "Zendrak.dat", rw_r},
        {"ReadOnly",
         [](const fs::path& d) {
             Put(d / "Zendrak.dat", "\x05");
             fs::permissions(d / "Zendrak.dat", r_r_r);
         },
         false, "Zendrak.dat", r_r_r},
        {"LinkToAReadOnlyFile",
         [](const fs::path& d) {
             Put(d / "real.dat", "\x05");
             fs::permissions(d / "real.dat", r_r_r);
             fs::create_symlink(d / "real.dat", d / "Zendrak.dat");
         },
         false, "real.dat", r_r_r},
        {"Fifo", [](const fs::path& d) { ::mkfifo((d / "Zendrak.dat").c_str(), 0644); }, false,
         "Zendrak.dat", P::none},
        {"LinkLoop",
         [](const fs::path& d) {
             fs::create_symlink("loop", d / "Zendrak.dat");
             fs::create_symlink("Zendrak.dat", d / "loop");
         },
         false, "Zendrak.dat", P::none},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path dir = Dir.Path / c.Name;
        fs::create_directories(dir / "sub");
        fs::current_path(dir);
        c.Make(dir);
        const bool wasLink = fs::is_symlink(dir / "Zendrak.dat");
        Recorder.Clear();
        EXPECT_EQ(WritePortSettings(9), c.Saved);
        EXPECT_EQ(Recorder.Boxes().size(), c.Saved ? 0u : 1u);
        EXPECT_EQ(fs::is_symlink(dir / "Zendrak.dat"), wasLink);  // a link stays a link
        const fs::path target = dir / c.Target;
        std::error_code loop;
        if (fs::is_regular_file(target, loop)) {
            EXPECT_EQ(Dir.Read((fs::path(c.Name) / c.Target).string()), c.Saved ? "\x09" : "\x05");
        }
        if (c.Mode != P::none) {
            EXPECT_EQ(fs::status(target).permissions(), c.Mode);
        }
        if (std::string(c.Name) == "Fifo") {
            EXPECT_TRUE(fs::is_fifo(target));  // neither replaced nor blocked on
        }
        // No temporary file is left behind.
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_EQ(entry.path().filename().string().find(".dat."), std::string::npos);
    }
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
    {"", Outcome::Range, 0,
     "Fehler bei Bereichspr\xFC"
     "fung"},
    {"C", Outcome::Range, 0,
     "Fehler bei Bereichspr\xFC"
     "fung"},
    {"COM", Outcome::Range, 0,
     "Fehler bei Bereichspr\xFC"
     "fung"},
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
