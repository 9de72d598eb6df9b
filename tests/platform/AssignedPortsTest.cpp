// SPDX-License-Identifier: MIT
// Remembered COM numbers: adapters plugged and unplugged under a fake /dev, listed through the
// real port map and its state file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

#include "AssignedPorts.h"
#include "PortMap.h"
#include "TempPortMap.h"

namespace fs = std::filesystem;

namespace {

// An adapter as the kernel and udev show it: its node and its links (empty: none).
struct Adapter {
    std::string Node;  // e.g. "ttyUSB0"
    std::string ById;
    std::string ByPath;
};

struct Step {
    std::vector<Adapter> Plugged;  // in the order the system lists them
    std::string Map;               // the user's port map now
    std::string Expected;          // "n=node ..." in ascending number
};

struct PlugCase {
    const char* Name;
    std::vector<Step> Steps;
};

// A /dev with exactly the plugged adapters' nodes and links.
class FakeDev {
public:
    explicit FakeDev(const std::string& root) : Root(root) {}
    std::vector<DetectedSerialPort> Plug(const std::vector<Adapter>& adapters)
    {
        fs::remove_all(Root);
        fs::create_directories(Root + "/serial/by-id");
        fs::create_directories(Root + "/serial/by-path");
        std::vector<DetectedSerialPort> listing;
        for (const Adapter& a : adapters) {
            std::ofstream(Root + "/" + a.Node) << "";
            if (!a.ById.empty())
                fs::create_symlink("../../" + a.Node, Root + "/serial/by-id/" + a.ById);
            if (!a.ByPath.empty())
                fs::create_symlink("../../" + a.Node, Root + "/serial/by-path/" + a.ByPath);
            const std::string node = Root + "/" + a.Node;
            listing.push_back({node, "", StableIdentityOf(node, Root)});
        }
        return listing;
    }
    std::string Root;
};

std::string Summary(const PortMapListing& listing, const std::string& root)
{
    std::string text;
    for (const auto& port : listing.Ports) {
        std::string device = port.Device;
        if (device.rfind(root + "/", 0) == 0)
            device.erase(0, root.size() + 1);
        text += (text.empty() ? "" : " ") + std::to_string(port.Number) + "=" + device;
    }
    return text;
}

class PlugSequence : public ::testing::TestWithParam<PlugCase> {};

TEST_P(PlugSequence, NumbersStayWithTheirAdapter)
{
    TempPortMap temp;
    FakeDev dev(temp.Dir() + "/dev");
    int index = 0;
    for (const Step& step : GetParam().Steps) {
        ++index;
        temp.Write(step.Map);
        const auto detected = dev.Plug(step.Plugged);
        const PortMapListing listing = ListSerialPorts([&] { return detected; });
        EXPECT_EQ(Summary(listing, dev.Root), step.Expected) << "step " << index;
        EXPECT_EQ(listing.StateError, "");
        // The user's map is read, never written.
        std::ifstream map(temp.Dir() + "/zendrak/ports", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(map), {}), step.Map);
    }
}

const Adapter A0{"ttyUSB0", "usb-Maker_A-if00", "pci-usb-0:1"};
const Adapter A2{"ttyUSB2", "usb-Maker_A-if00", "pci-usb-0:3"};  // A on another socket
const Adapter B1{"ttyUSB1", "usb-Maker_B-if00", "pci-usb-0:2"};
const Adapter C0{"ttyUSB0", "usb-Maker_C-if00", "pci-usb-0:1"};
const Adapter NoSerialAt1{"ttyUSB0", "", "pci-usb-0:1"};
const Adapter NoSerialAt2{"ttyUSB0", "", "pci-usb-0:2"};
const Adapter Uart{"ttyS0", "", ""};

