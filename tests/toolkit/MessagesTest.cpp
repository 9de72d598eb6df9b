// SPDX-License-Identifier: MIT
#include "Exceptions.h"
#include "Messages.h"

#include <gtest/gtest.h>

namespace {

TEST(Messages, BoxesReachTheInstalledService)
{
    RecordingMessageService recorder;
    ScopedMessageService scope(recorder);
    Application().Title = "Zendrak";

    MessageBox("COM Error", "error", MsgIcon::Warning);
    ShowMessage("Comm Error: ");
    ShowException(MakeRangeError());
    ShowException(MakeConvertError("x"));

    const auto boxes = recorder.Boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].Text, "COM Error");
    EXPECT_EQ(boxes[0].Caption, "error");
    EXPECT_EQ(boxes[0].Icon, MsgIcon::Warning);
    EXPECT_EQ(boxes[1].Caption, "Zendrak");
    EXPECT_EQ(boxes[1].Icon, MsgIcon::None);
    EXPECT_EQ(boxes[2].Text,
              "Fehler bei Bereichspr\xFC"
              "fung.");
    EXPECT_EQ(boxes[2].Caption, "Zendrak");
    EXPECT_EQ(boxes[2].Icon, MsgIcon::Error);
    EXPECT_EQ(boxes[3].Text, "'x' ist kein g\xFCltiger Integerwert.");
}

TEST(Messages, RecordedBoxesAreAnsweredAsScripted)
{
    RecordingMessageService recorder;
    ScopedMessageService scope(recorder);
    recorder.Answer("Try again");
    recorder.Answer("Never offered");
    // A box without extra buttons takes no answer; an answer the box does not offer is OK.
    const std::vector<std::string> offered{"Try again"};
    EXPECT_EQ(AskMessageBox({"COM Error", "error", MsgIcon::Warning, ""}), "");
    EXPECT_EQ(AskMessageBox({"Update Error", "Corvalt", MsgIcon::Warning, "", offered}),
              "Try again");
    EXPECT_EQ(AskMessageBox({"Update Error", "Corvalt", MsgIcon::Warning, "", offered}), "");
    EXPECT_EQ(AskMessageBox({"Update Error", "Corvalt", MsgIcon::Warning, "", offered}), "");
    ASSERT_EQ(recorder.Boxes().size(), 4u);
    EXPECT_EQ(recorder.Boxes()[1].ExtraButtons, offered);
}

}  // namespace
