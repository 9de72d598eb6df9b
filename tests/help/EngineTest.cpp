// SPDX-License-Identifier: MIT
// The help engine library as programs load it, with the built help file, in help windows on
// the offscreen platform; and the viewer driving it from the help system.
#include "HelpTestSupport.h"
#include "ProgramLocation.h"

#include "help/HelpSystem.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>

#include <dlfcn.h>

#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace {

const char* const EngineLibrary = ZENDRAK_TEST_ENGINE_LIBRARY;
const char* const HelpFile = ZENDRAK_TEST_HELP_FILE;

THtmlHelpAEntry Engine()
{
    static THtmlHelpAEntry entry = [] {
        void* library = dlopen(EngineLibrary, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        return library ? reinterpret_cast<THtmlHelpAEntry>(dlsym(library, "HtmlHelpA")) : nullptr;
    }();
    return entry;
}

std::vector<QWidget*> HelpWindows()
{
    std::vector<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "ZendrakHelpWindow")
            windows.push_back(w);
    return windows;
}

QString Topic(QWidget* window)
{
    return window->property("currentTopic").toString();
}

QTextBrowser* Browser(QWidget* window)
{
    return window->findChild<QTextBrowser*>("topicBrowser");
}

QStringList TopLevelTitles(QWidget* window)
{
    QStringList titles;
    auto* tree = window->findChild<QTreeWidget*>("contentsTree");
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
        titles << tree->topLevelItem(i)->text(0);
    return titles;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Engine(), nullptr) << "no HtmlHelpA in " << EngineLibrary;
        if (!QFile::exists(HelpFile))
            GTEST_SKIP() << "the help file was not built (chmcmd missing)";
    }
    void TearDown() override
    {
        if (Engine())
            Engine()(nullptr, nullptr, HH_CLOSE_ALL, 0);
    }
    int Call(const std::string& file, unsigned command, uintptr_t data = 0,
             QWidget* owner = nullptr)
    {
        return Engine()(static_cast<QObject*>(owner), file.c_str(), command, data);
    }
};

TEST_F(EngineTest, TableOfContentsOpensTheDefaultTopicWithTheContentsTree)
{
    EXPECT_EQ(Call(HelpFile, HH_DISPLAY_TOC), 1);
    const auto windows = HelpWindows();
    ASSERT_EQ(windows.size(), 1u);
    QWidget* window = windows[0];
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Topic(window), "/index.htm");
    EXPECT_TRUE(window->windowTitle().startsWith("Zendrak Help"))
        << window->windowTitle().toStdString();
    EXPECT_EQ(TopLevelTitles(window), (QStringList{"Welcome to Zendrak", "Messages", "Files",
                                                   "zendrak-cli", "The receiver simulator"}));
    auto* tree = window->findChild<QTreeWidget*>("contentsTree");
    ASSERT_NE(tree, nullptr);
    QStringList welcomeChildren;
    for (int i = 0; i < tree->topLevelItem(0)->childCount(); ++i)
        welcomeChildren << tree->topLevelItem(0)->child(i)->text(0);
    EXPECT_EQ(welcomeChildren,
              (QStringList{"Connecting the receiver", "Choosing the port",
                           "Receivers on another machine", "Running an update", "The bench"}));
    EXPECT_EQ(tree->topLevelItem(1)->childCount(), 10);  // one entry per message
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem()->text(0), "Welcome to Zendrak");

    // The page itself came out of the help file.
    EXPECT_TRUE(Browser(window)->toPlainText().contains("loads new firmware"));
}

