// SPDX-License-Identifier: MIT
// Network port names: what is read as an address, what is refused and why, and the server check.
#include "NetAddress.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct AddressCase {
    const char* Text;
    bool Valid;
    NetAddress::Protocol Kind;
    const char* Host;
    uint16_t Port;
    const char* Shown;  // Text() of a valid one; a word of the error otherwise
};

using P = NetAddress::Protocol;

class ParseNetAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ParseNetAddressTest, ReadsOrRefusesWithAReason)
{
    const AddressCase& c = GetParam();
    std::string error;
    const auto address = ParseNetAddress(c.Text, &error);
    ASSERT_EQ(address.has_value(), c.Valid) << c.Text << ": " << error;
    if (c.Valid) {
        EXPECT_EQ(address->Kind, c.Kind);
        EXPECT_EQ(address->Host, c.Host);
        EXPECT_EQ(address->Port, c.Port);
        EXPECT_EQ(address->Text(), c.Shown);
        EXPECT_TRUE(LooksLikeNetAddress(c.Text));
    } else {
        EXPECT_NE(error.find(c.Shown), std::string::npos) << c.Text << ": " << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseNetAddressTest,
    ::testing::Values(
        AddressCase{"rfc2217://bench-3:3001", true, P::Rfc2217, "bench-3", 3001,
                    "rfc2217://bench-3:3001"},
        AddressCase{"RFC2217://127.0.0.1:1", true, P::Rfc2217, "127.0.0.1", 1,
                    "rfc2217://127.0.0.1:1"},
        AddressCase{"tcp://[::1]:65535", true, P::RawTcp, "::1", 65535, "tcp://[::1]:65535"},
        AddressCase{"tcp://host.example_1:3002", true, P::RawTcp, "host.example_1", 3002,
                    "tcp://host.example_1:3002"},
        AddressCase{"telnet://bench:23", false, P::RawTcp, "", 0, "unknown scheme 'telnet'"},
        AddressCase{"socket://bench:23", false, P::RawTcp, "", 0, "unknown scheme"},
        AddressCase{"tcp://bench", false, P::RawTcp, "", 0, "no port number"},
        AddressCase{"tcp://:3001", false, P::RawTcp, "", 0, "no host"},
        AddressCase{"tcp://bench:0", false, P::RawTcp, "", 0, "no port number"},
        AddressCase{"tcp://bench:65536", false, P::RawTcp, "", 0, "no port number"},
        AddressCase{"tcp://bench:+80", false, P::RawTcp, "", 0, "no port number"},
        AddressCase{"tcp://bench:80/x", false, P::RawTcp, "", 0, "no port number"},
        AddressCase{"tcp://::1:80", false, P::RawTcp, "", 0, "in brackets"},
        AddressCase{"tcp://[::1:80", false, P::RawTcp, "", 0, "closing ']'"},
        AddressCase{"tcp://[::1]80", false, P::RawTcp, "", 0, "no port number"},
        AddressCase{"tcp://user@bench:80", false, P::RawTcp, "", 0, "no host name"},
        AddressCase{"tcp://be nch:80", false, P::RawTcp, "", 0, "no host name"}));

TEST(LooksLikeNetAddress, OnlySchemeTextsAreAddresses)
{
    for (const char* text : {"COM3", "/dev/ttyUSB0", "", "://x", "a b://c", "dev/x:1"})
        EXPECT_FALSE(LooksLikeNetAddress(text)) << text;
    for (const char* text : {"x://", "telnet://h:1", "rfc2217://h"})
        EXPECT_TRUE(LooksLikeNetAddress(text)) << text;
}

TEST(NetServerAccepts, TellsAListeningServerFromAClosedPort)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof local;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length), 0);
    NetAddress address{P::RawTcp, "127.0.0.1", ntohs(local.sin_port)};
    EXPECT_TRUE(NetServerAccepts(address));
    ::close(listener);  // the port is free again: nobody accepts there now
    EXPECT_FALSE(NetServerAccepts(address));
    EXPECT_FALSE(NetServerAccepts({P::RawTcp, "no-such-host.invalid", 1}));
}

}  // namespace
