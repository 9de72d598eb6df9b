// SPDX-License-Identifier: MIT
// Which device a port name stands for.
#include "PortName.h"
#include "PtyPeer.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

struct NameCase {
    const char* Name;
    int Number;
};

class ComNumberOfPortNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ComNumberOfPortNameTest, ReadsTheNumberOfComNamesOnly)
{
    EXPECT_EQ(ComNumberOfPortName(GetParam().Name), GetParam().Number) << GetParam().Name;
}

INSTANTIATE_TEST_SUITE_P(Names, ComNumberOfPortNameTest,
                         ::testing::Values(NameCase{"\\\\.\\COM3", 3}, NameCase{"\\\\.\\COM12", 12},
                                           NameCase{"\\\\.\\COM200", 200}, NameCase{"COM1", 1},
                                           NameCase{"\\\\.\\COM0", 0}, NameCase{"\\\\.\\COM03", 0},
                                           NameCase{"\\\\.\\COM3a", 0}, NameCase{"\\\\.\\COM", 0},
                                           NameCase{"\\\\.\\COM1000", 0}, NameCase{"/dev/ttyS0", 0},
                                           NameCase{"", 0}));

TEST(ResolvePortName, ComNamesGoThroughTheMapAndPathsAreTakenAsTheyAre)
{
    ScopedPortMap map("COM1=/dev/ttyS0\nCOM12 = /dev/serial/by-id/usb-adapter\n");
    EXPECT_EQ(ResolvePortName("\\\\.\\COM12"), "/dev/serial/by-id/usb-adapter");
    EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");  // the port's default name
    EXPECT_EQ(ResolvePortName("/dev/ttyACM3"), "/dev/ttyACM3");
    EXPECT_EQ(ResolvePortName("ttyS1"), "ttyS1");
    for (const char* unmapped : {"\\\\.\\COM2", "\\\\.\\COM200", "\\\\.\\COMx", "COM"}) {
        errno = 0;
        EXPECT_EQ(ResolvePortName(unmapped), std::nullopt) << unmapped;
        EXPECT_EQ(errno, ENOENT);
    }
}

}  // namespace
