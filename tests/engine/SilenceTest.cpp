// SPDX-License-Identifier: MIT
// The counters of silent reads, on the real read clock (each silent read lasts about 1.3 s).
#include "RunTestSupport.h"

namespace {

TEST_F(UpdateRunTest, SilentReceiverGivesUpAfterFifteenReads)
{
    Host.Files = {{FontName, PlainBytes(25)}};
    const std::string line = Run({});
    std::vector<std::string> log = {Expect::LoadingFirmware, "Loading file: " + FontName,
                                    Expect::SendRestart};
    // The 14th silent read moves the count on to 15, so the next one logs 16.
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16})
        log.push_back("Bitte warten... " + std::to_string(n));
    log.push_back("Keine Verbindung zum Receiver: ");
    log.push_back(Expect::Starting);
    log.push_back(Expect::Terminated);
    EXPECT_EQ(Log(), log);
    EXPECT_EQ(line, "r\r\ns\r\n");
    EXPECT_FALSE(Host.Succeeded());
}

TEST_F(UpdateRunTest, SilenceWhileVerifyingIsNotResetByOutputWithoutMarker)
{
    Host.Files = {{FontName, PlainBytes(25)}};
    const std::string f = AsText(PlainBytes(25));
    // Unrecognised output after the 10th silent read: were it to reset the count, "10" would
    // be logged twice.
    const std::string line = Run({{"r\r\n", {"Q9X-SUC\r\n"}},
                                  {"l\r\n", {}},
                                  {f, {"noise\r\n"}, "", false, std::chrono::milliseconds(16000)}});
    std::vector<std::string> log = {Expect::LoadingFirmware, "Loading file: " + FontName,
                                    Expect::SendRestart,     Expect::FoundStartUpControl,
                                    Expect::Sending,         Expect::Sent};
    for (int n = 10; n <= 60; n += 10)
        log.push_back("ST_WAITRESULT readNothing " + std::to_string(n));
    log.push_back(Expect::Starting);  // the read error itself is shown, not logged
    log.push_back(Expect::Terminated);
    EXPECT_EQ(Log(), log);
    EXPECT_EQ(line, "r\r\nl\r\n" + f + "s\r\n");
    EXPECT_FALSE(Host.Succeeded());
}

}  // namespace
