// SPDX-License-Identifier: MIT
// The viewer's own logic: help file resolution, the compiled-help test, topic addresses,
// keyword reduction and selection, and what reaches the engine.
#include "HelpTestSupport.h"
#include "ProgramLocation.h"

#include "TStringList.h"

#include <QObject>

#include <gtest/gtest.h>

namespace {

// A manager that reports a fixed help file and owner window.
class FakeManager final : public TInterfacedObject<IHelpManager> {
public:
    std::string HelpFile;
    QObject* Owner = nullptr;
    std::vector<int32_t> Released;

    QObject* GetHandle() override { return Owner; }
    std::string GetHelpFile() override { return HelpFile; }
    void Release(int32_t viewerId) override { Released.push_back(viewerId); }
    using TInterfacedObject::Release;
};

TStringList List(std::initializer_list<const char*> entries)
{
    TStringList list;
    for (const char* e : entries)
        list.Add(e);
    return list;
}

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override { RecordedEngineCalls().clear(); }

    ScopedProgramFileName Exe{"/opt/tools/zendrak"};
    ScopedApplicationHelpFile AppHelp{"zendrakhelp.chm"};
    IPtr<TQelHtmlHelpViewer> Viewer{new TQelHtmlHelpViewer(&RecordingEngine)};
};

TEST_F(ViewerTest, ResolvesTheHelpFile)
{
    struct Case {
        const char* ExeFile;
        const char* ManagerFile;  // nullptr: no manager
        const char* AppFile;
        const char* Expected;
    };
    const Case cases[] = {
        {"/opt/tools/zendrak", nullptr, "zendrakhelp.chm", "/opt/tools/zendrakhelp.chm"},
        {"/opt/tools/zendrak", "", "zendrakhelp.chm", "/opt/tools/zendrakhelp.chm"},
        {"/opt/tools/zendrak", "other.chm", "zendrakhelp.chm", "/opt/tools/other.chm"},
        {"/opt/tools/zendrak", "/srv/doc/manual.chm", "zendrakhelp.chm", "/srv/doc/manual.chm"},
        {"/opt/tools/zendrak", nullptr, "doc/zendrakhelp.chm", "doc/zendrakhelp.chm"},
        {"/opt/tools/zendrak", nullptr, "", ""},
        {"/zendrak", nullptr, "zendrakhelp.chm", "/zendrakhelp.chm"},
        {"zendrak", nullptr, "zendrakhelp.chm", "zendrakhelp.chm"},
        {"", nullptr, "zendrakhelp.chm", "zendrakhelp.chm"},
    };
    for (const Case& c : cases) {
        ScopedProgramFileName exe(c.ExeFile);
        ScopedApplicationHelpFile app(c.AppFile);
        IPtr<FakeManager> manager;
        if (c.ManagerFile) {
            manager = IPtr<FakeManager>(new FakeManager());
            manager->HelpFile = c.ManagerFile;
        }
        Viewer->SetHelpManager(IPtr<IHelpManager>(manager));
        EXPECT_EQ(Viewer->GetHelpFileName(), c.Expected)
            << c.ExeFile << " | " << (c.ManagerFile ? c.ManagerFile : "(none)") << " | "
            << c.AppFile;
    }
}

TEST(ProgramLocationTest, ReportsThisExecutable)
{
    const std::string exe = ProgramFileName();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_NE(exe.find("help_unit_tests"), std::string::npos) << exe;
    EXPECT_EQ(DirectoryPart(exe) + exe.substr(exe.rfind('/') + 1), exe);
}

