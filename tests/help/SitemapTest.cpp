// SPDX-License-Identifier: MIT
// The contents and index sitemaps: nesting, the entries' names and topics, and the forms that
// must not break the tree.
#include "Sitemap.h"

#include <gtest/gtest.h>

namespace {

QByteArray Item(const char* name, const char* local)
{
    return QByteArray("<LI> <OBJECT type=\"text/sitemap\">\n  <param name=\"Name\" value=\"") +
           name + "\">\n  <param name=\"Local\" value=\"" + local + "\">\n  </OBJECT>\n";
}

TEST(SitemapTest, ReadsNestedLists)
{
    const QByteArray html =
        "<HTML><BODY><OBJECT type=\"text/site properties\">"
        "<param name=\"Window Styles\" value=\"0x800025\"></OBJECT><UL>" +
        Item("Welcome", "index.htm") + "<UL>" + Item("Port", "port.htm") + "<UL>" +
        Item("Deep", "deep.htm#x") + "</UL>" + Item("Update", "update.htm") + "</UL>" +
        Item("Files", "files.htm") + "</UL></BODY></HTML>";
    const auto entries = ParseSitemap(html);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Name, "Welcome");
    EXPECT_EQ(entries[0].Local, "index.htm");
    ASSERT_EQ(entries[0].Children.size(), 2u);
    EXPECT_EQ(entries[0].Children[0].Name, "Port");
    ASSERT_EQ(entries[0].Children[0].Children.size(), 1u);
    EXPECT_EQ(entries[0].Children[0].Children[0].Local, "deep.htm#x");
    EXPECT_EQ(entries[0].Children[1].Name, "Update");
    EXPECT_EQ(entries[1].Name, "Files");
    EXPECT_TRUE(entries[1].Children.empty());
}

TEST(SitemapTest, ReadsAttributesInAnyCaseAndQuoting)
{
    const QByteArray html =
        "<ul><li><object TYPE='text/sitemap'><PARAM NAME=name VALUE='A &amp; B &quot;x&quot; "
        "&#252;&#x41;'><param value=\"a.htm\" name=\"local\"></object>"
        "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"Heading\"></object></ul>";
    const auto entries = ParseSitemap(html);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Name, QString::fromUtf8("A & B \"x\" \xC3\xBC"
                                                 "A"));
    EXPECT_EQ(entries[0].Local, "a.htm");
    EXPECT_EQ(entries[1].Name, "Heading");
    EXPECT_TRUE(entries[1].Local.isEmpty());
}

TEST(SitemapTest, SurvivesBrokenInput)
{
    const QByteArray cases[] = {
        "",
        "not html at all",
        "</UL></UL><UL>" + Item("A", "a.htm"),  // unbalanced lists
        "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"A\">",  // unclosed
        "<UL><UL><UL>" + Item("A", "a.htm") + "</UL>",  // a list before any item
    };
    for (const QByteArray& html : cases) {
        const auto entries = ParseSitemap(html);
        for (const auto& e : entries)
            EXPECT_EQ(e.Name, "A");
    }
    EXPECT_EQ(ParseSitemap(cases[2]).size(), 1u);
    EXPECT_TRUE(ParseSitemap(cases[3]).empty());
    ASSERT_EQ(ParseSitemap(cases[4]).size(), 1u);
}

TEST(SitemapTest, IgnoresObjectsThatAreNoSitemapEntries)
{
    const QByteArray html =
        "<UL><LI><OBJECT type=\"text/site properties\"><param name=\"Name\" "
        "value=\"X\"></OBJECT>" +
        Item("A", "a.htm") + "</UL>";
    const auto entries = ParseSitemap(html);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Name, "A");
}

}  // namespace
