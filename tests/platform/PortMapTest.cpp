// SPDX-License-Identifier: MIT
// The port map: the file's lines, detected devices and the listing they make.
#include "PortMap.h"
#include "TempPortMap.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

// "n=device" for each listed port, blank-separated, for compact expectations.
std::string Summary(const PortMapListing& listing)
{
    std::string text;
    for (const auto& port : listing.Ports) {
        EXPECT_EQ(port.Text, "COM" + std::to_string(port.Number));
        text += (text.empty() ? "" : " ") + std::to_string(port.Number) + "=" + port.Device;
    }
    return text;
}

struct ParseCase {
    const char* Case;
    const char* Content;
    std::vector<DetectedSerialPort> Detected;
    const char* Expected;
    int MalformedLine;  // 0: the listing is complete
    const char* MalformedText = "";
};

class ParsePortMapTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParsePortMapTest, ListsWhatTheLinesAndTheDevicesGive)
{
    const auto& c = GetParam();
    const PortMapListing listing = ParsePortMap(c.Content, c.Detected);
    EXPECT_EQ(Summary(listing), c.Expected);
    EXPECT_EQ(listing.Malformed, c.MalformedLine != 0);
    EXPECT_EQ(listing.MalformedLine, c.MalformedLine);
    EXPECT_EQ(listing.MalformedText, c.MalformedText);
}

const std::vector<DetectedSerialPort> NoDevices;
const std::vector<DetectedSerialPort> UsbAndAcm = {{"/dev/ttyUSB0", "FT232R USB UART, FTDI"},
                                                   {"/dev/ttyACM0", "CDC device"}};

INSTANTIATE_TEST_SUITE_P(
    Lines, ParsePortMapTest,
    ::testing::Values(
        ParseCase{"EmptyFile", "", NoDevices, "", 0},
        ParseCase{"OneLine", "COM3=/dev/ttyUSB0\n", NoDevices, "3=/dev/ttyUSB0", 0},
        ParseCase{"LastLineWithoutNewline", "COM3=/dev/a", NoDevices, "3=/dev/a", 0},
        ParseCase{"BlanksTrimmedOnBothSides", "  COM3 \t=  /dev/a b  \r\n", NoDevices, "3=/dev/a b",
                  0},
        ParseCase{"CommentsAndEmptyLinesSkipped", "# ports\n\n   \n  # indented\nCOM1=/dev/a\n",
                  NoDevices, "1=/dev/a", 0},
        ParseCase{"AscendingOrder", "COM12=/dev/c\nCOM5=/dev/b\nCOM2=/dev/a\n", NoDevices,
                  "2=/dev/a 5=/dev/b 12=/dev/c", 0},
        ParseCase{"NumbersOneToNinetyNine", "COM99=/dev/b\nCOM1=/dev/a\n", NoDevices,
                  "1=/dev/a 99=/dev/b", 0},
        ParseCase{"FirstLineForANumberWins", "COM3=/dev/a\nCOM3=/dev/b\n", NoDevices, "3=/dev/a",
                  0},
        ParseCase{"ComZero", "COM1=/dev/a\nCOM0=/dev/b\n", NoDevices, "1=/dev/a", 2, "COM0=/dev/b"},
        ParseCase{"ComHundred", "COM100=/dev/b\n", NoDevices, "", 1, "COM100=/dev/b"},
        ParseCase{"ComHundredAfterAPort", "COM1=/dev/a\n\nCOM255=/dev/b\n", NoDevices, "1=/dev/a",
                  3, "COM255=/dev/b"},
        ParseCase{"LeadingZero", "COM03=/dev/b\n", NoDevices, "", 1, "COM03=/dev/b"},
        ParseCase{"NoNumber", "COM=/dev/b\n", NoDevices, "", 1, "COM=/dev/b"},
        ParseCase{"NotANumber", "COM3a=/dev/b\n", NoDevices, "", 1, "COM3a=/dev/b"},
        ParseCase{"AnyCase", "com3=/dev/b\nCoM4=/dev/c\n", NoDevices, "3=/dev/b 4=/dev/c", 0},
        ParseCase{"OtherName", "PORT3=/dev/b\n", NoDevices, "", 1, "PORT3=/dev/b"},
        ParseCase{"MissingEquals", "COM3 /dev/b\n", NoDevices, "", 1, "COM3 /dev/b"},
        ParseCase{"EmptyPath", "COM3=  \n", NoDevices, "", 1, "COM3="},
        ParseCase{"MalformedLineStopsTheListing",
                  "COM4=/dev/a\n#\nbad line\nCOM2=/dev/c\n",
                  {{"/dev/ttyUSB0", ""}},
                  "1=/dev/ttyUSB0 4=/dev/a",
                  3,
                  "bad line"},
        ParseCase{"DevicesTakeTheLowestFreeNumbers", "COM1=/dev/a\nCOM3=/dev/b\n", UsbAndAcm,
                  "1=/dev/a 2=/dev/ttyUSB0 3=/dev/b 4=/dev/ttyACM0", 0},
        ParseCase{"AMappedDeviceIsNotListedAgain", "COM5=/dev/ttyUSB0\n", UsbAndAcm,
                  "1=/dev/ttyACM0 5=/dev/ttyUSB0", 0},
        ParseCase{"DevicesOnly", "", UsbAndAcm, "1=/dev/ttyUSB0 2=/dev/ttyACM0", 0},
        ParseCase{"PortsOnOtherMachines", "COM5=rfc2217://bench-3:3001\nCOM2=tcp://[::1]:3002\n",
                  UsbAndAcm,
                  "1=/dev/ttyUSB0 2=tcp://[::1]:3002 3=/dev/ttyACM0 5=rfc2217://bench-3:3001", 0},
        ParseCase{"NetworkAddressWithoutPort", "COM1=/dev/a\nCOM5=rfc2217://bench-3\nCOM6=/dev/b\n",
                  NoDevices, "1=/dev/a", 2, "COM5=rfc2217://bench-3"},
        ParseCase{"UnknownScheme", "COM5=telnet://bench-3:23\n", NoDevices, "", 1,
                  "COM5=telnet://bench-3:23"}),
    [](const auto& info) { return std::string(info.param.Case); });