TEST(IsChmFileTest, ComparesTheLastExtension)
{
    const std::pair<const char*, bool> cases[] = {
        {"zendrakhelp.chm", true}, {"HELP.CHM", true},  {"/a/b.ChM", true}, {"help.chm.bak", false},
        {"help", false},           {"", false},         {".chm", true},     {"dir.chm/help", false},
        {"help.chmx", false},      {"help.hlp", false}, {"help.ch", false}, {"a.b.chm", true},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(TQelHtmlHelpViewer::IsChmFile(name), expected) << name;
}

TEST_F(ViewerTest, BuildsTopicAddresses)
{
    const std::pair<const char*, const char*> cases[] = {
        {"intro", "/opt/tools/zendrakhelp.chm::/intro.htm"},
        {"Intro.HTML", "/opt/tools/zendrakhelp.chm::/Intro.HTML"},
        {"port.htm", "/opt/tools/zendrakhelp.chm::/port.htm"},
        {"PORT.HTM", "/opt/tools/zendrakhelp.chm::/PORT.HTM"},
        {"notes.txt", "/opt/tools/zendrakhelp.chm::/notes.txt.htm"},
        {"v1.1\\intro", "/opt/tools/zendrakhelp.chm::/v1.1\\intro.htm"},
        {"v1.1/intro", "/opt/tools/zendrakhelp.chm::/v1.1/intro.htm"},
        {"a.b:c", "/opt/tools/zendrakhelp.chm::/a.b:c.htm"},
        {"page.htmx", "/opt/tools/zendrakhelp.chm::/page.htmx.htm"},
    };
    for (const auto& [topic, expected] : cases) {
        RecordedEngineCalls().clear();
        EXPECT_EQ(Viewer->TopicAddress(topic), expected) << topic;
        Viewer->DisplayTopic(topic);
        ASSERT_EQ(RecordedEngineCalls().size(), 1u) << topic;
        EXPECT_EQ(RecordedEngineCalls()[0].Command, HH_DISPLAY_TOPIC);
        EXPECT_EQ(RecordedEngineCalls()[0].File, expected);
        EXPECT_EQ(RecordedEngineCalls()[0].Data, 0u);
    }
}

TEST_F(ViewerTest, ReducesHelpStringsToKeywords)
{
    const std::pair<const char*, const char*> cases[] = {
        {"QelHtmlHelp: Port setup", "Port setup"},
        {"Port", "Port"},
        {"a:b:c", "b:c"},
        {"  \t Port \r\n", "Port"},
        {"WinHelp:", ""},
        {":", ""},
        {"", ""},
        {"x: \x01Port\x1f ", "Port"},
        {"x:Gr\xFC\xDF"
         "e ",
         "Gr\xFC\xDF"
         "e"},  // bytes above 127 are not blanks
    };
    for (const auto& [helpString, keyword] : cases) {
        EXPECT_EQ(TQelHtmlHelpViewer::ReduceKeyword(helpString), keyword) << helpString;
        RecordedEngineCalls().clear();
        Viewer->ShowHelp(helpString);
        ASSERT_EQ(RecordedEngineCalls().size(), 1u);
        EXPECT_EQ(RecordedEngineCalls()[0].Command, HH_DISPLAY_INDEX);
        EXPECT_EQ(RecordedEngineCalls()[0].File, "/opt/tools/zendrakhelp.chm");
        EXPECT_EQ(RecordedEngineCalls()[0].Keyword, keyword);
    }
}

TEST_F(ViewerTest, SelectsItsOwnKeyword)
{
    struct Case {
        TStringList Strings;
        int32_t Expected;
    };
    const Case cases[] = {
        {List({"WinHelp: Port setup", "QelHtmlHelp: Port setup"}), 1},
        {List({"QelHtmlHelp: Port setup", "QelHtmlHelp: Port"}), 0},
        {List({"WinHelp: Port setup", "Other: x"}), 0},
        {List({"qelhtmlhelp: Port", "QelHtmlHelp"}), 1},  // case counts; no colon: whole
        {List({"QelHtmlHelpX: a", " QelHtmlHelp: b", "QelHtmlHelp:c"}), 2},
        {List({}), 0},
    };
    for (const Case& c : cases) {
        TStringList strings = c.Strings;
        EXPECT_EQ(Viewer->SelectKeyword(strings), c.Expected) << strings.Text();
    }
}

TEST_F(ViewerTest, PicksItselfForTheTableOfContents)
{
    TStringList both = List({"QelHtmlHelp", "WinHelp"});
    EXPECT_EQ(Viewer->TableOfContents(both), 0);
    TStringList second = List({"Another", "QelHtmlHelp"});
    EXPECT_EQ(Viewer->TableOfContents(second), 1);
    TStringList none = List({"WinHelp", "qelhtmlhelp", "QelHtmlHelp: x"});
    EXPECT_EQ(Viewer->TableOfContents(none), -1);
    TStringList empty;
    EXPECT_EQ(Viewer->TableOfContents(empty), -1);
}

TEST_F(ViewerTest, AnswersTheQueries)
{
    EXPECT_EQ(Viewer->GetViewerName(), "QelHtmlHelp");
    EXPECT_EQ(Viewer->UnderstandsKeyword("Port"), 1);
    EXPECT_TRUE(Viewer->UnderstandsTopic("intro"));
    EXPECT_TRUE(Viewer->CanShowTableOfContents());
    auto strings = Viewer->GetHelpStrings("Port setup");
    ASSERT_EQ(strings->Count(), 1);
    EXPECT_EQ((*strings)[0], "QelHtmlHelp: Port setup");

    // The context query looks only at the file it is given.
    EXPECT_FALSE(Viewer->UnderstandsContext(5, "zendrak.hlp"));
    EXPECT_TRUE(Viewer->UnderstandsContext(5, "other.CHM"));
    {
        ScopedApplicationHelpFile noHelp("");
        EXPECT_TRUE(Viewer->UnderstandsContext(5, "other.chm"));
    }

    // Without compiled help the keyword and topic queries say no, the others stay.
    ScopedApplicationHelpFile plain("zendrak.hlp");
    EXPECT_EQ(Viewer->UnderstandsKeyword("Port"), 0);
    EXPECT_FALSE(Viewer->UnderstandsTopic("intro"));
    EXPECT_TRUE(Viewer->CanShowTableOfContents());
}

TEST_F(ViewerTest, DisplayRequestsWithoutCompiledHelpDoNothing)
{
    for (const char* file : {"zendrak.hlp", "", "zendrakhelp.chm.bak"}) {
        ScopedApplicationHelpFile app(file);
        Viewer->ShowTableOfContents();
        Viewer->ShowHelp("Port");
        Viewer->DisplayTopic("intro");
        Viewer->DisplayHelpByContext(7, "given.chm");
        EXPECT_TRUE(RecordedEngineCalls().empty()) << file;
    }
    // Closing does not depend on the help file.
    ScopedApplicationHelpFile none("");
    Viewer->SoftShutDown();
    EXPECT_EQ(RecordedEngineCalls().size(), 1u);
}

TEST_F(ViewerTest, PassesTheOwnerWindowAndClosesWithoutOne)
{
    QObject owner;
    IPtr<FakeManager> manager(new FakeManager());
    manager->Owner = &owner;
    Viewer->SetHelpManager(IPtr<IHelpManager>(manager));

    Viewer->ShowTableOfContents();
    Viewer->DisplayHelpByContext(1040, "ignored.hlp");
    Viewer->DisplayHelpByContext(-1, "");
    Viewer->SoftShutDown();
    Viewer->CallHtmlHelp("/x/y.chm", HH_CLOSE_ALL, 5);

    const auto& calls = RecordedEngineCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0].Owner, &owner);
    EXPECT_EQ(calls[0].File, "/opt/tools/zendrakhelp.chm");
    EXPECT_EQ(calls[0].Command, HH_DISPLAY_TOC);
    EXPECT_EQ(calls[0].Data, 0u);
    EXPECT_EQ(calls[1].Owner, &owner);
    EXPECT_EQ(calls[1].File, "/opt/tools/zendrakhelp.chm");  // the given name is not used
    EXPECT_EQ(calls[1].Command, HH_HELP_CONTEXT);
    EXPECT_EQ(calls[1].Data, 1040u);
    EXPECT_EQ(calls[2].Data, 0xFFFFFFFFu);  // the number's bits, not a sign-extended pointer
    for (size_t i : {3u, 4u}) {
        EXPECT_EQ(calls[i].Owner, nullptr);
        EXPECT_FALSE(calls[i].HasFile);
        EXPECT_EQ(calls[i].Command, HH_CLOSE_ALL);
    }
    EXPECT_EQ(calls[3].Data, 0u);
    EXPECT_EQ(calls[4].Data, 5u);
}

