// SPDX-License-Identifier: MIT
// A group's own files (what no output file may be): with one port the update log of the working
// folder and the port's device, with several each port's log in its folder and each device. The
// kinds of file an output may not be are OutputFile's own table (tests/appcore).
#include "OutputFile.h"
#include "RunGroup.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST(OwnFiles, EachPortsLogAndDeviceBesideTheFolders)
{
    char pattern[] = "/tmp/zendrak-own-XXXXXX";
    const fs::path work = ::mkdtemp(pattern);
    RunGroup group({work.string(), 0, TFirmThread::DefaultWaitSavedLimit});
    ASSERT_FALSE(group.TakeFolder());
    const PortSpec first = *PortSpec::Parse("/dev/ttyRX1");
    const PortSpec second = *PortSpec::Parse("/dev/ttyRX2");
    const auto refusal = [&](const std::vector<PortSpec>& ports, const std::string& name) {
        return CheckOutputFile(name, work.string(), group.OwnFiles(ports)).Reason;
    };
    // One port: its log is the working folder's; a folder named after it is nobody's.
    EXPECT_EQ(refusal({first}, "logUpdate.txt"), "is the update log logUpdate.txt");
    EXPECT_EQ(refusal({first}, "/dev/ttyRX1"), "is the port's device");
    fs::create_directory(work / "ttyRX1");
    EXPECT_EQ(refusal({first}, "ttyRX1/logUpdate.txt"), "");
    // Several: every port's own log and device, whether written yet or not.
    for (const char* name : {"ttyRX1", "ttyRX2"}) {
        fs::create_directories(work / name);
        EXPECT_EQ(refusal({first, second}, std::string(name) + "/logUpdate.txt"),
                  "is the update log " + (work / name / "logUpdate.txt").string());
    }
    EXPECT_EQ(refusal({first, second}, "/dev/ttyRX2"), "is the port's device");
    EXPECT_EQ(refusal({first, second}, "font.app"), "is the firmware file font.app");
    EXPECT_EQ(refusal({first, second}, "trace.txt"), "");
    fs::remove_all(work);
}

}  // namespace
