// SPDX-License-Identifier: MIT
// The one reading of a port text "COM<n>", and the places that use it: the port map's lines,
// the port's device names and the command line's --port.
#include "CliOptions.h"
#include "ComText.h"
#include "PortMap.h"
#include "PortName.h"

#include <gtest/gtest.h>

namespace {

struct TextCase {
    const char* Text;
    int Number;  // 0: not a port text
};

const TextCase TextCases[] = {
    {"COM1", 1}, {"COM9", 9},  {"COM12", 12},  {"COM99", 99},  {"COM100", 100},  {"COM255", 255},
    {"com7", 7}, {"Com3", 3},  {"cOm42", 42},  {"COM256", 0},  {"COM999", 0},    {"COM1000", 0},
    {"COM0", 0}, {"COM00", 0}, {"COM01", 0},   {"COM007", 0},  {"COM", 0},       {"", 0},
    {"COMX", 0}, {"COM1x", 0}, {"COM 1", 0},   {"COM-1", 0},   {"COM+1", 0},     {"LPT1", 0},
    {"CON1", 0}, {"C0M1", 0},  {"\x03OM1", 0}, {"\xC3OM1", 0}, {"/dev/ttyS0", 0}};

TEST(ComText, OneRuleForEveryPortText)
{
    for (const TextCase& c : TextCases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ComNumberOfText(c.Text).value_or(0), c.Number);
        // The port's device name carries the same text behind its prefix.
        EXPECT_EQ(ComNumberOfPortName(std::string("\\\\.\\") + c.Text), c.Number);
        EXPECT_EQ(ComNumberOfPortName(c.Text), c.Number);
        // The command line takes exactly the port texts (and device paths).
        const std::string error = ParseCliOptions({"--port", c.Text}).Error;
        EXPECT_EQ(error.empty(), c.Number != 0 || c.Text[0] == '/') << error;
        // The port map holds the port texts up to 99; any other left side is malformed.
        const PortMapListing listing = ParsePortMap(std::string(c.Text) + "=/dev/x\n", {});
        const bool held = c.Number >= FirstComNumber && c.Number <= LastComNumber;
        EXPECT_EQ(listing.Malformed, !held);
        if (held) {
            ASSERT_EQ(listing.Ports.size(), 1u);
            EXPECT_EQ(listing.Ports[0].Number, c.Number);
            EXPECT_EQ(listing.Ports[0].Text, ComText(c.Number));
        }
        // A number the map cannot hold is named as such.
        EXPECT_EQ(listing.MalformedReason.find("beyond COM99") != std::string::npos,
                  c.Number > LastComNumber);
    }
}

}  // namespace