TEST_F(EngineTest, OneWindowPerFileIsReused)
{
    Call(HelpFile, HH_DISPLAY_TOC);
    Call(HelpFile, HH_DISPLAY_TOPIC);
    Call(std::string(HelpFile) + "::/port.htm", HH_DISPLAY_TOPIC);
    // The same file under another spelling of its path.
    const QString other =
        QFileInfo(HelpFile).absolutePath() + "/./" + QFileInfo(HelpFile).fileName();
    Call(other.toStdString(), HH_DISPLAY_TOC);
    ASSERT_EQ(HelpWindows().size(), 1u);
    // Help again on the open window raises it on the page the user is on.
    EXPECT_EQ(Topic(HelpWindows()[0]), "/port.htm");
    EXPECT_TRUE(Browser(HelpWindows()[0])->isBackwardAvailable());  // the way back is kept
    // Closed and asked for again, the contents start at the first page.
    HelpWindows()[0]->close();
    Call(HelpFile, HH_DISPLAY_TOC);
    ASSERT_EQ(HelpWindows().size(), 1u);
    EXPECT_EQ(Topic(HelpWindows()[0]), "/index.htm");

    // A copy of the file is another help file with its own window.
    QTemporaryDir dir;
    const QString copy = dir.filePath("copy.chm");
    ASSERT_TRUE(QFile::copy(HelpFile, copy));
    Call(copy.toStdString(), HH_DISPLAY_TOC);
    EXPECT_EQ(HelpWindows().size(), 2u);
}

TEST_F(EngineTest, SearchTabFindsPagesAndHighlightsTheWords)
{
    Call(HelpFile, HH_DISPLAY_TOC);
    QWidget* window = HelpWindows().at(0);
    auto* tabs = window->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    QStringList names;
    for (int i = 0; i < tabs->count(); ++i)
        names << tabs->tabText(i);
    EXPECT_EQ(names, (QStringList{"Contents", "Index", "Search"}));

    auto* edit = window->findChild<QLineEdit*>("searchEdit");
    auto* button = window->findChild<QPushButton*>("searchButton");
    auto* results = window->findChild<QListWidget*>("searchResults");
    ASSERT_TRUE(edit && button && results);
    const struct {
        const char* Words;
        const char* Page;
        const char* Title;
    } cases[] = {
        {"Lesefehler", "/log.htm", "Reading logUpdate.txt"},
        {"dialout", "/connect.htm", "Connecting the receiver"},
        {"logupdate", "/log.htm", "Reading logUpdate.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Words);
        edit->setText(c.Words);
        button->click();
        EXPECT_EQ(tabs->currentIndex(), 2);
        EXPECT_EQ(Topic(window), c.Page);
        ASSERT_GT(results->count(), 0);
        EXPECT_EQ(results->item(0)->text(), c.Title);
        const auto marked = Browser(window)->extraSelections();
        ASSERT_FALSE(marked.isEmpty());
        for (const auto& selection : marked)
            EXPECT_EQ(selection.cursor.selectedText().compare(c.Words, Qt::CaseInsensitive), 0);
    }
    // The words stay on the page found; another page has none of them marked.
    Call(std::string(HelpFile) + "::/port.htm", HH_DISPLAY_TOPIC);
    EXPECT_TRUE(Browser(window)->extraSelections().isEmpty());

    edit->setText("nosuchwordanywhere");
    button->click();
    EXPECT_EQ(Topic(window), "/port.htm");  // nothing found: the page stays
    ASSERT_EQ(results->count(), 1);
    EXPECT_FALSE(results->item(0)->flags() & Qt::ItemIsEnabled);

    // The picture for the documentation: the Search tab with its results.
    edit->setText("Lesefehler");
    button->click();
    window->resize(900, 620);
    QDir().mkpath(ZENDRAK_TEST_ARTIFACT_DIR);
    window->grab().save(QString(ZENDRAK_TEST_ARTIFACT_DIR) + "/help-search.png");
}

TEST_F(EngineTest, ContentsEntryWithAnAnchorIsTheOneHighlighted)
{
    Call(HelpFile, HH_DISPLAY_TOC);
    QWidget* window = HelpWindows().at(0);
    auto* tree = window->findChild<QTreeWidget*>("contentsTree");
    ASSERT_NE(tree, nullptr);
    QTreeWidgetItem* messages = tree->topLevelItem(1);
    ASSERT_EQ(messages->text(0), "Messages");
    for (int i = 0; i < messages->childCount(); ++i) {
        QTreeWidgetItem* entry = messages->child(i);
        SCOPED_TRACE(entry->text(0).toStdString());
        emit tree->itemClicked(entry, 0);
        EXPECT_EQ(tree->currentItem(), entry);
        EXPECT_FALSE(Browser(window)->source().fragment().isEmpty());
    }
    emit tree->itemClicked(messages, 0);
    EXPECT_EQ(tree->currentItem(), messages);
    // Reached another way (a link, a topic address), the entry with the anchor is found too.
    Call(std::string(HelpFile) + "::/messages.htm#noport", HH_DISPLAY_TOPIC);
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem()->text(0), "NO COM PORT");
}

