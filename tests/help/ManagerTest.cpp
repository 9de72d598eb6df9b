// SPDX-License-Identifier: MIT
// The help manager: viewer numbers and references, release, the routing of requests with the
// selector's choice, shutdown, and the WinHelp viewer with and without its tester.
#include "HelpTestSupport.h"
#include "ProgramLocation.h"

#include "TStringList.h"
#include "help/HelpManager.h"
#include "help/HelpSystem.h"
#include "help/WinHelpViewer.h"

#include <QObject>

#include <gtest/gtest.h>

namespace {

// A viewer that records what it is asked; its answers are set by the test.
class ProbeViewer final : public TInterfacedObject<IExtendedHelpViewer> {
public:
    explicit ProbeViewer(std::string name, std::vector<std::string>* journal)
        : Name(std::move(name)), Journal(journal)
    {
    }
    int32_t Id = 0;
    bool CanToc = true;
    int32_t Keywords = 1;
    bool Topics = true;

    std::string GetViewerName() override { return Name; }
    int32_t UnderstandsKeyword(const std::string&) override { return Keywords; }
    std::unique_ptr<TStringList> GetHelpStrings(const std::string& keyword) override
    {
        auto list = std::make_unique<TStringList>();
        list->Add(Name + ": " + keyword);
        return list;
    }
    bool CanShowTableOfContents() override { return CanToc; }
    void ShowTableOfContents() override { Note("toc"); }
    void ShowHelp(const std::string& s) override { Note("help " + s); }
    void NotifyID(int32_t id) override { Id = id; }
    void SoftShutDown() override { Note("soft"); }
    void ShutDown() override { Note("shut"); }
    bool UnderstandsTopic(const std::string&) override { return Topics; }
    void DisplayTopic(const std::string& t) override { Note("topic " + t); }
    bool UnderstandsContext(int32_t, const std::string&) override { return Topics; }
    void DisplayHelpByContext(int32_t id, const std::string&) override
    {
        Note("context " + std::to_string(id));
    }

private:
    ~ProbeViewer() override { Note("destroyed"); }
    void Note(const std::string& what) { Journal->push_back(Name + " " + what); }
    std::string Name;
    std::vector<std::string>* Journal;
};

// A selector that records the lists it is shown and answers fixed indexes.
class ProbeSelector final : public TInterfacedObject<IHelpSelector> {
public:
    int32_t KeywordAnswer = 0;
    int32_t TocAnswer = 0;
    std::vector<std::string> SeenKeywords;
    std::vector<std::string> SeenNames;

    int32_t SelectKeyword(TStringList& list) override
    {
        SeenKeywords = list.Strings;
        return KeywordAnswer;
    }
    int32_t TableOfContents(TStringList& list) override
    {
        SeenNames = list.Strings;
        return TocAnswer;
    }
};

struct Registered {
    IPtr<ProbeViewer> Viewer;
    IPtr<IHelpManager> Manager;
};

class ManagerTest : public ::testing::Test {
protected:
    Registered Add(const std::string& name)
    {
        IPtr<ProbeViewer> viewer(new ProbeViewer(name, &Journal));
        IPtr<IHelpManager> reference = Manager->RegisterViewer(IPtr<ICustomHelpViewer>(viewer));
        return {viewer, reference};
    }