INSTANTIATE_TEST_SUITE_P(
    Adapters, PlugSequence,
    ::testing::Values(
        PlugCase{"ReplugElsewhereKeepsTheNumber",
                 {{{A0}, "", "1=ttyUSB0"},
                  {{A0, B1}, "", "1=ttyUSB0 2=ttyUSB1"},
                  {{B1}, "", "2=ttyUSB1"},
                  {{A2, B1}, "", "1=ttyUSB2 2=ttyUSB1"},
                  {{C0, B1}, "", "2=ttyUSB1 3=ttyUSB0"},  // 1 stays A's while A is away
                  {{C0, A2, B1}, "", "1=ttyUSB2 2=ttyUSB1 3=ttyUSB0"}}},
        PlugCase{"ByPathWithoutASerialNumberThenTheNode",
                 {{{NoSerialAt1, Uart}, "", "1=ttyUSB0 2=ttyS0"},
                  {{NoSerialAt2}, "", "3=ttyUSB0"},  // another socket: another adapter
                  {{Uart, NoSerialAt1}, "", "1=ttyUSB0 2=ttyS0"}}},
        PlugCase{"ThePortMapComesFirst",
                 {{{A0}, "COM1=/dev/ttyS9\n", "1=/dev/ttyS9 2=ttyUSB0"},
                  {{A0, B1}, "COM2=/dev/ttyS9\n", "1=ttyUSB0 2=/dev/ttyS9 3=ttyUSB1"},
                  {{A0, B1}, "", "2=ttyUSB0 3=ttyUSB1"},  // A has its own number back
                  {{A0}, "COM5=/dev/serial/by-id/x\n", "2=ttyUSB0 5=/dev/serial/by-id/x"}}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(AssignedPorts, ADeviceTheMapNamesKeepsItsIdentityAndDescription)
{
    TempPortMap temp;
    FakeDev dev(temp.Dir() + "/dev");
    auto detected = dev.Plug({A0});
    detected[0].Description = "adapter";
    temp.Write("COM4=" + dev.Root + "/serial/by-id/" + A0.ById + "\n");
    const PortMapListing listing = ListSerialPorts([&] { return detected; });
    ASSERT_EQ(listing.Ports.size(), 1u);
    EXPECT_EQ(listing.Ports[0].Number, 4);
    EXPECT_EQ(listing.Ports[0].Identity, dev.Root + "/serial/by-id/" + A0.ById);
    EXPECT_EQ(listing.Ports[0].Description, "adapter");
    EXPECT_TRUE(listing.Ports[0].Present);
    EXPECT_TRUE(LoadAssignedPorts().Ports.Entries().empty());  // mapped devices are not remembered
}

TEST(AssignedPorts, FileFormatRoundTripsAndSkipsBadLines)
{
    const AssignedPorts read = AssignedPorts::Parse(
        "# c\nCOM7=/dev/serial/by-id/b\nbogus\nCOM2=/dev/serial/by-id/a\nCOM7=/dev/x\n"
        "COM3=/dev/serial/by-id/a\nCOM100=/dev/y\n");
    EXPECT_FALSE(read.Changed());
    ASSERT_EQ(read.Entries().size(), 2u);
    EXPECT_EQ(read.NumberOf("/dev/serial/by-id/a"), 2);
    EXPECT_EQ(read.NumberOf("/dev/serial/by-id/b"), 7);
    EXPECT_EQ(read.NumberOf("/dev/x"), 0);
    const AssignedPorts again = AssignedPorts::Parse(read.Serialize());
    ASSERT_EQ(again.Entries().size(), 2u);
    EXPECT_EQ(again.Entries()[0].Identity, "/dev/serial/by-id/a");
    EXPECT_EQ(again.Entries()[1].Number, 7);
}

TEST(AssignedPorts, ForgottenNumberGoesToTheNextNewAdapter)
{
    TempPortMap temp;
    FakeDev dev(temp.Dir() + "/dev");
    auto both = dev.Plug({A0, B1});
    ListSerialPorts([&] { return both; });
    const AssignedPortsRead update = UpdateAssignedPorts([](AssignedPorts& assigned) {
        EXPECT_FALSE(assigned.Forget(3));
        EXPECT_TRUE(assigned.Forget(1));
    });
    EXPECT_EQ(update.Error, "");
    auto other = dev.Plug({C0});
    EXPECT_EQ(Summary(ListSerialPorts([&] { return other; }), dev.Root), "1=ttyUSB0");
    EXPECT_EQ(LoadAssignedPorts().Ports.NumberOf(dev.Root + "/serial/by-id/" + C0.ById), 1);
}

// A state file that is not what it seems is neither waited on nor replaced: the listing goes on
// without remembered numbers and says why.
TEST(AssignedPorts, AStateFileThatIsNoRegularFileIsLeftAlone)
{
    for (const char* kind : {"directory", "fifo"}) {
        SCOPED_TRACE(kind);
        TempPortMap temp;
        FakeDev dev(temp.Dir() + "/dev");
        const auto detected = dev.Plug({B1});
        const std::string path = AssignedPortsFilePath();
        fs::create_directories(fs::path(path).parent_path());
        if (std::string(kind) == "directory")
            fs::create_directory(path);
        else
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        const PortMapListing listing = ListSerialPorts([&] { return detected; });
        EXPECT_EQ(Summary(listing, dev.Root), "1=ttyUSB1");
        EXPECT_NE(listing.StateError.find(path), std::string::npos) << listing.StateError;
        EXPECT_NE(LoadAssignedPorts().Error, "");
        EXPECT_EQ(fs::is_directory(path), std::string(kind) == "directory");
        EXPECT_EQ(fs::is_fifo(path), std::string(kind) == "fifo");
    }
}

// An oversized state file gives the numbers of its whole lines within the bound, and is never
// rewritten: its later entries would be lost. A link is read through and stays as it is.
TEST(AssignedPorts, AnOversizedOrLinkedStateFileIsReadButNeverRewritten)
{
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "linked" : "oversized");
        TempPortMap temp;
        FakeDev dev(temp.Dir() + "/dev");
        const auto detected = dev.Plug({A0, B1});
        const std::string path = AssignedPortsFilePath();
        fs::create_directories(fs::path(path).parent_path());
        std::string content = "COM5=" + dev.Root + "/serial/by-id/" + A0.ById + "\n";
        if (!linked) {
            while (content.size() < 2400 * 1000)  // 2.4 MB
                content += "# padding padding padding padding\n";
            content += "COM7=" + dev.Root + "/serial/by-id/" + B1.ById + "\n";  // beyond the bound
        }
        const std::string file = linked ? temp.Dir() + "/kept-elsewhere" : path;
        std::ofstream(file, std::ios::binary) << content;
        if (linked)
            fs::create_symlink(file, path);

        const AssignedPortsRead read = LoadAssignedPorts();
        EXPECT_EQ(read.Ports.NumberOf(dev.Root + "/serial/by-id/" + A0.ById), 5);
        EXPECT_FALSE(read.Rewritable);
        const PortMapListing listing = ListSerialPorts([&] { return detected; });
        EXPECT_EQ(Summary(listing, dev.Root), "1=ttyUSB1 5=ttyUSB0");
        EXPECT_NE(listing.StateError.find(path), std::string::npos) << listing.StateError;
        EXPECT_NE(UpdateAssignedPorts([](AssignedPorts& ports) { ports.Forget(5); }).Error, "");

        std::ifstream in(file, std::ios::binary);
        EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == content);
        EXPECT_EQ(fs::is_symlink(path), linked);
    }
}

