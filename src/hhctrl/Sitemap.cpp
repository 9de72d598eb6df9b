// SPDX-License-Identifier: MIT
#include "Sitemap.h"

#include <QRegularExpression>

namespace {

QString DecodeEntities(const QString& text)
{
    if (!text.contains('&'))
        return text;
    static const QRegularExpression entity("&(#x[0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);");
    QString out;
    qsizetype last = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        QString replacement = m.captured(0);
        bool ok = false;
        if (name.startsWith("#x", Qt::CaseInsensitive)) {
            const uint code = name.mid(2).toUInt(&ok, 16);
            if (ok && code > 0 && code < 0x110000)
                replacement = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        } else if (name.startsWith('#')) {
            const uint code = name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code < 0x110000)
                replacement = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        } else if (name == "amp") {
            replacement = "&";
        } else if (name == "lt") {
            replacement = "<";
        } else if (name == "gt") {
            replacement = ">";
        } else if (name == "quot") {
            replacement = "\"";
        } else if (name == "apos") {
            replacement = "'";
        }
        out += replacement;
        last = m.capturedEnd();
    }
    out += text.mid(last);
    return out;
}

QString Attribute(const QString& attributes, const QString& wanted)
{
    static const QRegularExpression attr(
        R"re(([A-Za-z_][\w-]*)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re");
    for (auto it = attr.globalMatch(attributes); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1).compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        for (int group = 2; group <= 4; ++group)
            if (m.capturedStart(group) >= 0)
                return DecodeEntities(m.captured(group));
    }
    return {};
}

}  // namespace

std::vector<SitemapEntry> ParseSitemap(const QByteArray& html)
{
    std::vector<SitemapEntry> root;
    std::vector<std::vector<SitemapEntry>*> lists{&root};
    bool rootListOpened = false;
    bool inObject = false;
    SitemapEntry current;

    QString text = QString::fromUtf8(html);
    if (text.contains(QChar::ReplacementCharacter))
        text = QString::fromLatin1(html);
    static const QRegularExpression tag(R"re(<\s*(/?)\s*([A-Za-z]+)([^>]*)>)re");
    for (auto it = tag.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        const QString attributes = m.captured(3);
        if (name == "ul") {
            if (closing) {
                if (lists.size() > 1)
                    lists.pop_back();
            } else if (!rootListOpened) {
                rootListOpened = true;  // the outermost list is the root itself
            } else {
                std::vector<SitemapEntry>& list = *lists.back();
                lists.push_back(list.empty() ? &list : &list.back().Children);
            }
        } else if (name == "object") {
            if (!closing) {
                inObject =
                    Attribute(attributes, "type").compare("text/sitemap", Qt::CaseInsensitive) == 0;
                current = SitemapEntry();
            } else if (inObject) {
                inObject = false;
                if (!current.Name.isEmpty() || !current.Local.isEmpty())
                    lists.back()->push_back(std::move(current));
                current = SitemapEntry();
            }
        } else if (name == "param" && inObject) {
            const QString param = Attribute(attributes, "name");
            const QString value = Attribute(attributes, "value");
            if (param.compare("Name", Qt::CaseInsensitive) == 0 && current.Name.isEmpty())
                current.Name = value;
            else if (param.compare("Local", Qt::CaseInsensitive) == 0 && current.Local.isEmpty())
                current.Local = value;
        }
    }
    return root;
}