    std::vector<std::string> Journal;
    IPtr<THelpManager> Manager{new THelpManager()};
};

TEST_F(ManagerTest, RegistrationNumbersViewersAndHandsBackTheManager)
{
    Registered a = Add("A");
    Registered b = Add("B");
    Registered c = Add("C");
    EXPECT_EQ(a.Viewer->Id, 1);
    EXPECT_EQ(b.Viewer->Id, 2);
    EXPECT_EQ(c.Viewer->Id, 3);
    EXPECT_EQ(a.Manager.Get(), static_cast<IHelpManager*>(Manager.Get()));
    EXPECT_EQ(Manager->ViewerCount(), 3);
    EXPECT_EQ(Manager->ExtendedViewerCount(), 3);

    // A released number is not given again.
    Manager->Release(2);
    Registered d = Add("D");
    EXPECT_EQ(d.Viewer->Id, 4);
    EXPECT_EQ(Manager->ViewerCount(), 3);
}

TEST_F(ManagerTest, ReleaseDropsOnlyThatViewer)
{
    Registered a = Add("A");
    Registered b = Add("B");
    const int32_t before = b.Viewer->RefCountForTests();
    Manager->Release(b.Viewer->Id);
    EXPECT_EQ(Manager->ViewerCount(), 1);
    EXPECT_LT(b.Viewer->RefCountForTests(), before);
    Manager->Release(99);  // unknown numbers change nothing
    EXPECT_EQ(Manager->ViewerCount(), 1);
    EXPECT_TRUE(std::find(Journal.begin(), Journal.end(), "B shut") == Journal.end());

    // The last reference of a released viewer destroys it.
    b = {};
    EXPECT_EQ(Journal.back(), "B destroyed");
    Manager->ShowTableOfContents();
    EXPECT_EQ(Journal.back(), "A toc");
}

TEST_F(ManagerTest, OneViewerShowsTheContentsDirectly)
{
    auto selector = IPtr<ProbeSelector>(new ProbeSelector());
    Manager->AssignHelpSelector(IPtr<IHelpSelector>(selector));
    Registered a = Add("A");
    Registered b = Add("B");
    b.Viewer->CanToc = false;
    Manager->ShowTableOfContents();
    EXPECT_EQ(Journal, std::vector<std::string>{"A toc"});
    EXPECT_TRUE(selector->SeenNames.empty());
}

TEST_F(ManagerTest, SeveralViewersLetTheSelectorChooseAmongSortedNames)
{
    auto selector = IPtr<ProbeSelector>(new ProbeSelector());
    Manager->AssignHelpSelector(IPtr<IHelpSelector>(selector));
    Registered w = Add("WinHelp");
    Registered q = Add("QelHtmlHelp");
    Registered m = Add("Manual");

    selector->TocAnswer = 1;
    Manager->ShowTableOfContents();
    EXPECT_EQ(selector->SeenNames, (std::vector<std::string>{"Manual", "QelHtmlHelp", "WinHelp"}));
    EXPECT_EQ(Journal, std::vector<std::string>{"QelHtmlHelp toc"});

    Journal.clear();
    selector->TocAnswer = -1;  // the selector declines: nobody shows anything
    Manager->ShowTableOfContents();
    selector->TocAnswer = 3;  // out of range: likewise
    Manager->ShowTableOfContents();
    EXPECT_TRUE(Journal.empty());
}

TEST_F(ManagerTest, KeywordRequestsGoThroughTheSelector)
{
    auto selector = IPtr<ProbeSelector>(new ProbeSelector());
    Manager->AssignHelpSelector(IPtr<IHelpSelector>(selector));
    Registered a = Add("A");
    Registered b = Add("B");
    Registered c = Add("C");
    c.Viewer->Keywords = 0;

    selector->KeywordAnswer = 1;
    Manager->ShowHelp("Port", "manual.chm");
    EXPECT_EQ(selector->SeenKeywords, (std::vector<std::string>{"A: Port", "B: Port"}));
    EXPECT_EQ(Journal, std::vector<std::string>{"B help B: Port"});
    EXPECT_EQ(Manager->GetHelpFile(), "manual.chm");

    Journal.clear();
    a.Viewer->Keywords = 0;
    Manager->ShowHelp("Port", "");
    EXPECT_EQ(Journal, std::vector<std::string>{"B help Port"});  // one viewer: directly
    EXPECT_EQ(Manager->GetHelpFile(), "manual.chm");  // an empty name keeps the current file
}

TEST_F(ManagerTest, TopicAndContextGoToTheFirstExtendedViewerThatUnderstands)
{
    Registered a = Add("A");
    Registered b = Add("B");
    a.Viewer->Topics = false;
    Manager->ShowTopicHelp("intro", "");
    Manager->ShowContextHelp(1040, "x.chm");
    EXPECT_EQ(Journal, (std::vector<std::string>{"B topic intro", "B context 1040"}));
}

TEST_F(ManagerTest, SoftShutDownAndUnloadReachEveryViewer)
{
    Registered a = Add("A");
    Registered b = Add("B");
    Manager->SoftShutDownViewers();
    EXPECT_EQ(Journal, (std::vector<std::string>{"A soft", "B soft"}));
    EXPECT_EQ(Manager->ViewerCount(), 2);
    Journal.clear();
    Manager->UnloadViewers();
    EXPECT_EQ(Journal, (std::vector<std::string>{"A shut", "B shut"}));
    EXPECT_EQ(Manager->ViewerCount(), 0);
}

TEST(ManagerLifetimeTest, DestroyingTheManagerShutsItsViewersDown)
{
    std::vector<std::string> journal;
    IPtr<ProbeViewer> viewer(new ProbeViewer("A", &journal));
    {
        IPtr<THelpManager> manager(new THelpManager());
        manager->RegisterViewer(IPtr<ICustomHelpViewer>(viewer));  // reference dropped at once
    }
    EXPECT_EQ(journal, std::vector<std::string>{"A shut"});
}

TEST(ManagerOwnerTest, ReportsTheOwnerWindowWhileItLives)
{
    IPtr<THelpManager> manager(new THelpManager());
    EXPECT_EQ(manager->GetHandle(), nullptr);
    auto* owner = new QObject();
    manager->SetOwnerWindow(owner);
    EXPECT_EQ(manager->GetHandle(), owner);
    delete owner;
    EXPECT_EQ(manager->GetHandle(), nullptr);  // never a dangling window
}

class WinHelpTest : public ::testing::Test {
protected:
    ~WinHelpTest() override { SetWinHelpTester({}); }
    IPtr<TWinHelpViewer> Viewer{new TWinHelpViewer()};
};

TEST_F(WinHelpTest, AcceptsEverythingWithoutATester)
{
    SetWinHelpTester({});
    EXPECT_EQ(Viewer->UnderstandsKeyword("Port"), 1);
    EXPECT_TRUE(Viewer->UnderstandsTopic("intro"));
    EXPECT_TRUE(Viewer->UnderstandsContext(3, "zendrak.hlp"));
    EXPECT_TRUE(Viewer->CanShowTableOfContents());
}

TEST_F(WinHelpTest, DeclinesEverythingWithTheViewersTester)
{
    SetWinHelpTester(IPtr<IWinHelpTester>(new TQelWinHelpTester()));
    EXPECT_EQ(Viewer->UnderstandsKeyword("Port"), 0);
    EXPECT_FALSE(Viewer->UnderstandsTopic("intro"));
    EXPECT_FALSE(Viewer->UnderstandsContext(3, "zendrak.hlp"));
    auto strings = Viewer->GetHelpStrings("Port");
    ASSERT_EQ(strings->Count(), 1);
    EXPECT_EQ((*strings)[0], ": Port");
}

// Registration of the program's viewer with a manager that also holds the WinHelp viewer, as
// at program start: the Help menu's request ends at the program's viewer.
class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RecordedEngineCalls().clear();
        auto* winHelp = new TWinHelpViewer();
        WinHelp = IPtr<TWinHelpViewer>(winHelp);
        winHelp->SetHelpManager(Manager->RegisterViewer(IPtr<ICustomHelpViewer>(WinHelp)));
        Viewer = IPtr<TQelHtmlHelpViewer>(new TQelHtmlHelpViewer(&RecordingEngine));
        RegisterQelHtmlHelp(*Manager, Viewer.Get());
    }
    void TearDown() override
    {
        if (QelHelpViewer)
            QelHelpViewer->InternalShutdown();
        Manager->UnloadViewers();
        SetWinHelpTester({});
        Manager->AssignHelpSelector({});
    }

    ScopedProgramFileName Exe{"/opt/tools/zendrak"};
    ScopedApplicationHelpFile AppHelp{"zendrakhelp.chm"};
    IPtr<THelpManager> Manager{new THelpManager()};
    IPtr<TWinHelpViewer> WinHelp;
    IPtr<TQelHtmlHelpViewer> Viewer;
};

