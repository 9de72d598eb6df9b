// SPDX-License-Identifier: MIT
// The compiled help against the program: every text the window can show in a box or its status
// bar is in the help, every log entry is on the log page and in the index, and a search finds
// the page that explains a word. The program's texts are Windows-1252, the pages UTF-8 with
// entities: both are compared as decoded text.
#include "ChmFile.h"
#include "ChmFullTextIndex.h"
#include "ChmSearch.h"
#include "Sitemap.h"
#include "SystemTexts.h"
#include "Win1252.h"

#include <QFileInfo>

#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace {

// Boxes and status-bar texts of the window (a format's "%s" stands for any text).
const std::string ShownTexts[] = {
    Texts::ComErrorBoxText, Texts::ErrorOpenCom,       Texts::ErrorReadCom,
    Texts::ErrorCom,        Texts::CommErrorDialog,    Texts::ErrorOpenSettings,
    Texts::NoComPort,       Texts::SettingsNotSaved,   Texts::UpdateOk,
    Texts::UpdateError,     Texts::UpdateInProgress,   Texts::AnotherUpdateRunning,
    Texts::RangeErrorText,  Texts::ConvertErrorFormat,
};

// Every entry a run can write to the log (without the counts and paths that follow some).
const std::string LogEntries[] = {
    Texts::LogLoadingFirmware,
    Texts::LogLoadingFile,
    Texts::LogSendRestart,
    std::string(Texts::StatusInitialisation) + Texts::LogHelpSuffix,
    Texts::LogFoundStartUpControl,
    std::string(Texts::StatusConnected) + Texts::LogInStartMenuSuffix,
    Texts::LogSendFile,
    Texts::LogDefaultChannelList,
    Texts::LogExitToMainMenu,
    Texts::LogFoundFlash,
    Texts::StatusPleaseWait,
    Texts::LogReadStuffTry100,
    Texts::LogConnectReadStuffLimit,
    Texts::LogTry100Again,
    Texts::StatusTryingToConnect,
    Texts::StatusNoConnection,
    Texts::StatusSendingFile4,
    Texts::StatusFileSent,
    Texts::LogSendDataToPortError,
    Texts::StatusReadError,
    Texts::StatusSaving,
    Texts::StatusFileAccepted,
    Texts::StatusFin,
    Texts::StatusWrong,
    Texts::LogTransferReadStuffLimit,
    Texts::LogWaitResultReadNothing,
    Texts::StatusSaved,
    Texts::LogWaitSavedReadNothing,
    Texts::LogNextFile,
    Texts::StatusAllFilesSent,
    Texts::StatusStartingReceiver,
    Texts::LogUpdateCancelled,
    Texts::LogTerminated,
};

QString Shown(const std::string& text)
{
    return FromSystemText(text).trimmed();
}

class HelpTextsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(ZENDRAK_TEST_HELP_FILE))
            GTEST_SKIP() << "the help file was not built (chmcmd missing)";
        File = ChmFile::Open(ZENDRAK_TEST_HELP_FILE);
        ASSERT_TRUE(File);
    }
    QString Text(const QString& page) const { return ChmSearch::PageText(File->Read(page)); }
    QStringList IndexNames() const
    {
        QStringList names;
        std::function<void(const std::vector<SitemapEntry>&)> collect =
            [&](const std::vector<SitemapEntry>& entries) {
                for (const SitemapEntry& entry : entries) {
                    names << entry.Name;
                    collect(entry.Children);
                }
            };
        collect(ParseSitemap(File->Read(File->IndexFile())));
        return names;
    }
    std::unique_ptr<ChmFile> File;
};

TEST_F(HelpTextsTest, EveryShownTextIsExplained)
{
    QString all;
    for (const QString& path : File->Files())
        if (path.endsWith(".htm"))
            all += Text(path) + '\n';
    ASSERT_FALSE(all.isEmpty());
    for (const std::string& text : ShownTexts)
        for (const QString& part : Shown(text).split("%s", Qt::SkipEmptyParts))
            EXPECT_TRUE(all.contains(part)) << "not in the help: " << part.toStdString();
}

