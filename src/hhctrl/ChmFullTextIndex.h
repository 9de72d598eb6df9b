// SPDX-License-Identifier: MIT
// The full-text index that the help compiler stores in a help file ($FIftiMain): for every
// word, the pages that hold it and how often, in the body and in the title. Words are stored
// lower-case and split where a letter outside ASCII stands ("vollständig" is "vollst" and
// "ndig"); a query word is looked up the same way.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class ChmFile;

class ChmFullTextIndex {
public:
    // The file's index; null when it has none or when it cannot be read as one.
    static std::unique_ptr<ChmFullTextIndex> Read(const ChmFile& file);
    // The same from the internal files as `read` gives them (by internal path).
    static std::unique_ptr<ChmFullTextIndex> Read(
        const std::function<QByteArray(const QString& path)>& read);

    struct PageHit {
        QString Path;          // internal path, "/log.htm"
        int Occurrences = 0;   // of all the words, in the body
        bool InTitle = false;  // every word is in the page's title
    };
    // The pages that hold every word, in the order of the file's topics.
    std::vector<PageHit> Find(const QStringList& words) const;

    size_t WordCount() const { return Words.size(); }

private:
    struct Posting {
        uint32_t Topic = 0;
        uint32_t Count = 0;
    };
    struct Entry {
        std::vector<Posting> Body;
        std::vector<Posting> Title;
    };
    // Topic -> occurrences (body) for one query word; a topic without it is absent.
    std::map<uint32_t, uint32_t> Lookup(const QString& word,
                                        std::map<uint32_t, bool>& inTitle) const;

    std::map<std::string, Entry> Words;
    std::vector<QString> TopicPaths;
};
