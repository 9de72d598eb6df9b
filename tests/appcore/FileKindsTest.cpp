// SPDX-License-Identifier: MIT
// The port map and "Zendrak.dat" as whatever a user or a mistake puts in their place: each kind
// of file is read in a child process that must finish within a generous bound (a FIFO must not
// freeze it, /dev/zero must not eat its memory), and gives the documented outcome.
#include "InChild.h"
#include "Messages.h"
#include "PortMap.h"
#include "PortSettings.h"
#include "Registry.h"
#include "SystemTexts.h"
#include "comm_port.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace fs = std::filesystem;

namespace {

enum class Kind {
    Missing,
    Regular,
    Empty,
    Directory,
    Fifo,
    Socket,
    DevZero,
    LinkLoop,
    Unreadable,
    Huge
};

struct KindCase {
    const char* Name;
    Kind What;
    // What the listing gives: "n=device " for each port, then "malformed@line"; or "unreadable".
    std::string PortMap;
    // The port number, and "+box" when "Error open Zendrak.dat !!!" shows.
    std::string Settings;
};

void PrintTo(const KindCase& c, std::ostream* os)
{
    *os << c.Name;
}

const std::string HugeHead = "COM3=/dev/x\n";

// Makes `path` a file of the kind; `first` is the regular file's content.
void Make(Kind kind, const fs::path& path, const std::string& first)
{
    switch (kind) {
    case Kind::Missing: return;
    case Kind::Regular: std::ofstream(path, std::ios::binary) << first; return;
    case Kind::Empty: std::ofstream(path, std::ios::binary).flush(); return;
    case Kind::Directory: fs::create_directory(path); return;
    case Kind::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); return;
    case Kind::Socket: {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.string().size(), sizeof address.sun_path);
        std::strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(s);  // the socket file stays
        return;
    }
    case Kind::DevZero: fs::create_symlink("/dev/zero", path); return;
    case Kind::LinkLoop:
        fs::create_symlink(path.filename().string() + ".loop", path);
        fs::create_symlink(path.filename(), path.string() + ".loop");
        return;
    case Kind::Unreadable:
        std::ofstream(path, std::ios::binary) << first;
        fs::permissions(path, fs::perms::none);
        return;
    case Kind::Huge: {
        // Far beyond any bound: whole lines, the first one meaningful.
        std::ofstream out(path, std::ios::binary);
        out << first;
        const std::string comment = "# " + std::string(97, '-') + "\n";
        for (int i = 0; i < 100000; ++i)
            out << comment;
        return;
    }
    }
}

class FileKinds : public testing::TestWithParam<KindCase> {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zendrak-kinds-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Dir = pattern;
        fs::permissions(Dir, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    }
    void TearDown() override { fs::remove_all(Dir); }
    fs::path Dir;
};

// Also: opening a COM port over the map fails as a port fails to open (no map here names COM1).
TEST_P(FileKinds, ThePortMapIsReadOrCannotBeOpened)
{
    const KindCase& c = GetParam();
    fs::create_directories(Dir / "zendrak");
    fs::permissions(Dir / "zendrak", fs::perms::owner_all | fs::perms::others_exec);
    Make(c.What, Dir / "zendrak" / "ports", HugeHead);
    const std::string dir = Dir.string();
    const std::string got = InChild(c.What == Kind::Unreadable, [&] {
        ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        const PortMapListing listing = ListSerialPorts(nullptr);
        TRegistry registry(nullptr);
        registry.RootKey = HKEY_LOCAL_MACHINE;
        const bool opened = registry.OpenKeyReadOnly(SerialCommKey);
        std::string text = listing.Unreadable ? "unreadable" : "";
        for (const auto& port : listing.Ports)
            text += std::to_string(port.Number) + "=" + port.Device + " ";
        if (listing.Malformed)
            text += "malformed@" + std::to_string(listing.MalformedLine);
        if (opened == listing.Unreadable)
            text += " key opened: " + std::to_string(opened);

        ::setenv("ZENDRAK_NO_PORT_DETECTION", "1", 1);
        RecordingMessageService recorder;
        ScopedMessageService scope(recorder);
        TCommPort port;
        port.SetCommPort("1");
        try {
            port.OpenCommPort();
            text += " COM1 opened";
        } catch (const ECommError& error) {
            if (error.Code != 8)
                text += " code " + std::to_string(error.Code);
        } catch (...) {
            text += " another error";
        }
        return text;
    });
    EXPECT_EQ(got, c.PortMap);
}

TEST_P(FileKinds, ZendrakDatGivesItsFirstByteOrTheBox)
{
    const KindCase& c = GetParam();
    Make(c.What, Dir / Texts::SettingsFileName, "\x07");
    const std::string dir = Dir.string();
    const std::string got = InChild(c.What == Kind::Unreadable, [&] {
        fs::current_path(dir);
        RecordingMessageService recorder;
        ScopedMessageService scope(recorder);
        ComPortNumber = 1;
        ReadPortSettings();
        std::string text = std::to_string(ComPortNumber);
        for (const auto& box : recorder.Boxes())
            text += box.Text == Texts::ErrorOpenSettings ? "+box" : "+" + box.Text;
        return text;
    });
    EXPECT_EQ(got, c.Settings);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FileKinds,
    testing::Values(
        KindCase{"Missing", Kind::Missing, "", "1+box"},
        KindCase{"Regular", Kind::Regular, "3=/dev/x ", "7"},
        KindCase{"Empty", Kind::Empty, "", "1"},
        KindCase{"Directory", Kind::Directory, "unreadable", "1+box"},
        KindCase{"Fifo", Kind::Fifo, "unreadable", "1+box"},
        KindCase{"Socket", Kind::Socket, "unreadable", "1+box"},
        KindCase{"LinkToDevZero", Kind::DevZero, "unreadable", "1+box"},
        KindCase{"LinkLoop", Kind::LinkLoop, "unreadable", "1+box"},
        KindCase{"Unreadable", Kind::Unreadable, "unreadable", "1+box"},
        // Beyond 64 KiB: the whole lines within it count, the line the bound cuts is malformed.
        KindCase{"Huge", Kind::Huge, "3=/dev/x malformed@657", "7"}),
    [](const testing::TestParamInfo<KindCase>& info) { return info.param.Name; });

}  // namespace
