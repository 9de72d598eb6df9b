// SPDX-License-Identifier: MIT
// The simulator's console texts carry exactly the marker each is meant to carry.
#include "ReceiverTexts.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(ReceiverTexts, CarryOnlyTheirOwnMarker)
{
    const std::vector<std::string> markers = {
        Texts::MarkerStartUpControl, Texts::MarkerStartMenu,
        Texts::MarkerBinaryMode,     Texts::MarkerDefaultChannelList,
        Texts::MarkerExitToMainMenu, Texts::MarkerFlash,
        Texts::MarkerError,          Texts::MarkerWriteSector,
        Texts::MarkerFileOk,         Texts::MarkerFin,
        Texts::MarkerWrong,          Texts::MarkerSaved};
    using namespace ReceiverTexts;
    const std::map<std::string, std::string> own = {{StartUp, Texts::MarkerStartUpControl},
                                                    {StartMenu, Texts::MarkerStartMenu},
                                                    {BinaryPrompt, Texts::MarkerBinaryMode},
                                                    {ChannelList, Texts::MarkerDefaultChannelList},
                                                    {ExitMenu, Texts::MarkerExitToMainMenu},
                                                    {FlashBusy, Texts::MarkerFlash},
                                                    {FileOk, Texts::MarkerFileOk},
                                                    {Fin, Texts::MarkerFin},
                                                    {Wrong, Texts::MarkerWrong},
                                                    {StartMessage, ""},
                                                    {Garbage(7), ""},
                                                    {Chatter(12), ""},
                                                    {WriteSector(2, 3), Texts::MarkerWriteSector},
                                                    {Saved(0xDEADBEEF), Texts::MarkerSaved}};
    for (const auto& [text, marker] : own) {
        if (!marker.empty()) {
            EXPECT_NE(text.find(marker), std::string::npos) << text;
        }
        for (const std::string& other : markers) {
            if (other != marker) {
                EXPECT_EQ(text.find(other), std::string::npos) << other << " in " << text;
            }
        }
    }
}

}  // namespace
