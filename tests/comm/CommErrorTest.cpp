// SPDX-License-Identifier: MIT
// Making a serial error: code, errno, and the "COM Error" box before the throw.
#include "Messages.h"
#include "PortErrorAdvice.h"
#include "SystemTexts.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <exception>

namespace {

// Notes for each box whether an exception was already on its way when it was shown.
class OrderRecorder : public RecordingMessageService {
public:
    void Show(const MessageBoxRequest& request) override
    {
        ThrownBeforeBox = ThrownBeforeBox || std::uncaught_exceptions() > 0 || Caught;
        RecordingMessageService::Show(request);
    }
    bool ThrownBeforeBox = false;
    bool Caught = false;
};

TEST(ECommError, StoresCodeAndErrnoAndShowsTheBoxBeforeItIsThrown)
{
    OrderRecorder recorder;
    ScopedMessageService scope(recorder);
    try {
        errno = EACCES;
        throw ECommError(8);
    } catch (const ECommError& error) {
        recorder.Caught = true;
        EXPECT_EQ(error.Code, 8);
        EXPECT_EQ(error.LastError, static_cast<uint32_t>(EACCES));
        ASSERT_EQ(recorder.Boxes().size(), 1u);
    }
    EXPECT_FALSE(recorder.ThrownBeforeBox);
    const auto box = recorder.Boxes().at(0);
    EXPECT_EQ(box.Text, "COM Error");
    EXPECT_EQ(box.Caption, "error");
    EXPECT_EQ(box.Icon, MsgIcon::Warning);
    EXPECT_EQ(box.Details, PortErrorAdvice(EACCES));
}

TEST(ECommError, KeepsErrnoForTheCaller)
{
    RecordingMessageService recorder;
    ScopedMessageService scope(recorder);
    errno = EBUSY;
    const ECommError error(8);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(error.LastError, static_cast<uint32_t>(EBUSY));
}

TEST(ECommError, PassingACaughtCodeOnShowsAnotherBox)
{
    RecordingMessageService recorder;
    ScopedMessageService scope(recorder);
    try {
        try {
            errno = EIO;
            throw ECommError(9);
        } catch (const ECommError& first) {
            throw ECommError(first.Code);
        }
    } catch (const ECommError& second) {
        EXPECT_EQ(second.Code, 9);
    }
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"COM Error", "COM Error"}));
}

struct AdviceCase {
    int Error;
    const char* Meaning;
    const char* Advice;
};

class PortErrorAdviceTest : public ::testing::TestWithParam<AdviceCase> {};

TEST_P(PortErrorAdviceTest, SaysWhatTheErrorMeansAndWhatToDo)
{
    const auto& c = GetParam();
    const std::string advice = PortErrorAdvice(static_cast<uint32_t>(c.Error));
    EXPECT_EQ(advice.rfind(c.Meaning, 0), 0u) << advice;
    EXPECT_NE(advice.find(c.Advice), std::string::npos) << advice;
    for (const char ch : advice)
        EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << "not plain ASCII: " << advice;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, PortErrorAdviceTest,
    ::testing::Values(AdviceCase{EACCES, "Permission denied", "dialout"},
                      AdviceCase{EPERM, "Operation not permitted", "dialout"},
                      AdviceCase{EBUSY, "Device or resource busy", "ModemManager"},
                      AdviceCase{EBUSY, "Device or resource busy", "brltty"},
                      AdviceCase{ENOENT, "No such file or directory", "unplugged"},
                      AdviceCase{ENOENT, "No such file or directory", "port map"},
                      AdviceCase{EIO, "Input/output error", "gone away"},
                      AdviceCase{ENOTTY, "Inappropriate ioctl for device", "not a serial"},
                      AdviceCase{EMFILE, "Too many open files", "."}));

TEST(PortErrorAdvice, IsEmptyWithoutASystemError)
{
    EXPECT_EQ(PortErrorAdvice(0), "");
    EXPECT_FALSE(PortErrorAdvice(99999).empty());
}

}  // namespace
