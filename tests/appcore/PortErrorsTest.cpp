// SPDX-License-Identifier: MIT
#include "PortErrors.h"

#include "FirmFileSet.h"
#include "Messages.h"
#include "SystemTexts.h"
#include "TempCurrentDir.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

struct ComErrorCase {
    int Code;
    std::string Item;
    std::vector<std::string> Texts;  // every box, in order
};

TEST(ShowComError, MessagesPerCode)
{
    const std::vector<ComErrorCase> cases{
        {8, "COM3", {"Error open, COM COM3"}},
        {8, "", {"Error open, COM "}},
        {10, "COM12", {"Error read, COM COM12"}},
        {6, "COM3", {"Comm Error: ", "Error COMCOM3"}},
        {11, "COM1", {"Comm Error: ", "Error COMCOM1"}},
        {14, "", {"Comm Error: ", "Error COM"}},
        {1, "COM2", {"Comm Error: ", "Error COMCOM2"}},
    };
    Application().Title = Texts::ApplicationTitle;
    for (const ComErrorCase& c : cases) {
        SCOPED_TRACE(c.Code);
        RecordingMessageService recorder;
        ScopedMessageService scope(recorder);
        ShowComError(c.Code, c.Item);
        EXPECT_EQ(recorder.Texts(), c.Texts);
        const auto boxes = recorder.Boxes();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().Caption, "Corvalt");
        EXPECT_EQ(boxes.back().Icon, MsgIcon::Warning);
        if (boxes.size() == 2) {
            EXPECT_EQ(boxes[0].Caption, "Zendrak");  // the plain dialog
            EXPECT_EQ(boxes[0].Icon, MsgIcon::None);
        }
    }
}

class FirmClosePortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir.Write("font.app", "FONT");
        Dir.Write("out.app", "OUT");
        Files.BuildFirmFileList();
        ASSERT_TRUE(Files.ReadFirmFiles());
    }
    void ExpectReleased()
    {
        for (int32_t type = 1; type <= 3; ++type) {
            EXPECT_EQ(Files.GetFileSize(type), 0);
            EXPECT_EQ(Files.GetFileBuffer(type), nullptr);
        }
        EXPECT_FALSE(Files.FirmFileNames[0].empty());  // the names stay
        EXPECT_EQ(Enabled, std::vector<bool>{true});
    }

    TempCurrentDir Dir;
    FirmFileSet Files;
    std::vector<bool> Enabled;
    std::function<void(bool)> Enable = [this](bool enable) { Enabled.push_back(enable); };
    std::function<void()> Release = [this] { Files.ReleaseFirmFiles(); };
    RecordingMessageService Recorder;
    ScopedMessageService Scope{Recorder};
};

TEST_F(FirmClosePortTest, WithoutPortReleasesAndEnables)
{
    FirmClosePort(nullptr, Release, Enable);
    ExpectReleased();
    EXPECT_TRUE(Recorder.Boxes().empty());
}

TEST_F(FirmClosePortTest, ClosedPortIsNotClosedAgain)
{
    TCommPort port;
    FirmClosePort(&port, Release, Enable);
    EXPECT_FALSE(port.PortOpen);
    ExpectReleased();
    EXPECT_TRUE(Recorder.Boxes().empty());  // no close was tried, so no code 11
}

TEST_F(FirmClosePortTest, OpenPortIsClosed)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    TCommPort port;
    port.PortName = ::ptsname(master);
    port.SetBaudRate(115200);
    port.OpenCommPort();
    ASSERT_TRUE(port.PortOpen);
    FirmClosePort(&port, Release, Enable);
    EXPECT_FALSE(port.PortOpen);
    ExpectReleased();
    // Closed for good: the device can be opened again.
    port.OpenCommPort();
    EXPECT_TRUE(port.PortOpen);
    port.CloseCommPort();
    ::close(master);
    EXPECT_TRUE(Recorder.Boxes().empty());
}

}  // namespace