TEST(PortMap, AServerIsNotAskedWhileTheMapIsReadAndAWrongAddressIsNamed)
{
    // No connection is tried here (the host would not resolve): the entry counts as present.
    const PortMapListing listed = ParsePortMap("COM5=tcp://no-such-host.invalid:3001\n", {});
    ASSERT_EQ(listed.Ports.size(), 1u);
    EXPECT_TRUE(listed.Ports[0].Present);
    EXPECT_EQ(listed.Ports[0].Identity, "tcp://no-such-host.invalid:3001");

    const PortMapListing wrong = ParsePortMap("COM5=rfc2217://bench-3:99999\n", {});
    EXPECT_TRUE(wrong.Malformed);
    EXPECT_NE(wrong.MalformedReason.find("'rfc2217://bench-3:99999' is no network address"),
              std::string::npos)
        << wrong.MalformedReason;
    EXPECT_NE(wrong.MalformedReason.find("1 to 65535"), std::string::npos);
}

// A socket bound to a free port on 127.0.0.1, listening when asked; its port in `port`.
int LoopbackSocket(bool listening, uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length), 0);
    if (listening) {
        EXPECT_EQ(::listen(fd, 4), 0);
    }
    port = ntohs(local.sin_port);
    return fd;
}

TEST(PortMap, ANetworkEntryIsPresentWhileItsServerAccepts)
{
    uint16_t served = 0, closed = 0;
    const int listener = LoopbackSocket(true, served);
    ::close(LoopbackSocket(false, closed));  // nothing accepts there
    PortMapListing listing = ParsePortMap("COM5=rfc2217://127.0.0.1:" + std::to_string(served) +
                                              "\nCOM6=tcp://127.0.0.1:" + std::to_string(closed) +
                                              "\nCOM7=/dev/no-such-tty\n",
                                          {});
    AskNetworkServers(listing, std::chrono::milliseconds(500));
    ::close(listener);
    ASSERT_EQ(listing.Ports.size(), 3u);
    EXPECT_TRUE(listing.Ports[0].Present);
    EXPECT_FALSE(listing.Ports[1].Present);
    EXPECT_FALSE(listing.Ports[2].Present);  // a device path is not asked about
}

TEST(PortMap, DescriptionsOfDetectedDevicesAreKeptAlsoWhenTheFileMapsThem)
{
    const PortMapListing listing = ParsePortMap("COM5=/dev/ttyUSB0\n", UsbAndAcm);
    ASSERT_EQ(listing.Ports.size(), 2u);
    EXPECT_EQ(listing.Ports[0].Description, "CDC device");
    EXPECT_EQ(listing.Ports[1].Description, "FT232R USB UART, FTDI");
}

