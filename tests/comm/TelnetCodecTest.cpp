// SPDX-License-Identifier: MIT
// The telnet framing and the client's side of the COM-PORT-OPTION, without sockets: what the
// decoder makes of a server's bytes however they are split between reads, what the encoders
// put out, and how the client answers a server's negotiation and confirmations.
#include "ComPortClient.h"
#include "TelnetCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace Telnet;
using namespace std::literals;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t NOP = 241;
constexpr uint8_t GA = 249;
constexpr uint8_t NotifyLinestate = 106;
constexpr uint8_t NotifyModemstate = 107;

TelnetCommand Negotiation(uint8_t verb, uint8_t option)
{
    return {false, verb, option};
}

TelnetCommand ComPortAnswer(Bytes payload)
{
    return {true, SB, COM_PORT_OPTION, std::move(payload)};
}

struct DecodeCase {
    const char* Name;
    Bytes Input;
    Bytes Data;
    std::vector<TelnetCommand> Commands;
};

class TelnetDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

// Whole, byte by byte, and cut in two at every position: the same data and commands.
TEST_P(TelnetDecodeTest, SplitsDataFromCommandsWhereverTheReadsEnd)
{
    const DecodeCase& c = GetParam();
    for (size_t cut = 0; cut <= c.Input.size(); ++cut) {
        TelnetDecoder decoder;
        Bytes data;
        std::vector<TelnetCommand> commands;
        decoder.Feed(c.Input.data(), cut, data, commands);
        decoder.Feed(c.Input.data() + cut, c.Input.size() - cut, data, commands);
        EXPECT_EQ(data, c.Data) << "cut at " << cut;
        EXPECT_EQ(commands, c.Commands) << "cut at " << cut;
        EXPECT_FALSE(decoder.InCommand()) << "cut at " << cut;
    }
    TelnetDecoder decoder;
    Bytes data;
    std::vector<TelnetCommand> commands;
    for (uint8_t byte : c.Input)
        decoder.Feed(&byte, 1, data, commands);
    EXPECT_EQ(data, c.Data);
    EXPECT_EQ(commands, c.Commands);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, TelnetDecodeTest,
    ::testing::Values(
        DecodeCase{"PlainData", {'r', '\r', '\n', 0, 0xFE}, {'r', '\r', '\n', 0, 0xFE}, {}},
        DecodeCase{"DoubledIacIsOneDataByte", {1, IAC, IAC, 2, IAC, IAC}, {1, 0xFF, 2, 0xFF}, {}},
        DecodeCase{"Negotiation",
                   {'a', IAC, WILL, SUPPRESS_GO_AHEAD, IAC, DONT, ECHO, 'b'},
                   {'a', 'b'},
                   {Negotiation(WILL, SUPPRESS_GO_AHEAD), Negotiation(DONT, ECHO)}},
        DecodeCase{
            "NotificationsAmidData",
            {'a', 'b', IAC, SB, COM_PORT_OPTION, NotifyLinestate, 0x60, IAC, SE, 'c', IAC, SB,
             COM_PORT_OPTION, NotifyModemstate, 0x30, IAC, SE, 'd'},
            {'a', 'b', 'c', 'd'},
            {ComPortAnswer({NotifyLinestate, 0x60}), ComPortAnswer({NotifyModemstate, 0x30})}},
        DecodeCase{"IacDoubledInsideASubnegotiation",
                   {IAC, SB, COM_PORT_OPTION, 101, 0, 0, IAC, IAC, IAC, SE},
                   {},
                   {ComPortAnswer({101, 0, 0, 0xFF})}},
        DecodeCase{"CommandsWithoutDataAreDropped",
                   {IAC, NOP, 'x', IAC, GA, IAC, SE, 'y'},
                   {'x', 'y'},
                   {}},
        DecodeCase{"UnendedSubnegotiationGivesWayToTheNextCommand",
                   {IAC, SB, COM_PORT_OPTION, 107, 1, IAC, WILL, BINARY, 'z'},
                   {'z'},
                   {Negotiation(WILL, BINARY)}},
        DecodeCase{"UnendedSubnegotiationBeforeADoubledIac",
                   {IAC, SB, COM_PORT_OPTION, 107, IAC, NOP, IAC, IAC},
                   {0xFF},
                   {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(TelnetDecode, AnOverlongSubnegotiationIsCutAtItsLimit)
{
    Bytes input = {IAC, SB, COM_PORT_OPTION};
    input.insert(input.end(), TelnetDecoder::PayloadLimit + 50, 'p');
    input.insert(input.end(), {IAC, SE, 'd'});
    TelnetDecoder decoder;
    Bytes data;
    std::vector<TelnetCommand> commands;
    decoder.Feed(input.data(), input.size(), data, commands);
    EXPECT_EQ(data, Bytes{'d'});
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].Payload.size(), TelnetDecoder::PayloadLimit);
}

TEST(TelnetEncode, DataAndSubnegotiationsDoubleEveryIac)
{
    const Bytes data = {0, IAC, 1, IAC, IAC};
    Bytes out;
    AppendTelnetData(data.data(), data.size(), out);
    EXPECT_EQ(out, (Bytes{0, IAC, IAC, 1, IAC, IAC, IAC, IAC}));

    out.clear();
    AppendSubnegotiation(COM_PORT_OPTION, {1, 0, 0, 0, 0xFF}, out);
    EXPECT_EQ(out, (Bytes{IAC, SB, COM_PORT_OPTION, 1, 0, 0, 0, IAC, IAC, IAC, SE}));

    // Every byte value survives the way out and in, with the bytes cut anywhere.
    Bytes all;
    for (int value = 0; value < 256; ++value)
        all.push_back(static_cast<uint8_t>(value));
    all.insert(all.end(), 20, IAC);
    Bytes encoded;
    AppendTelnetData(all.data(), all.size(), encoded);
    TelnetDecoder decoder;
    Bytes decoded;
    std::vector<TelnetCommand> commands;
    for (size_t at = 0; at < encoded.size(); at += 7)
        decoder.Feed(encoded.data() + at, std::min<size_t>(7, encoded.size() - at), decoded,
                     commands);
    EXPECT_EQ(decoded, all);
    EXPECT_TRUE(commands.empty());
}

// One step of a conversation: what the server sends, what the client answers.
struct Exchange {
    TelnetCommand FromServer;
    Bytes Answer;
};

struct NegotiationCase {
    const char* Name;
    std::vector<Exchange> Steps;
    bool Agreed;
    const char* Refused;
};

class ComPortNegotiationTest : public ::testing::TestWithParam<NegotiationCase> {};

TEST_P(ComPortNegotiationTest, AnswersOnlyChangesAndNamesARefusal)
{
    const NegotiationCase& c = GetParam();
    ComPortClient client;
    Bytes opening;
    client.Open(opening);
    EXPECT_EQ(opening, (Bytes{IAC, WILL, BINARY, IAC, DO, BINARY, IAC, WILL, COM_PORT_OPTION}));
    EXPECT_FALSE(client.Heard());
    for (size_t i = 0; i < c.Steps.size(); ++i) {
        Bytes answer;
        client.Take(c.Steps[i].FromServer, answer);
        EXPECT_EQ(answer, c.Steps[i].Answer) << "step " << i;
    }
    EXPECT_EQ(client.Agreed(), c.Agreed);
    EXPECT_EQ(client.Refused(), c.Refused);
    EXPECT_EQ(client.Heard(), !c.Steps.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ComPortNegotiationTest,
    ::testing::Values(
        // What ser2net 4.3 sends at once on a telnet(rfc2217) port.
        NegotiationCase{"SerialServerOpening",
                        {{Negotiation(WILL, SUPPRESS_GO_AHEAD), {IAC, DO, SUPPRESS_GO_AHEAD}},
                         {Negotiation(DO, SUPPRESS_GO_AHEAD), {IAC, WILL, SUPPRESS_GO_AHEAD}},
                         {Negotiation(WILL, ECHO), {IAC, DONT, ECHO}},
                         {Negotiation(DONT, ECHO), {}},
                         {Negotiation(DO, BINARY), {}},
                         {Negotiation(WILL, BINARY), {}},
                         {Negotiation(DO, COM_PORT_OPTION), {}},
                         {Negotiation(DO, COM_PORT_OPTION), {}},
                         {ComPortAnswer({NotifyModemstate, 0}), {}}},
                        true,
                        ""},
        NegotiationCase{"UnknownOptionsAreDeclined",
                        {{Negotiation(DO, 24), {IAC, WONT, 24}},
                         {Negotiation(WILL, 31), {IAC, DONT, 31}},
                         {Negotiation(DONT, 24), {}},
                         {Negotiation(WONT, 31), {}}},
                        false,
                        ""},
        NegotiationCase{"ComPortOptionRefused",
                        {{Negotiation(DO, BINARY), {}},
                         {Negotiation(WILL, BINARY), {}},
                         {Negotiation(DONT, COM_PORT_OPTION), {}}},
                        false,
                        "the COM-PORT-OPTION"},
        NegotiationCase{"BinaryRefusedByTheServer",
                        {{Negotiation(WONT, BINARY), {}}, {Negotiation(DO, COM_PORT_OPTION), {}}},
                        false,
                        "binary transmission"},
        NegotiationCase{"BinaryWithdrawnAfterTheAgreement",
                        {{Negotiation(DO, BINARY), {}},
                         {Negotiation(WILL, BINARY), {}},
                         {Negotiation(DO, COM_PORT_OPTION), {}},
                         {Negotiation(DONT, BINARY), {IAC, WONT, BINARY}}},
                        false,
                        "binary transmission"}),
    [](const auto& info) { return std::string(info.param.Name); });

DCB LineOf115200()
{
    DCB settings;
    settings.BaudRate = 115200;
    return settings;
}

TEST(ComPortSettings, AsksForTheLineAndFollowsTheServersAnswers)
{
    ComPortClient client;
    Bytes request;
    ASSERT_TRUE(client.RequestLineSettings(LineOf115200(), request));
    // Rate (four bytes), 8 data bits, no parity, one stop bit, no flow control.
    const std::string_view expected =
        "\xFF\xFA,\x01\x00\x01\xC2\x00\xFF\xF0"
        "\xFF\xFA,\x02\x08\xFF\xF0\xFF\xFA,\x03\x01\xFF\xF0"
        "\xFF\xFA,\x04\x01\xFF\xF0\xFF\xFA,\x05\x01\xFF\xF0"sv;
    EXPECT_EQ(request, Bytes(expected.begin(), expected.end()));
    EXPECT_EQ(client.Unanswered(), "115200 baud");

    Bytes answer;
    for (const Bytes& payload : {Bytes{101, 0x00, 0x01, 0xC2, 0x00}, Bytes{102, 8},
                                 Bytes{NotifyLinestate, 0x60}, Bytes{103, 1}, Bytes{104, 1}})
        client.Take(ComPortAnswer(payload), answer);
    EXPECT_EQ(client.Unanswered(), "no flow control");
    client.Take(ComPortAnswer({105, 1}), answer);
    EXPECT_TRUE(answer.empty());
    EXPECT_TRUE(client.AllAnswered());
    EXPECT_EQ(client.Mismatch(), "");

    // The server pauses the client and lets it go on.
    client.Take(ComPortAnswer({108}), answer);
    EXPECT_TRUE(client.Suspended());
    client.Take(ComPortAnswer({109}), answer);
    EXPECT_FALSE(client.Suspended());

    // A value the protocol has no code for is not asked at all.
    DCB odd = LineOf115200();
    odd.Parity = 9;
    request.clear();
    EXPECT_FALSE(client.RequestLineSettings(odd, request));
    EXPECT_TRUE(request.empty());
}

TEST(ComPortSettings, AnAnswerThatDiffersIsNamedWithWhatWasAsked)
{
    const std::pair<Bytes, const char*> cases[] = {
        {{101, 0x00, 0x00, 0x25, 0x80}, "9600 baud where 115200 baud was asked"},
        {{102, 7}, "7 data bits where 8 data bits was asked"},
        {{103, 3}, "even parity where no parity was asked"},
        {{104, 2}, "2 stop bits where 1 stop bit was asked"},
        {{105, 3}, "hardware flow control where no flow control was asked"}};
    for (const auto& [payload, mismatch] : cases) {
        ComPortClient client;
        Bytes out;
        ASSERT_TRUE(client.RequestLineSettings(LineOf115200(), out));
        client.Take(ComPortAnswer(payload), out);
        EXPECT_EQ(client.Mismatch(), mismatch);
    }
}

}  // namespace
