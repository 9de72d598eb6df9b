// SPDX-License-Identifier: MIT
// Finding pages of a help file by words, ignoring case: through the file's full-text index when
// it has one, else in each page's text (tags and entities decoded, in the page's own encoding).
// Pages with all the words are found; those with the words in their title, then those with
// more occurrences, come first.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class ChmFile;
class ChmFullTextIndex;

struct ChmSearchHit {
    QString Path;   // internal path, "/port.htm"
    QString Title;  // the page's <title>, or its path when it has none
    int Score = 0;
};

class ChmSearch {
public:
    // Reads the text of every page of `file` once.
    explicit ChmSearch(const ChmFile& file);
    ~ChmSearch();

    // Whether the words are looked up in the file's full-text index.
    bool UsesFullTextIndex() const { return Index != nullptr; }

    // The words of a query: split at blanks and punctuation other than "." "-" "_" inside a
    // word ("logUpdate.txt" stays one word).
    static QStringList Words(const QString& query);
    // The pages that hold every word of the query, best first; none for an empty query.
    std::vector<ChmSearchHit> Find(const QString& query) const;

    // The text of an HTML page as a reader sees it (decoded, without tags).
    static QString PageText(const QByteArray& html, QString* title = nullptr);

private:
    struct Page {
        QString Path;
        QString Title;
        QString FoldedTitle;
        QString FoldedText;
    };
    std::vector<Page> Pages;
    std::unique_ptr<ChmFullTextIndex> Index;
};