TEST_F(EngineTest, TopicAddressesOpenTheirPages)
{
    const std::pair<const char*, const char*> cases[] = {
        {"::/update.htm", "/update.htm"},
        {"::/messages.htm#noport", "/messages.htm"},
        {"::/cli.htm", "/cli.htm"},
        {"::/missing.htm", "/index.htm"},  // an unknown topic shows the default one
        {"::/", "/index.htm"},
        {"", "/index.htm"},
    };
    for (const auto& [suffix, page] : cases) {
        EXPECT_EQ(Call(std::string(HelpFile) + suffix, HH_DISPLAY_TOPIC), 1) << suffix;
        ASSERT_EQ(HelpWindows().size(), 1u);
        EXPECT_EQ(Topic(HelpWindows()[0]), page) << suffix;
    }
    Call(std::string(HelpFile) + "::/messages.htm#noport", HH_DISPLAY_TOPIC);
    EXPECT_EQ(Browser(HelpWindows()[0])->source().fragment(), "noport");
}

TEST_F(EngineTest, IndexKeywordsOpenTheirPages)
{
    const std::pair<const char*, const char*> cases[] = {
        {"NO COM PORT", "/messages.htm"},     {"dialout group", "/connect.htm"},
        {"DIALOUT GROUP", "/connect.htm"},  // the index ignores letter case
        {"logUpdate.txt", "/log.htm"},        {"zendrak-receiver-sim", "/simulator.htm"},
        {"zendrak-history.csv", "/line.htm"}, {"ser2net", "/network.htm"},
        {"Port setup", "/port.htm"},
    };
    for (const auto& [keyword, page] : cases) {
        EXPECT_EQ(Call(HelpFile, HH_DISPLAY_INDEX, reinterpret_cast<uintptr_t>(keyword)), 1);
        ASSERT_EQ(HelpWindows().size(), 1u);
        EXPECT_EQ(Topic(HelpWindows()[0]), page) << keyword;
    }
    // A keyword the index lacks leaves the page as it was.
    Call(HelpFile, HH_DISPLAY_INDEX, reinterpret_cast<uintptr_t>("no such keyword"));
    EXPECT_EQ(Topic(HelpWindows()[0]), "/port.htm");
    Call(HelpFile, HH_DISPLAY_INDEX, 0);
    EXPECT_EQ(Topic(HelpWindows()[0]), "/port.htm");
}

TEST_F(EngineTest, ContextNumbersUseTheFilesContextMap)
{
    const std::pair<uintptr_t, const char*> cases[] = {
        {1050, "/files.htm"}, {1020, "/port.htm"},  {1070, "/simulator.htm"},
        {1000, "/index.htm"}, {4711, "/index.htm"},  // unknown: the default topic
    };
    for (const auto& [id, page] : cases) {
        EXPECT_EQ(Call(HelpFile, HH_HELP_CONTEXT, id), 1);
        EXPECT_EQ(Topic(HelpWindows()[0]), page) << id;
    }
}

