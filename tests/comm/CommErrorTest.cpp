// SPDX-License-Identifier: MIT
// Making a serial error: code and errno, kept as a value; nothing is shown where it is made.
#include "Messages.h"
#include "PortErrorAdvice.h"
#include "SystemTexts.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <exception>

namespace {

TEST(ECommError, StoresCodeErrnoAndHoldersAndShowsNothing)
{
    RecordingMessageService recorder;
    ScopedMessageService scope(recorder);
    try {
        errno = EACCES;
        throw ECommError(8, {{42, "minicom"}});
    } catch (const ECommError& error) {
        EXPECT_EQ(error.Code, 8);
        EXPECT_EQ(error.LastError, static_cast<uint32_t>(EACCES));
        EXPECT_EQ(error.Holders, (std::vector<PortHolder>{{42, "minicom"}}));
        // A copy, as a run's first error is kept, says the same.
        const ECommError kept = error;
        EXPECT_EQ(kept.Code, 8);
        EXPECT_EQ(kept.LastError, error.LastError);
    }
    EXPECT_TRUE(recorder.Boxes().empty());
}

TEST(ECommError, KeepsErrnoForTheCaller)
{
    errno = EBUSY;
    const ECommError error(8);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(error.LastError, static_cast<uint32_t>(EBUSY));
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
