// SPDX-License-Identifier: MIT
// The full-text index of a help file large enough for a tree of several levels (index nodes
// above index nodes above many leaves), compiled here from generated pages: every word leads to
// its page, a word in more than 127 pages is read whole, and damage gives no index, never a
// crash or a hang.
#include "ChmFile.h"
#include "ChmFullTextIndex.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <set>

#include <gtest/gtest.h>

namespace {

constexpr int Pages = 140;         // more than a one-byte count of pages
constexpr int WordsOnAPage = 100;  // long words: few to a node, so many leaves and index nodes

QString PagePath(int page)
{
    return QString("/p%1.htm").arg(page);
}

// A word of 40 letters of its own for every page and place.
QString Word(int page, int place)
{
    uint32_t seed = uint32_t(page * WordsOnAPage + place) * 2654435761u + 1;
    QString word;
    for (int i = 0; i < 40; ++i) {
        seed = seed * 1103515245 + 12345;
        word += QChar('a' + int(seed >> 16) % 26);
    }
    return word;
}

uint32_t Le32(const QByteArray& data, qsizetype at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | uint8_t(data[at + i]);
    return value;
}

void SetLe32(QByteArray& data, qsizetype at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = char(value >> (8 * i));
}

class FullTextIndexTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Dir = new QTemporaryDir;
        QString files;
        for (int page = 0; page < Pages; ++page) {
            QString body = QString("common uniqueword%1").arg(page);
            for (int place = 0; place < WordsOnAPage; ++place)
                body += ' ' + Word(page, place);
            QFile html(Dir->filePath(PagePath(page).mid(1)));
            if (!html.open(QIODevice::WriteOnly))
                return;
            html.write(QString("<html><head><title>Page %1</title></head><body><p>%2</p></body>"
                               "</html>\n")
                           .arg(page)
                           .arg(body)
                           .toUtf8());
            files += PagePath(page).mid(1) + '\n';
        }
        QFile project(Dir->filePath("t.hhp"));
        if (!project.open(QIODevice::WriteOnly))
            return;
        project.write(("[OPTIONS]\nCompiled file=t.chm\nFull-text search=Yes\nDefault topic="
                       "p0.htm\nTitle=T\n\n[FILES]\n" +
                       files)
                          .toUtf8());
        project.close();
        QProcess compiler;
        compiler.setWorkingDirectory(Dir->path());
        compiler.start(ZENDRAK_TEST_CHMCMD, {"--no-html-scan", "--verbosity", "1", "t.hhp"});
        if (compiler.waitForFinished(120000))
            File = ChmFile::Open(QFile::encodeName(Dir->filePath("t.chm"))).release();
    }
    static void TearDownTestSuite()
    {
        delete File;
        File = nullptr;
        delete Dir;
        Dir = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(File) << "chmcmd made no help file"; }

    static std::unique_ptr<ChmFullTextIndex> ReadWith(const QByteArray& main)
    {
        return ChmFullTextIndex::Read(
            [&](const QString& path) { return path == "/$FIftiMain" ? main : File->Read(path); });
    }

    static QTemporaryDir* Dir;
    static ChmFile* File;
};

QTemporaryDir* FullTextIndexTest::Dir = nullptr;
ChmFile* FullTextIndexTest::File = nullptr;

TEST_F(FullTextIndexTest, EveryWordLeadsToItsPage)
{
    const QByteArray main = File->Read("/$FIftiMain");
    ASSERT_GT(main.size(), 0x400);
    ASSERT_GE(uint8_t(main[0x18]), 3);  // levels of the tree: more than one of index nodes
    const auto index = ReadWith(main);
    ASSERT_TRUE(index);
    EXPECT_GE(index->WordCount(), size_t(Pages * (WordsOnAPage + 1)));
    for (int page = 0; page < Pages; ++page)
        for (const QString& word :
             {Word(page, 0), Word(page, WordsOnAPage - 1), QString("uniqueword%1").arg(page)}) {
            const auto hits = index->Find({word});
            ASSERT_EQ(hits.size(), 1u) << word.toStdString();
            EXPECT_EQ(hits.front().Path, PagePath(page));
            EXPECT_EQ(hits.front().Occurrences, 1);
        }
    std::set<QString> pages;
    for (const auto& hit : index->Find({"common"}))
        pages.insert(hit.Path);
    EXPECT_EQ(pages.size(), size_t(Pages));
    const auto titled = index->Find({"page", "77"});
    ASSERT_EQ(titled.size(), 1u);
    EXPECT_TRUE(titled.front().InTitle);
    EXPECT_TRUE(index->Find({Word(3, 0), Word(4, 0)}).empty());  // on different pages
}

TEST_F(FullTextIndexTest, DamageGivesNoIndex)
{
    const QByteArray main = File->Read("/$FIftiMain");
    ASSERT_GT(main.size(), 0x400);
    ASSERT_TRUE(ReadWith(main));
    // The first leaf, down the first entries of the index nodes.
    qsizetype leaf = Le32(main, 0x08);
    for (int level = 1; level < uint8_t(main[0x18]); ++level)
        leaf = Le32(main, leaf + 4 + uint8_t(main[leaf + 2]) - 1);
    ASSERT_LT(leaf + 0x1000, main.size());
    const struct {
        const char* What;
        std::function<void(QByteArray&)> Damage;
    } cases[] = {
        {"cut in half", [](QByteArray& m) { m.truncate(m.size() / 2); }},
        {"cut before the root", [](QByteArray& m) { m.chop(0x1000 + 1); }},
        {"root beyond the end", [](QByteArray& m) { SetLe32(m, 0x08, uint32_t(m.size())); }},
        {"root at the end", [](QByteArray& m) { SetLe32(m, 0x08, uint32_t(m.size() - 3)); }},
        {"root without room for an entry",
         [](QByteArray& m) { m[Le32(m, 0x08)] = char(0xFE), m[Le32(m, 0x08) + 1] = 0x0F; }},
        {"leaf chained to itself", [leaf](QByteArray& m) { SetLe32(m, leaf, uint32_t(leaf)); }},
        {"leaf chained beyond the end",
         [leaf](QByteArray& m) { SetLe32(m, leaf, uint32_t(m.size() - 0x800)); }},
        {"first word longer than its node",
         [leaf](QByteArray& m) { m[leaf + 8] = char(0xFF), m[leaf + 6] = 0, m[leaf + 7] = 0; }},
    };
    for (const auto& c : cases) {
        QByteArray damaged = main;
        c.Damage(damaged);
        EXPECT_FALSE(ReadWith(damaged)) << c.What;
    }
    // Deeper or shallower than stored: whatever is read, it is read within bounds.
    for (const char depth : {'\x01', '\x02', '\x04', '\x08'}) {
        QByteArray damaged = main;
        damaged[0x18] = depth;
        if (const auto index = ReadWith(damaged))
            index->Find({"common"});
    }
}

}  // namespace