TEST_F(EngineTest, LinksImagesAndStyleSheetsComeFromTheFile)
{
    Call(std::string(HelpFile) + "::/connect.htm", HH_DISPLAY_TOPIC);
    QTextBrowser* browser = Browser(HelpWindows()[0]);
    const QVariant image = browser->loadResource(QTextDocument::ImageResource, QUrl("cable.png"));
    EXPECT_FALSE(QImage::fromData(image.toByteArray()).isNull());
    const QVariant css =
        browser->loadResource(QTextDocument::StyleSheetResource, QUrl("style.css"));
    EXPECT_TRUE(css.toString().contains("font-family"));
    EXPECT_FALSE(browser->loadResource(QTextDocument::HtmlResource, QUrl("nothere.htm")).isValid());
    EXPECT_FALSE(
        browser->loadResource(QTextDocument::ImageResource, QUrl("file:///etc/passwd")).isValid());

    emit browser->anchorClicked(QUrl("port.htm"));
    EXPECT_EQ(Topic(HelpWindows()[0]), "/port.htm");
    emit browser->anchorClicked(QUrl("messages.htm#noport"));
    EXPECT_EQ(Topic(HelpWindows()[0]), "/messages.htm");
    EXPECT_TRUE(browser->isBackwardAvailable());
    browser->backward();
    EXPECT_EQ(Topic(HelpWindows()[0]), "/port.htm");
}

TEST_F(EngineTest, CloseAllClosesEveryWindow)
{
    QTemporaryDir dir;
    const QString copy = dir.filePath("second.chm");
    ASSERT_TRUE(QFile::copy(HelpFile, copy));
    Call(HelpFile, HH_DISPLAY_TOC);
    Call(copy.toStdString(), HH_DISPLAY_TOC);
    ASSERT_EQ(HelpWindows().size(), 2u);
    EXPECT_EQ(Engine()(nullptr, nullptr, HH_CLOSE_ALL, 0), 0);
    EXPECT_TRUE(HelpWindows().empty());
    Engine()(nullptr, nullptr, HH_CLOSE_ALL, 0);  // nothing open: nothing happens
    // The next request opens a fresh window.
    Call(HelpFile, HH_DISPLAY_TOC);
    EXPECT_EQ(HelpWindows().size(), 1u);
}

TEST_F(EngineTest, MissingOrForeignFilesOpenNothing)
{
    QTemporaryDir dir;
    QFile fake(dir.filePath("fake.chm"));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("this is no compiled help file\n");
    fake.close();
    QDir(dir.path()).mkdir("folder.chm");
    const std::string files[] = {
        dir.filePath("missing.chm").toStdString(),
        fake.fileName().toStdString(),
        dir.filePath("folder.chm").toStdString(),
        dir.filePath("missing.chm").toStdString() + "::/index.htm",
        "",
    };
    for (const std::string& file : files)
        for (unsigned command : {HH_DISPLAY_TOC, HH_DISPLAY_TOPIC, HH_HELP_CONTEXT})
            EXPECT_EQ(Call(file, command), 0) << file;
    EXPECT_EQ(Engine()(nullptr, nullptr, HH_DISPLAY_TOC, 0), 0);
    EXPECT_EQ(Call(HelpFile, 0x77), 0);  // a command it does not serve
    EXPECT_TRUE(HelpWindows().empty());
}

TEST_F(EngineTest, DamagedFilesNeverBreakTheEngine)
{
    // Cut-off copies of the help file: whatever part of them is readable is shown, the rest
    // stays missing; nothing crashes and nothing is reported.
    QFile original(HelpFile);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    QTemporaryDir dir;
    for (qsizetype length : {qsizetype(0), qsizetype(90), qsizetype(3000), qsizetype(9000),
                             bytes.size() / 2, bytes.size() * 2 / 3, bytes.size() - 1}) {
        const QString name = dir.filePath(QStringLiteral("cut-%1.chm").arg(length));
        QFile cut(name);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(bytes.left(length));
        cut.close();
        const std::string file = name.toStdString();
        Call(file, HH_DISPLAY_TOC);
        Call(file + "::/messages.htm", HH_DISPLAY_TOPIC);
        Call(file, HH_HELP_CONTEXT, 1050);
        Call(file, HH_DISPLAY_INDEX, reinterpret_cast<uintptr_t>("NO COM PORT"));
    }
    EXPECT_EQ(Call(dir.filePath("cut-0.chm").toStdString(), HH_DISPLAY_TOC), 0);
    Engine()(nullptr, nullptr, HH_CLOSE_ALL, 0);
    EXPECT_TRUE(HelpWindows().empty());
}

