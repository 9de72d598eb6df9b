// SPDX-License-Identifier: MIT
// The built help file itself: its system record, every contents and index entry and every link
// of every page leads to something inside it, and every message the program shows is
// explained.
#include "ChmFile.h"
#include "Sitemap.h"
#include "SystemTexts.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <functional>

#include <gtest/gtest.h>

namespace {

class HelpFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(ZENDRAK_TEST_HELP_FILE))
            GTEST_SKIP() << "the help file was not built (chmcmd missing)";
        File = ChmFile::Open(ZENDRAK_TEST_HELP_FILE);
        ASSERT_TRUE(File);
    }

    // Whether "page#anchor" (relative to `from`) names an existing page and anchor.
    ::testing::AssertionResult Leads(const QString& from, const QString& link)
    {
        const QUrl url = QUrl("chm:" + from).resolved(QUrl(link));
        const QByteArray page = File->Read(url.path());
        if (page.isNull())
            return ::testing::AssertionFailure()
                   << link.toStdString() << " from " << from.toStdString() << ": no such file";
        if (url.hasFragment() && !page.contains(("name=\"" + url.fragment() + "\"").toUtf8()))
            return ::testing::AssertionFailure()
                   << link.toStdString() << " from " << from.toStdString() << ": no such anchor";
        return ::testing::AssertionSuccess();
    }

    std::unique_ptr<ChmFile> File;
};

const char* const Pages[] = {"/index.htm",  "/connect.htm",   "/port.htm",  "/network.htm",
                             "/update.htm", "/messages.htm",  "/files.htm", "/log.htm",
                             "/cli.htm",    "/simulator.htm", "/line.htm"};

TEST_F(HelpFileTest, DescribesItself)
{
    EXPECT_EQ(File->Title(), "Zendrak Help");
    EXPECT_EQ(File->DefaultTopic(), "/index.htm");
    EXPECT_EQ(File->ContentsFile(), "/zendrakhelp.hhc");
    EXPECT_EQ(File->IndexFile(), "/zendrakhelp.hhk");
    for (const char* page : Pages)
        EXPECT_TRUE(File->Exists(page)) << page;
    EXPECT_FALSE(File->Exists("/nothere.htm"));
    EXPECT_TRUE(File->Read("/nothere.htm").isNull());
}

TEST_F(HelpFileTest, EveryContentsAndIndexEntryLeadsToAPage)
{
    for (const QString& sitemap : {File->ContentsFile(), File->IndexFile()}) {
        const auto entries = ParseSitemap(File->Read(sitemap));
        int count = 0;
        std::function<void(const std::vector<SitemapEntry>&)> check =
            [&](const std::vector<SitemapEntry>& list) {
                for (const SitemapEntry& e : list) {
                    ++count;
                    EXPECT_FALSE(e.Name.isEmpty());
                    EXPECT_TRUE(Leads("/", e.Local)) << e.Name.toStdString();
                    check(e.Children);
                }
            };
        check(entries);
        EXPECT_GT(count, 10) << sitemap.toStdString();
    }
}

TEST_F(HelpFileTest, EveryLinkAndImageOfEveryPageLeadsInsideTheFile)
{
    static const QRegularExpression reference(R"re((?:href|src)="([^"]+)")re");
    int links = 0;
    for (const char* page : Pages) {
        const QString html = QString::fromUtf8(File->Read(page));
        EXPECT_TRUE(html.contains("<title>")) << page;
        for (auto it = reference.globalMatch(html); it.hasNext();) {
            const QString link = it.next().captured(1);
            if (link.startsWith("http:") || link.startsWith("https:"))
                continue;
            ++links;
            EXPECT_TRUE(Leads(page, link));
        }
    }
    EXPECT_GT(links, 40);
}

TEST_F(HelpFileTest, ExplainsEveryMessageOfTheProgram)
{
    const QByteArray messages = File->Read("/messages.htm");
    const char* const texts[] = {
        Texts::ComErrorBoxText, Texts::ErrorOpenCom,     Texts::ErrorReadCom,
        Texts::CommErrorDialog, Texts::ErrorCom,         Texts::ErrorOpenSettings,
        Texts::NoComPort,       Texts::SettingsNotSaved, Texts::UpdateOk,
        Texts::UpdateError,     Texts::UpdateInProgress, Texts::AnotherUpdateRunning,
    };
    for (const char* text : texts) {
        const QByteArray wanted = QByteArray(text).trimmed();
        EXPECT_TRUE(messages.contains(wanted)) << text;
    }
}

TEST_F(HelpFileTest, ContextNumbersLeadToTheirTopics)
{
    const std::pair<uint32_t, const char*> cases[] = {
        {1000, "/index.htm"},
        {1010, "/connect.htm"},
        {1020, "/port.htm"},
        {1025, "/network.htm"},
        {1030, "/update.htm"},
        {1040, "/messages.htm"},
        {1050, "/files.htm"},
        {1060, "/cli.htm"},
        {1067, "/line.htm"},
        {1070, "/simulator.htm"},
        {1080, "/log.htm"},
        {1, ""},
        {0, ""},
    };
    for (const auto& [id, topic] : cases)
        EXPECT_EQ(File->ContextTopic(id), topic) << id;
}

TEST(ChmFileTest, OpensNothingThatIsNoHelpFile)
{
    EXPECT_FALSE(ChmFile::Open(""));
    EXPECT_FALSE(ChmFile::Open("/nonexistent/file.chm"));
    EXPECT_FALSE(ChmFile::Open("/"));
    EXPECT_FALSE(ChmFile::Open("/proc/self/status"));
    EXPECT_EQ(ChmInternalPath("a\\b.htm"), "/a/b.htm");
    EXPECT_EQ(ChmInternalPath("/x.htm"), "/x.htm");
}

}  // namespace