TEST_F(RegistrationTest, RegistersNumberReferenceSelectorAndTester)
{
    EXPECT_EQ(QelHelpViewer, Viewer.Get());
    EXPECT_EQ(Viewer->GetViewerId(), 2);
    EXPECT_EQ(Viewer->GetHelpManager().Get(), static_cast<IHelpManager*>(Manager.Get()));
    EXPECT_EQ(Manager->ExtendedViewerCount(), 2);
    EXPECT_EQ(Manager->HelpSelector().Get(), static_cast<IHelpSelector*>(Viewer.Get()));
    EXPECT_EQ(WinHelp->UnderstandsKeyword("Port"), 0);
}

TEST_F(RegistrationTest, TableOfContentsReachesTheViewerAmongTwo)
{
    QObject owner;
    Manager->SetOwnerWindow(&owner);
    Manager->ShowTableOfContents();
    ASSERT_EQ(RecordedEngineCalls().size(), 1u);
    EXPECT_EQ(RecordedEngineCalls()[0].Command, HH_DISPLAY_TOC);
    EXPECT_EQ(RecordedEngineCalls()[0].File, "/opt/tools/zendrakhelp.chm");
    EXPECT_EQ(RecordedEngineCalls()[0].Owner, &owner);
}

TEST_F(RegistrationTest, KeywordTopicAndContextReachOnlyTheViewer)
{
    Manager->ShowHelp("Port setup", "");
    Manager->ShowTopicHelp("intro", "");
    Manager->ShowContextHelp(1040, "zendrakhelp.chm");
    ASSERT_EQ(RecordedEngineCalls().size(), 3u);
    EXPECT_EQ(RecordedEngineCalls()[0].Command, HH_DISPLAY_INDEX);
    EXPECT_EQ(RecordedEngineCalls()[0].Keyword, "Port setup");
    EXPECT_EQ(RecordedEngineCalls()[1].File, "/opt/tools/zendrakhelp.chm::/intro.htm");
    EXPECT_EQ(RecordedEngineCalls()[2].Command, HH_HELP_CONTEXT);
}

TEST_F(RegistrationTest, InternalShutdownLeavesOnlyTheWinHelpViewer)
{
    QelHelpViewer->InternalShutdown();
    EXPECT_EQ(Manager->ViewerCount(), 1);
    EXPECT_FALSE(Viewer->GetHelpManager());
    Manager->ShowTableOfContents();  // the WinHelp viewer alone: it shows nothing
    EXPECT_TRUE(RecordedEngineCalls().empty());
}

TEST(ApplicationHelpSystemTest, HasTheWinHelpViewerAndServesTheHelpMenu)
{
    THelpManager& manager = ApplicationHelpManager();
    EXPECT_EQ(manager.ViewerCount(), 1);
    EXPECT_EQ(GetHelpSystem().Get(), static_cast<IHelpSystem*>(&manager));
    HelpShowTableOfContents();  // only the WinHelp viewer: nothing to show, nothing breaks
}

}  // namespace
