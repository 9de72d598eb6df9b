// SPDX-License-Identifier: MIT
// The window that shows one compiled help file: the contents tree and the index beside the
// page, with back, forward and home. Tests find it by its object name and properties.
#pragma once

#include "Sitemap.h"

#include <QWidget>

#include <memory>

class ChmBrowser;
class ChmFile;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

class HelpWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString helpFile READ HelpFilePath)
    Q_PROPERTY(QString currentTopic READ CurrentTopic)
public:
    static constexpr const char* ObjectName = "ZendrakHelpWindow";

    HelpWindow(std::shared_ptr<ChmFile> file, const QString& path, QWidget* owner);

    QString HelpFilePath() const { return Path; }
    // The internal path of the page shown ("/intro.htm"), empty before the first one.
    QString CurrentTopic() const;

    void ShowDefaultTopic();
    // A topic as an internal path or as written in the sitemaps; an unknown one shows the
    // default topic instead of an empty page.
    void ShowTopic(const QString& topic);
    void ShowContents();
    // Opens the index at the keyword; shows its topic when the index has it.
    bool ShowIndex(const QString& keyword);
    void ShowContext(uint32_t contextId);
    void Present();

private:
    void BuildContents(const std::vector<SitemapEntry>& entries, QTreeWidgetItem* parent);
    void BuildIndex(const std::vector<SitemapEntry>& entries, const QString& prefix);
    void TopicChanged(const QUrl& url);
    void IndexTyped(const QString& text);
    void IndexChosen();
    void Place();

    std::shared_ptr<ChmFile> File;
    QString Path;
    QTabWidget* Tabs = nullptr;
    QTreeWidget* Contents = nullptr;
    QLineEdit* IndexEdit = nullptr;
    QListWidget* IndexList = nullptr;
    ChmBrowser* Browser = nullptr;
    bool Placed = false;
};
