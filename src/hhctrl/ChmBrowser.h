// SPDX-License-Identifier: MIT
// The page view of a help window: an HTML browser whose pages, images and style sheets come
// from inside the compiled help file, addressed as chm:/<internal path>.
#pragma once

#include <QTextBrowser>

#include <memory>

class ChmFile;

class ChmBrowser : public QTextBrowser {
    Q_OBJECT
public:
    ChmBrowser(std::shared_ptr<ChmFile> file, QWidget* parent);

    QVariant loadResource(int type, const QUrl& name) override;

    // chm:/<path>[#fragment] for a topic written as in the sitemaps ("dir/page.htm#part").
    static QUrl TopicUrl(const QString& topic);

private:
    void FollowLink(const QUrl& link);

    std::shared_ptr<ChmFile> File;
};