// Commands side by side (each transaction opens the lock file anew, so threads lock against
// each other as processes do): assigning, forgetting and listing in a loop lose no assignment,
// and a number once forgotten never comes back.
TEST(AssignedPorts, ParallelCommandsLoseNothing)
{
    TempPortMap temp;
    std::mutex lock;
    std::set<std::string> forgotten, kept = {"/dev/lister-device"};
    std::atomic<bool> done{false};
    std::atomic<int> comeBack{0};
    // Each round assigns a new number and forgets the one of the round before, but every tenth.
    auto worker = [&](const std::string& id) {
        std::string previous;
        for (int round = 0; round < 150; ++round) {
            const std::string identity = "/dev/serial/by-id/" + id + std::to_string(round);
            UpdateAssignedPorts([&](AssignedPorts& ports) {
                int number = FirstComNumber;
                while (ports.IsAssigned(number))
                    ++number;
                ports.Assign(number, identity);
                ports.Forget(ports.NumberOf(previous));
            });
            std::lock_guard guard(lock);
            forgotten.insert(previous);
            previous = round % 10 == 0 || round == 149 ? "" : identity;
            if (previous.empty())
                kept.insert(identity);
        }
    };
    // Lists (which remembers its device too) and checks that nothing forgotten before is back.
    std::thread lister([&] {
        while (!done) {
            std::unique_lock guard(lock);
            const std::set<std::string> before = forgotten;
            guard.unlock();
            EXPECT_EQ(ListSerialPorts([] {
                          return std::vector<DetectedSerialPort>{{"/dev/lister-device", ""}};
                      }).StateError,
                      "");
            const AssignedPorts now = LoadAssignedPorts().Ports;
            for (const AssignedPort& port : now.Entries())
                comeBack += static_cast<int>(before.count(port.Identity));
        }
    });
    std::thread first(worker, "a"), second(worker, "b");
    first.join();
    second.join();
    done = true;
    lister.join();

    EXPECT_EQ(comeBack.load(), 0);
    std::set<std::string> remembered;
    const AssignedPorts last = LoadAssignedPorts().Ports;
    for (const AssignedPort& port : last.Entries())
        remembered.insert(port.Identity);
    EXPECT_EQ(remembered, kept);
}

TEST(AssignedPorts, NothingIsRememberedWhileDetectionIsOff)
{
    TempPortMap temp;
    ::setenv("ZENDRAK_NO_PORT_DETECTION", "1", 1);
    const PortMapListing listing = ListSerialPorts([] {
        return std::vector<DetectedSerialPort>{{"/dev/ttyUSB0", ""}};
    });
    ::unsetenv("ZENDRAK_NO_PORT_DETECTION");
    EXPECT_EQ(listing.Ports.size(), 1u);
    EXPECT_FALSE(fs::exists(AssignedPortsFilePath()));
}

TEST(AssignedPorts, TheFileLiesInTheUsersStateDirectory)
{
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    ::unsetenv("XDG_STATE_HOME");
    ::setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(AssignedPortsFilePath(), "/home/tester/.local/state/zendrak/assigned-ports");
    ::setenv("XDG_STATE_HOME", "/st", 1);
    EXPECT_EQ(AssignedPortsFilePath(), "/st/zendrak/assigned-ports");
    ::unsetenv("XDG_STATE_HOME");
    ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
