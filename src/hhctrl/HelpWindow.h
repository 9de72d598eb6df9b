// SPDX-License-Identifier: MIT
// The window that shows one compiled help file: the contents tree, the index and the search
// beside the page, with back, forward and home. Tests find it by its object name and
// properties.
#pragma once

#include "Sitemap.h"

#include <QWidget>

#include <memory>

class ChmBrowser;
class ChmFile;
class ChmSearch;
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
    ~HelpWindow() override;

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
    // Lists the pages that hold the words and opens the best one with the words highlighted;
    // false when no page holds them.
    bool Search(const QString& words);
    // The words highlighted on the page shown (empty when none).
    QStringList HighlightedWords() const { return Highlighted; }
    void ShowContext(uint32_t contextId);
    void Present();

private:
    void BuildContents(const std::vector<SitemapEntry>& entries, QTreeWidgetItem* parent);
    void BuildIndex(const std::vector<SitemapEntry>& entries, const QString& prefix);
    void TopicChanged(const QUrl& url);
    void IndexTyped(const QString& text);
    void IndexChosen();
    void SearchChosen();
    void OpenFound(const QString& topic, const QStringList& words);
    void Highlight(const QStringList& words);
    void Place();

    std::shared_ptr<ChmFile> File;
    QString Path;
    QTabWidget* Tabs = nullptr;
    QTreeWidget* Contents = nullptr;
    QLineEdit* IndexEdit = nullptr;
    QListWidget* IndexList = nullptr;
    QLineEdit* SearchEdit = nullptr;
    QListWidget* SearchResults = nullptr;
    ChmBrowser* Browser = nullptr;
    std::unique_ptr<ChmSearch> Finder;  // made at the first search
    QStringList Highlighted;
    bool Placed = false;
};