TEST(PortMap, DevicesFindNoNumberWhenTheFileTakesAll)
{
    std::string content;
    for (int n = 2; n <= 99; ++n)
        content += "COM" + std::to_string(n) + "=/dev/f" + std::to_string(n) + "\n";
    const PortMapListing listing = ParsePortMap(content, UsbAndAcm);
    ASSERT_EQ(listing.Ports.size(), 99u);
    EXPECT_EQ(listing.Ports.front().Device, "/dev/ttyUSB0");
    EXPECT_EQ(listing.Ports.back().Number, 99);
}

TEST(PortMap, ADeviceMappedThroughALinkIsNotListedAgain)
{
    TempPortMap temp;
    const std::string device = temp.Dir() + "/ttyUSB7";
    const std::string link = temp.Dir() + "/usb-adapter-port0";
    std::ofstream(device) << "";
    std::filesystem::create_symlink(device, link);
    const PortMapListing listing =
        ParsePortMap("COM9=" + link + "\n", {{device, "adapter"}, {"/dev/ttyACM0", ""}});
    EXPECT_EQ(Summary(listing), "1=/dev/ttyACM0 9=" + link);
    EXPECT_EQ(listing.Ports[1].Description, "adapter");
}

TEST(PortMap, DetectedDevicesComeInGroupsEachByIndex)
{
    std::vector<DetectedSerialPort> ports;
    for (const char* name : {"/dev/ttyACM1", "/dev/ttyUSB10", "/dev/ttyS1", "/dev/ttyUSB2",
                             "/dev/rfcomm0", "/dev/ttyS0", "/dev/ttyAMA0", "/dev/ttyACM0"})
        ports.push_back({name, ""});
    SortInListingOrder(ports);
    std::string order;
    for (const auto& port : ports)
        order += port.Device.substr(5) + " ";
    EXPECT_EQ(order, "ttyS0 ttyS1 ttyUSB2 ttyUSB10 ttyACM0 ttyACM1 rfcomm0 ttyAMA0 ");
}

TEST(PortMap, DetectionIsOffWithTheEnvironmentSwitch)
{
    ::setenv("ZENDRAK_NO_PORT_DETECTION", "1", 1);
    EXPECT_TRUE(DetectSerialPorts().empty());
    ::unsetenv("ZENDRAK_NO_PORT_DETECTION");
}

TEST(PortMap, TheFileLiesInTheUsersConfigurationDirectory)
{
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(PortMapFilePath(), "/home/tester/.config/zendrak/ports");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(PortMapFilePath(), "/cfg/zendrak/ports");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(PortMap, EachListingAndResolutionReadsTheFileAgain)
{
    TempPortMap temp;
    const SerialPortDetector detector = [] {
        return std::vector<DetectedSerialPort>{{"/dev/ttyUSB0", "adapter"}};
    };
    EXPECT_EQ(Summary(ListSerialPorts(detector)), "1=/dev/ttyUSB0");  // no file: devices only

    temp.Write("COM1=/dev/ttyS4\n");
    EXPECT_EQ(Summary(ListSerialPorts(detector)), "1=/dev/ttyS4 2=/dev/ttyUSB0");
    EXPECT_EQ(ResolveComPort(1, detector), "/dev/ttyS4");
    EXPECT_EQ(ResolveComPort(2, detector), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveComPort(3, detector), std::nullopt);

    temp.Write("COM3=/dev/ttyS4\n");
    EXPECT_EQ(ResolveComPort(1, detector), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveComPort(3, detector), "/dev/ttyS4");
    EXPECT_EQ(ResolveComPort(1, nullptr), std::nullopt);
}

TEST(PortMap, AMalformedEntryResolvesToNothing)
{
    TempPortMap temp;
    temp.Write("COM1=/dev/a\nCOM2 /dev/b\nCOM3=/dev/c\n");
    EXPECT_EQ(ResolveComPort(1, nullptr), "/dev/a");
    EXPECT_EQ(ResolveComPort(2, nullptr), std::nullopt);
    EXPECT_EQ(ResolveComPort(3, nullptr), std::nullopt);  // lines after it are ignored
}

}  // namespace
