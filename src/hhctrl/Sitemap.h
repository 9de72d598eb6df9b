// SPDX-License-Identifier: MIT
// The sitemap format of a help file's contents (.hhc) and index (.hhk): nested lists of
// entries, each with a name and the topic it leads to.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

struct SitemapEntry {
    QString Name;
    QString Local;  // the topic as written, empty for a heading without a page
    std::vector<SitemapEntry> Children;
};

// The entries of a sitemap page; malformed parts are skipped, never fatal.
std::vector<SitemapEntry> ParseSitemap(const QByteArray& html);
