// SPDX-License-Identifier: MIT
#include "ChmBrowser.h"

#include "ChmFile.h"

#include <QDesktopServices>
#include <QStringDecoder>
#include <QTextDocument>

ChmBrowser::ChmBrowser(std::shared_ptr<ChmFile> file, QWidget* parent)
    : QTextBrowser(parent), File(std::move(file))
{
    // Links inside the file are followed here; others go to the desktop's own browser.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &ChmBrowser::FollowLink);
}

QUrl ChmBrowser::TopicUrl(const QString& topic)
{
    QString path = topic;
    path.replace('\\', '/');
    QString fragment;
    if (const qsizetype hash = path.indexOf('#'); hash >= 0) {
        fragment = path.mid(hash + 1);
        path.truncate(hash);
    }
    if (!path.startsWith('/'))
        path.prepend('/');
    QUrl url;
    url.setScheme("chm");
    url.setPath(path);
    if (!fragment.isEmpty())
        url.setFragment(fragment);
    return url;
}

void ChmBrowser::FollowLink(const QUrl& link)
{
    const QUrl target = link.isRelative() ? source().resolved(link) : link;
    if (target.scheme() == "chm")
        setSource(target);
    else if (target.scheme() == "http" || target.scheme() == "https" || target.scheme() == "mailto")
        QDesktopServices::openUrl(target);
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name)
{
    QUrl url = name;
    if (url.isRelative())
        url = source().resolved(url);
    if (url.scheme() != "chm")
        return {};  // nothing outside the help file is loaded into a page
    const QByteArray data = File->Read(url.path());
    if (data.isNull())
        return {};
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource) {
        QStringDecoder decoder = QStringDecoder::decoderForHtml(data);
        if (!decoder.isValid())
            decoder = QStringDecoder(QStringDecoder::Utf8);
        return QString(decoder(data));
    }
    return data;
}
