// SPDX-License-Identifier: MIT
// The CLI's own pieces: its option parsing and what its progress view prints.
#include "CliOptions.h"
#include "ProgressView.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(CliOptions, ComNumbers)
{
    const std::pair<const char*, int> cases[] = {
        {"COM1", 1}, {"COM12", 12}, {"com7", 7}, {"COM255", 255}, {"COM256", 0}, {"COM0", 0},
        {"COM01", 0}, {"COM", 0}, {"COMX", 0}, {"COM1x", 0}, {"LPT1", 0}, {"/dev/ttyS0", 0}};
    for (const auto& [text, number] : cases)
        EXPECT_EQ(ComNumberOfOption(text), number) << text;
}

TEST(CliOptions, ParsesEachForm)
{
    CliParse p = ParseCliOptions({"-p", "/dev/ttyUSB0", "-C", "fw", "-q"});
    EXPECT_EQ(p.Error, "");
    EXPECT_EQ(p.Options.Command, CliOptions::Action::Update);
    EXPECT_EQ(p.Options.Port, "/dev/ttyUSB0");
    EXPECT_EQ(p.Options.Directory, "fw");
    EXPECT_TRUE(p.Options.Quiet);
    EXPECT_EQ(ParseCliOptions({"--list-ports"}).Options.Command, CliOptions::Action::ListPorts);
    EXPECT_EQ(ParseCliOptions({}).Options.Command, CliOptions::Action::Update);
    EXPECT_EQ(ParseCliOptions({}).Options.Port, "");
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"-C"}, {"-p", ""}, {"--list-ports", "--help"},
          {"--list-ports", "-p", "COM1"}, {"file.app"}, {"--port=COM1"}})
        EXPECT_NE(ParseCliOptions(bad).Error, "") << bad[0];
}

// Runs `show` on a view writing into a memory stream and returns what it wrote.
template <class Show>
std::string Output(bool terminal, bool quiet, Show show)
{
    char* data = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    {
        ProgressView view(out, terminal, quiet);
        show(view);
    }
    std::fclose(out);
    std::string text(data, size);
    std::free(data);
    return text;
}

void OneFile(ProgressView& view)
{
    view.ShowFileName("/fw/font.app");
    view.ShowStatus(Texts::StatusSendingFile4);
    for (int p : {5, 9, 36, 72, 84, 88, 92, 96, 100})
        view.ShowProgress(p);
    view.ShowStatus(Texts::StatusPleaseWait);
    view.ShowStatus(Texts::StatusPleaseWait);  // a repeat is not shown again
    view.ShowProgress(0);                      // the reset at the end shows nothing
    view.ShowOutcome(Texts::UpdateOk);
}

TEST(ProgressView, PlainLinesInStepsOfTen)
{
    const std::string out = Output(false, false, OneFile);
    const std::string expected = "Sending /fw/font.app\n"
                                 "Datei wird \xC3\xBC" "bertragen....\n"
                                 "36%\n72%\n84%\n92%\n100%\n"
                                 "Bitte warten...\n"
                                 "Update OK\n";
    // The umlaut is shown in the terminal's encoding (UTF-8 here) or as the system's byte.
    const std::string latin = "Sending /fw/font.app\n"
                              "Datei wird \xFC" "bertragen....\n"
                              "36%\n72%\n84%\n92%\n100%\n"
                              "Bitte warten...\n"
                              "Update OK\n";
    EXPECT_TRUE(out == expected || out == latin) << out;
}

TEST(ProgressView, OneRedrawnLineOnATerminal)
{
    const std::string out = Output(true, false, OneFile);
    EXPECT_NE(out.find("\r["), std::string::npos);
    EXPECT_NE(out.find("] 100%\n"), std::string::npos);
    EXPECT_EQ(out.find("36%\n"), std::string::npos);  // redrawn, not a line per step
    EXPECT_EQ(out.substr(out.size() - 11), "\nUpdate OK\n");
}

TEST(ProgressView, QuietShowsOnlyTheOutcome)
{
    EXPECT_EQ(Output(false, true, OneFile), "Update OK\n");
    EXPECT_EQ(Output(true, true, OneFile), "Update OK\n");
}

}  // namespace
