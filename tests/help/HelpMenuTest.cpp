// SPDX-License-Identifier: MIT
// The Help menu of the real main window, offscreen: the request goes through the application's
// help system to the viewer and the engine library and opens the built help file in a window
// that belongs to the main window; also while an update run is in progress.
#include "GuiTestSupport.h"
#include "ProgramLocation.h"
#include "QelHtmlHelp.h"
#include "StartUnit.h"
#include "SystemTexts.h"
#include "TThread.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QPushButton>

#include <memory>

#include <gtest/gtest.h>

namespace {

std::vector<QWidget*> HelpWindows()
{
    std::vector<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "ZendrakHelpWindow" && w->isVisible())
            windows.push_back(w);
    return windows;
}

class HelpMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(ZENDRAK_TEST_HELP_FILE))
            GTEST_SKIP() << "the help file was not built (chmcmd missing)";
        // The program's start-up, with the executable taken to lie beside the engine library
        // and the help file.
        Application().Title = Texts::ApplicationTitle;
        Application().HelpFile = Texts::HelpFileName;
        InitializeQelHtmlHelp();
        ASSERT_TRUE(QelHelpViewer && QelHelpViewer->HasEngine());
        Workspace.WriteFirmwareFiles();
        Workspace.Write("Zendrak.dat", std::string(1, char(4)));
    }
    void TearDown() override
    {
        if (Form)
            WaitUntil([this] { return !Form->UpdateRunning; }, 90000);
        TThread::WaitForAll();
        SetHelpOwnerWindow(nullptr);
        FinalizeQelHtmlHelp();
        Form1 = nullptr;
        Form.reset();
    }
    void CreateWindow(const std::string& ports)
    {
        Workspace.WritePortsFile(ports);
        Form = std::make_unique<TForm1>();
        Form1 = Form.get();
        SetHelpOwnerWindow(Form.get());
        Form->show();
    }

    ScopedProgramFileName Exe{QFileInfo(ZENDRAK_TEST_HELP_FILE).absolutePath().toStdString() +
                              "/zendrak"};
    TestWorkspace Workspace;
    RecordingMessageService Boxes;
    ScopedMessageService Scope{Boxes};
    std::unique_ptr<TForm1> Form;
};

TEST_F(HelpMenuTest, OpensTheHelpFileAtItsContents)
{
    CreateWindow("COM4=" + Workspace.Path("absent").toStdString() + "\n");
    const size_t boxesBefore = Boxes.Texts().size();
    Form->Help1->trigger();
    auto windows = HelpWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0]->parentWidget(), Form.get());
    EXPECT_EQ(windows[0]->property("currentTopic").toString(), "/index.htm");
    EXPECT_EQ(QFileInfo(windows[0]->property("helpFile").toString()).canonicalFilePath(),
              QFileInfo(ZENDRAK_TEST_HELP_FILE).canonicalFilePath());

    // Asked again, the same window comes back.
    windows[0]->close();
    EXPECT_TRUE(HelpWindows().empty());
    Form->Help1->trigger();
    ASSERT_EQ(HelpWindows().size(), 1u);
    EXPECT_EQ(HelpWindows()[0], windows[0]);
    EXPECT_EQ(Boxes.Texts().size(), boxesBefore);  // help never shows a box
}

TEST_F(HelpMenuTest, OpensDuringAnUpdateRun)
{
    ReceiverSimulator receiver(Workspace.Path("receiver"), {"--verdict-delay", "2000"});
    ASSERT_TRUE(receiver.Started());
    CreateWindow("COM4=" + Workspace.Path("receiver").toStdString() + "\n");
    Form->ButtonStart->click();
    ASSERT_TRUE(Form->UpdateRunning);
    EXPECT_TRUE(Form->Help1->isEnabled());

    Form->Help1->trigger();
    ASSERT_EQ(HelpWindows().size(), 1u);
    EXPECT_TRUE(Form->UpdateRunning);  // the help window did not wait for the run
    EXPECT_EQ(HelpWindows()[0]->parentWidget(), Form.get());

    // The help window serves further requests while the worker runs; the run ends as usual.
    GetHelpSystem()->ShowTopicHelp("update", "");
    EXPECT_TRUE(Form->UpdateRunning);
    EXPECT_EQ(HelpWindows()[0]->property("currentTopic").toString(), "/update.htm");
    ASSERT_TRUE(WaitUntil([this] { return !Form->UpdateRunning; }, 90000));
    EXPECT_EQ(Form->StatusText(), QStringLiteral("Update OK"));
    EXPECT_EQ(HelpWindows().size(), 1u);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