TEST_F(ViewerTest, ShutDownClosesAndDropsTheManager)
{
    IPtr<FakeManager> manager(new FakeManager());
    Viewer->SetHelpManager(IPtr<IHelpManager>(manager));
    Viewer->ShutDown();
    ASSERT_EQ(RecordedEngineCalls().size(), 1u);
    EXPECT_EQ(RecordedEngineCalls()[0].Command, HH_CLOSE_ALL);
    EXPECT_FALSE(Viewer->GetHelpManager());
    EXPECT_EQ(manager->RefCountForTests(), 1);  // only the test's own reference is left
}

TEST_F(ViewerTest, InternalShutdownReleasesItsNumber)
{
    IPtr<FakeManager> manager(new FakeManager());
    Viewer->NotifyID(42);
    Viewer->SetHelpManager(IPtr<IHelpManager>(manager));
    Viewer->InternalShutdown();
    EXPECT_EQ(manager->Released, std::vector<int32_t>{42});
    EXPECT_FALSE(Viewer->GetHelpManager());
    Viewer->InternalShutdown();  // nothing left to release
    EXPECT_EQ(manager->Released.size(), 1u);
    EXPECT_TRUE(RecordedEngineCalls().empty());  // it does not close windows itself
}

TEST(ViewerLibraryTest, MissingEngineLibraryMakesEveryRequestDoNothing)
{
    ScopedApplicationHelpFile app("/tmp/zendrakhelp.chm");
    IPtr<TQelHtmlHelpViewer> viewer(new TQelHtmlHelpViewer("/nonexistent/libhhctrl.so"));
    EXPECT_FALSE(viewer->HasLibrary());
    EXPECT_FALSE(viewer->HasEngine());
    EXPECT_TRUE(viewer->CanShowTableOfContents());
    EXPECT_EQ(viewer->UnderstandsKeyword("x"), 1);
    viewer->ShowTableOfContents();
    viewer->ShowHelp("x");
    viewer->DisplayTopic("x");
    viewer->DisplayHelpByContext(1, "x.chm");
    viewer->SoftShutDown();
}