TEST_F(EngineTest, HelpWindowsBelongToTheOwnerWindow)
{
    auto* owner = new QWidget();
    owner->show();
    Call(HelpFile, HH_DISPLAY_TOC, 0, owner);
    ASSERT_EQ(HelpWindows().size(), 1u);
    EXPECT_EQ(HelpWindows()[0]->parentWidget(), owner);
    EXPECT_TRUE(HelpWindows()[0]->isWindow());
    // Closing the help window keeps it for the next request; the owner's end takes it along.
    HelpWindows()[0]->close();
    Call(HelpFile, HH_DISPLAY_TOC, 0, owner);
    ASSERT_EQ(HelpWindows().size(), 1u);
    EXPECT_TRUE(HelpWindows()[0]->isVisible());
    delete owner;
    EXPECT_TRUE(HelpWindows().empty());
    EXPECT_EQ(Call(HelpFile, HH_DISPLAY_TOC), 1);
    EXPECT_EQ(HelpWindows().size(), 1u);
}

TEST_F(EngineTest, RequestsFromAnotherThreadAreIgnored)
{
    auto result = std::async(std::launch::async, [this] { return Call(HelpFile, HH_DISPLAY_TOC); });
    EXPECT_EQ(result.get(), 0);
    EXPECT_TRUE(HelpWindows().empty());
}

TEST_F(EngineTest, HelpWindowRendersOffscreen)
{
    Call(HelpFile, HH_DISPLAY_TOC);
    QWidget* window = HelpWindows().at(0);
    window->resize(900, 620);
    const QImage image = window->grab().toImage();
    ASSERT_FALSE(image.isNull());
    // Not one flat colour: the tree, the toolbar and the page are drawn.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 10);
    QDir().mkpath(ZENDRAK_TEST_ARTIFACT_DIR);
    image.save(QString(ZENDRAK_TEST_ARTIFACT_DIR) + "/help-window.png");
}

// The program's way: the viewer finds the engine library and the help file beside the
// executable, registers with the application's help system, and the Help menu's request
// opens the help window owned by the main window.
TEST_F(EngineTest, HelpMenuRequestThroughTheViewerOpensTheHelpFile)
{
    ScopedProgramFileName exe(QFileInfo(EngineLibrary).absolutePath().toStdString() + "/zendrak");
    ScopedApplicationHelpFile app(QFileInfo(HelpFile).fileName().toStdString());
    ASSERT_EQ(QFileInfo(EngineLibrary).absolutePath(), QFileInfo(HelpFile).absolutePath());
    QWidget mainWindow;
    InitializeQelHtmlHelp();
    ASSERT_NE(QelHelpViewer, nullptr);
    EXPECT_TRUE(QelHelpViewer->HasEngine());
    SetHelpOwnerWindow(&mainWindow);

    HelpShowTableOfContents();
    ASSERT_EQ(HelpWindows().size(), 1u);
    EXPECT_EQ(HelpWindows()[0]->parentWidget(), &mainWindow);
    EXPECT_EQ(QFileInfo(HelpWindows()[0]->property("helpFile").toString()).canonicalFilePath(),
              QFileInfo(HelpFile).canonicalFilePath());
    EXPECT_EQ(Topic(HelpWindows()[0]), "/index.htm");

    GetHelpSystem()->ShowHelp("Update Error", "");
    EXPECT_EQ(Topic(HelpWindows()[0]), "/messages.htm");
    GetHelpSystem()->ShowTopicHelp("cli", "");
    EXPECT_EQ(Topic(HelpWindows()[0]), "/cli.htm");

    ApplicationHelpManager().SoftShutDownViewers();
    EXPECT_TRUE(HelpWindows().empty());

    FinalizeQelHtmlHelp();
    EXPECT_EQ(ApplicationHelpManager().ViewerCount(), 1);  // the WinHelp viewer stays
    HelpShowTableOfContents();  // released: the menu opens nothing any more
    EXPECT_TRUE(HelpWindows().empty());
    SetHelpOwnerWindow(nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
