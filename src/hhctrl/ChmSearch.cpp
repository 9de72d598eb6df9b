// SPDX-License-Identifier: MIT
#include "ChmSearch.h"

#include "ChmFile.h"
#include "ChmFullTextIndex.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

namespace {

// The named entities help pages use; others stay as written.
QString DecodeEntities(const QString& text)
{
    static const QRegularExpression entity(QStringLiteral("&(#x?[0-9A-Fa-f]+|[A-Za-z]+);"));
    static const std::pair<const char*, char16_t> named[] = {
        {"amp", u'&'},        {"lt", u'<'},          {"gt", u'>'},         {"quot", u'"'},
        {"apos", u'\''},      {"nbsp", u' '},        {"auml", u'\u00E4'},  {"ouml", u'\u00F6'},
        {"uuml", u'\u00FC'},  {"Auml", u'\u00C4'},   {"Ouml", u'\u00D6'},  {"Uuml", u'\u00DC'},
        {"szlig", u'\u00DF'}, {"hellip", u'\u2026'}, {"ndash", u'\u2013'}, {"mdash", u'\u2014'},
    };
    QString out;
    qsizetype last = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += text.mid(last, match.capturedStart() - last);
        last = match.capturedEnd();
        const QString name = match.captured(1);
        if (name.startsWith('#')) {
            bool ok = false;
            const uint code = name.startsWith(QStringLiteral("#x"), Qt::CaseInsensitive)
                                  ? name.mid(2).toUInt(&ok, 16)
                                  : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                continue;
            }
        } else {
            const auto found = std::find_if(std::begin(named), std::end(named), [&](const auto& e) {
                return name == QLatin1String(e.first);
            });
            if (found != std::end(named)) {
                out += QChar(found->second);
                continue;
            }
        }
        out += match.captured(0);
    }
    out += text.mid(last);
    return out;
}

int Occurrences(const QString& text, const QString& word)
{
    int count = 0;
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + word.size()))
        ++count;
    return count;
}

}  // namespace

QString ChmSearch::PageText(const QByteArray& html, QString* title)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(html);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    QString text = decoder(html);
    static const QRegularExpression titleTag(
        QStringLiteral("<title[^>]*>(.*?)</title>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    if (title)
        *title = DecodeEntities(titleTag.match(text).captured(1)).simplified();
    static const QRegularExpression hidden(
        QStringLiteral("<(head|script|style)[^>]*>.*?</\\1>|<!--.*?-->"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    text.remove(hidden);
    text.replace(tag, QStringLiteral(" "));
    return DecodeEntities(text).simplified();
}

ChmSearch::~ChmSearch() = default;

ChmSearch::ChmSearch(const ChmFile& file) : Index(ChmFullTextIndex::Read(file))
{
    for (const QString& path : file.Files()) {
        if (!path.endsWith(QStringLiteral(".htm"), Qt::CaseInsensitive) &&
            !path.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive))
            continue;
        Page page;
        page.Path = path;
        page.FoldedText = PageText(file.Read(path), &page.Title).toCaseFolded();
        if (page.Title.isEmpty())
            page.Title = path.mid(1);
        page.FoldedTitle = page.Title.toCaseFolded();
        Pages.push_back(std::move(page));
    }
}

QStringList ChmSearch::Words(const QString& query)
{
    static const QRegularExpression separators(QStringLiteral("[^\\w.\\-]+"));
    QStringList words;
    for (QString word : query.split(separators, Qt::SkipEmptyParts)) {
        // Sentence punctuation around a word is no part of it.
        while (!word.isEmpty() && (word.back() == '.' || word.back() == '-'))
            word.chop(1);
        while (!word.isEmpty() && (word.front() == '.' || word.front() == '-'))
            word.remove(0, 1);
        if (!word.isEmpty() && !words.contains(word, Qt::CaseInsensitive))
            words << word;
    }
    return words;
}

std::vector<ChmSearchHit> ChmSearch::Find(const QString& query) const
{
    const QStringList words = Words(query);
    std::vector<ChmSearchHit> hits;
    if (words.isEmpty())
        return hits;
    if (Index) {
        for (const ChmFullTextIndex::PageHit& found : Index->Find(words)) {
            const auto page = std::find_if(Pages.begin(), Pages.end(),
                                           [&](const Page& p) { return p.Path == found.Path; });
            if (page == Pages.end())
                continue;  // not a page (an image, a style sheet)
            int score = found.Occurrences;
            for (const QString& word : words)
                score += page->FoldedTitle.contains(word.toCaseFolded()) ? 1000 : 0;
            hits.push_back({page->Path, page->Title, score});
        }
    }
    for (const Page& page : Index ? std::vector<Page>{} : Pages) {
        int score = 0;
        bool all = true;
        for (const QString& word : words) {
            const QString folded = word.toCaseFolded();
            const int inText = Occurrences(page.FoldedText, folded);
            if (inText == 0) {
                all = false;
                break;
            }
            score += inText + (page.FoldedTitle.contains(folded) ? 1000 : 0);
        }
        if (all)
            hits.push_back({page.Path, page.Title, score});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const ChmSearchHit& a, const ChmSearchHit& b) {
        return a.Score > b.Score;
    });
    return hits;
}