TEST(ViewerLibraryTest, LibraryWithoutTheEntryGivesNoEngine)
{
    // The C library is loaded, but it has no HtmlHelpA.
    IPtr<TQelHtmlHelpViewer> viewer(new TQelHtmlHelpViewer("libc.so.6"));
    EXPECT_TRUE(viewer->HasLibrary());
    EXPECT_FALSE(viewer->HasEngine());
    viewer->ShowTableOfContents();
}

TEST(ViewerLifetimeTest, TheLastReferenceClearsTheGlobal)
{
    auto* raw = new TQelHtmlHelpViewer(&RecordingEngine);
    {
        IPtr<TQelHtmlHelpViewer> keep(raw);
        QelHelpViewer = raw;
    }
    EXPECT_EQ(QelHelpViewer, nullptr);
}

TEST(WinHelpTesterTest, DeclinesEverything)
{
    IPtr<TQelWinHelpTester> tester(new TQelWinHelpTester());
    EXPECT_FALSE(tester->CanShowKeyword("Port", "zendrak.hlp"));
    EXPECT_FALSE(tester->CanShowTopic("intro", "zendrak.hlp"));
    EXPECT_FALSE(tester->CanShowContext(3, "zendrak.hlp"));
    auto strings = tester->GetHelpStrings("Port");
    ASSERT_EQ(strings->Count(), 1);
    EXPECT_EQ((*strings)[0], ": Port");
    EXPECT_EQ(tester->GetHelpPath(), "");
    EXPECT_EQ(tester->GetDefaultHelpFile(), "");
}

}  // namespace