TEST_F(HelpTextsTest, EveryLogEntryIsOnTheLogPageAndInTheIndex)
{
    const QString logPage = Text("/log.htm");
    ASSERT_FALSE(logPage.isEmpty());
    const QStringList index = IndexNames();
    for (const std::string& entry : LogEntries) {
        EXPECT_TRUE(logPage.contains(Shown(entry))) << "not on the log page: " << entry;
        EXPECT_TRUE(index.contains(Shown(entry))) << "not in the index: " << entry;
    }
    // The short forms a technician looks up.
    for (const char* word : {"Keine Verbindung", "Lesefehler", "wrong", "fin", "Bitte warten"})
        EXPECT_TRUE(index.contains(word)) << word;
    EXPECT_TRUE(index.contains(QString::fromUtf8("Datei vollständig übertragen")));
}

TEST_F(HelpTextsTest, TheFullTextIndexIsCompiledIn)
{
    EXPECT_TRUE(File->Exists("/$FIftiMain"));
}

TEST_F(HelpTextsTest, SearchFindsThePageThatExplainsAWord)
{
    const ChmSearch search(*File);
    EXPECT_TRUE(search.UsesFullTextIndex());  // the compiler's index, read
    const struct {
        const char* Words;
        const char* Page;
    } cases[] = {
        {"dialout", "/connect.htm"},
        {"Lesefehler", "/log.htm"},
        {"logUpdate", "/log.htm"},
        {"LOGUPDATE.TXT", "/log.htm"},
        {"übertragen SendDataToPort", "/log.htm"},  // split where the index splits
        {"brltty adapter", "/connect.htm"},
        {"null-modem cable", "/connect.htm"},
        {"Integerwert", "/messages.htm"},
        {"bench space checks", "/bench.htm"},
        {"spreadsheet", "/line.htm"},
    };
    for (const auto& c : cases) {
        const auto hits = search.Find(QString::fromUtf8(c.Words));
        ASSERT_FALSE(hits.empty()) << c.Words;
        EXPECT_EQ(hits.front().Path, c.Page) << c.Words;
        EXPECT_FALSE(hits.front().Title.isEmpty());
    }
    EXPECT_TRUE(search.Find("dialout nosuchwordanywhere").empty());  // every word must be there
    EXPECT_TRUE(search.Find("  ").empty());
}

TEST_F(HelpTextsTest, DamagedFullTextIndexNeverBreaksTheSearch)
{
    const QByteArray main = File->Read("/$FIftiMain");
    ASSERT_GT(main.size(), 0x400);
    const auto readWith = [this](const QByteArray& index) {
        return ChmFullTextIndex::Read(
            [&](const QString& path) { return path == "/$FIftiMain" ? index : File->Read(path); });
    };
    const auto whole = readWith(main);
    ASSERT_TRUE(whole);
    EXPECT_GT(whole->WordCount(), 500u);
    EXPECT_EQ(whole->Find({"dialout"}).size(), 2u);  // the connection page and the messages
    // Cut short anywhere, or with bytes changed anywhere: an index or none, never a crash.
    for (qsizetype length = 0; length < main.size(); length += 61)
        readWith(main.left(length));
    uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = main;
        for (int i = 0; i < 4; ++i) {
            seed = seed * 1103515245 + 12345;
            damaged[qsizetype(seed % uint32_t(damaged.size()))] = char(seed >> 16);
        }
        if (const auto index = readWith(damaged))
            index->Find({"receiver", "port"});
    }
}

TEST(ChmSearchTest, WordsAndPageText)
{
    const struct {
        const char* Query;
        QStringList Words;
    } cases[] = {
        {"logUpdate.txt", {"logUpdate.txt"}},
        {"  dialout,  group. ", {"dialout", "group"}},
        {"zendrak-cli --help", {"zendrak-cli", "help"}},
        {"fin fin FIN", {"fin"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChmSearch::Words(c.Query), c.Words) << c.Query;

    QString title;
    const QString text = ChmSearch::PageText(
        "<html><head><title>A &amp; B</title><style>p{}</style></head>"
        "<body><p>Datei vollst&auml;ndig &#252;bertragen</p><!-- hidden --> x&lt;y</body></html>",
        &title);
    EXPECT_EQ(title, "A & B");
    EXPECT_EQ(text, QString::fromUtf8("Datei vollständig übertragen x<y"));
}

}  // namespace
