// SPDX-License-Identifier: MIT
#include "HelpWindow.h"

#include "ChmBrowser.h"
#include "ChmFile.h"
#include "ChmSearch.h"
#include "HelpPlacement.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int TopicRole = Qt::UserRole;

// Internal path of a sitemap topic without its fragment, for comparing pages.
QString PagePath(const QString& topic)
{
    return ChmBrowser::TopicUrl(topic).path();
}

}  // namespace

HelpWindow::HelpWindow(std::shared_ptr<ChmFile> file, const QString& path, QWidget* owner)
    : QWidget(owner, Qt::Window), File(std::move(file)), Path(path)
{
    setObjectName(ObjectName);
    // A window without an owner has nobody to delete it; one with an owner is kept for reuse.
    setAttribute(Qt::WA_DeleteOnClose, owner == nullptr);
    const QString title =
        File->Title().isEmpty() ? QFileInfo(path).completeBaseName() : File->Title();
    setWindowTitle(title);
    resize(860, 600);

    auto* toolBar = new QToolBar(this);
    QAction* back = toolBar->addAction(tr("Back"));
    QAction* forward = toolBar->addAction(tr("Forward"));
    QAction* home = toolBar->addAction(tr("Home"));
    back->setObjectName("backAction");
    forward->setObjectName("forwardAction");
    home->setObjectName("homeAction");

    Tabs = new QTabWidget;
    Contents = new QTreeWidget;
    Contents->setObjectName("contentsTree");
    Contents->setHeaderHidden(true);
    Tabs->addTab(Contents, tr("Contents"));

    auto* indexPage = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(2, 2, 2, 2);
    IndexEdit = new QLineEdit;
    IndexEdit->setObjectName("indexEdit");
    IndexEdit->setPlaceholderText(tr("Type a keyword"));
    IndexList = new QListWidget;
    IndexList->setObjectName("indexList");
    indexLayout->addWidget(IndexEdit);
    indexLayout->addWidget(IndexList);
    Tabs->addTab(indexPage, tr("Index"));

    auto* searchPage = new QWidget;
    auto* searchLayout = new QVBoxLayout(searchPage);
    searchLayout->setContentsMargins(2, 2, 2, 2);
    auto* searchLine = new QHBoxLayout;
    SearchEdit = new QLineEdit;
    SearchEdit->setObjectName("searchEdit");
    SearchEdit->setPlaceholderText(tr("Words to find"));
    auto* searchButton = new QPushButton(tr("Search"));
    searchButton->setObjectName("searchButton");
    searchLine->addWidget(SearchEdit);
    searchLine->addWidget(searchButton);
    SearchResults = new QListWidget;
    SearchResults->setObjectName("searchResults");
    searchLayout->addLayout(searchLine);
    searchLayout->addWidget(SearchResults);
    Tabs->addTab(searchPage, tr("Search"));

    Browser = new ChmBrowser(File, this);
    Browser->setObjectName("topicBrowser");

    auto* splitter = new QSplitter;
    splitter->addWidget(Tabs);
    splitter->addWidget(Browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 620});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(splitter);

    BuildContents(ParseSitemap(File->Read(File->ContentsFile())), nullptr);
    Contents->expandAll();
    BuildIndex(ParseSitemap(File->Read(File->IndexFile())), QString());
    if (IndexList->count() == 0)
        Tabs->setTabEnabled(1, false);

    connect(back, &QAction::triggered, Browser, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, Browser, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, &HelpWindow::ShowDefaultTopic);
    connect(Browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(Browser, &QTextBrowser::sourceChanged, this, &HelpWindow::TopicChanged);
    connect(Contents, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const QString topic = item->data(0, TopicRole).toString();
        if (!topic.isEmpty())
            ShowTopic(topic);
    });
    connect(Contents, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const QString topic = item->data(0, TopicRole).toString();
        if (!topic.isEmpty())
            ShowTopic(topic);
    });
    connect(IndexEdit, &QLineEdit::textEdited, this, &HelpWindow::IndexTyped);
    connect(IndexEdit, &QLineEdit::returnPressed, this, &HelpWindow::IndexChosen);
    connect(IndexList, &QListWidget::itemActivated, this, &HelpWindow::IndexChosen);
    connect(IndexList, &QListWidget::itemClicked, this, &HelpWindow::IndexChosen);
    connect(SearchEdit, &QLineEdit::returnPressed, this, [this] { Search(SearchEdit->text()); });
    connect(searchButton, &QPushButton::clicked, this, [this] { Search(SearchEdit->text()); });
    connect(SearchResults, &QListWidget::itemActivated, this, &HelpWindow::SearchChosen);
    connect(SearchResults, &QListWidget::itemClicked, this, &HelpWindow::SearchChosen);
}

HelpWindow::~HelpWindow() = default;

void HelpWindow::BuildContents(const std::vector<SitemapEntry>& entries, QTreeWidgetItem* parent)
{
    for (const SitemapEntry& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Contents);
        item->setText(0, entry.Name);
        item->setData(0, TopicRole, entry.Local);
        BuildContents(entry.Children, item);
    }
}

void HelpWindow::BuildIndex(const std::vector<SitemapEntry>& entries, const QString& prefix)
{
    for (const SitemapEntry& entry : entries) {
        const QString name = prefix.isEmpty() ? entry.Name : prefix + ", " + entry.Name;
        auto* item = new QListWidgetItem(name, IndexList);
        item->setData(TopicRole, entry.Local);
        BuildIndex(entry.Children, name);
    }
}

QString HelpWindow::CurrentTopic() const
{
    return Browser->source().path();
}

void HelpWindow::ShowDefaultTopic()
{
    if (!File->DefaultTopic().isEmpty())
        ShowTopic(File->DefaultTopic());
}

void HelpWindow::ShowTopic(const QString& topic)
{
    const QUrl url = ChmBrowser::TopicUrl(topic);
    if (!File->Exists(url.path())) {
        if (PagePath(File->DefaultTopic()) != url.path())
            ShowDefaultTopic();
        return;
    }
    Browser->setSource(url);
}

void HelpWindow::TopicChanged(const QUrl& url)
{
    // Follow the page in the contents tree without asking for it again. (The browser reports
    // the new address before source() has it.)
    // An entry with the page's anchor wins over its parent that names the page alone; an entry
    // the user chose stays chosen while its page is shown.
    const QString page = url.path();
    QTreeWidgetItem* exact = nullptr;
    QTreeWidgetItem* samePage = nullptr;
    for (QTreeWidgetItemIterator it(Contents); *it && !exact; ++it) {
        const QUrl entry = ChmBrowser::TopicUrl((*it)->data(0, TopicRole).toString());
        if (entry.path() != page)
            continue;
        if (entry.fragment() == url.fragment())
            exact = *it;
        else if (!samePage)
            samePage = *it;
    }
    QTreeWidgetItem* current = Contents->currentItem();
    const bool currentShowsPage =
        current && PagePath(current->data(0, TopicRole).toString()) == page;
    QTreeWidgetItem* match = exact ? exact : currentShowsPage ? current : samePage;
    const QSignalBlocker blocker(Contents);
    Contents->setCurrentItem(match);
    // Highlights belong to the page they were made on.
    Highlighted.clear();
    Browser->setExtraSelections({});
    if (const QString title = Browser->documentTitle(); !title.isEmpty())
        setWindowTitle((File->Title().isEmpty() ? QString() : File->Title() + " - ") + title);
}

void HelpWindow::ShowContents()
{
    Tabs->setCurrentIndex(0);
}

bool HelpWindow::ShowIndex(const QString& keyword)
{
    if (Tabs->isTabEnabled(1))
        Tabs->setCurrentIndex(1);
    IndexEdit->setText(keyword);
    const QString wanted = keyword.trimmed();
    if (wanted.isEmpty())
        return false;
    QListWidgetItem* found = nullptr;
    for (int i = 0; i < IndexList->count() && !found; ++i)
        if (IndexList->item(i)->text().compare(wanted, Qt::CaseInsensitive) == 0)
            found = IndexList->item(i);
    if (!found) {
        IndexTyped(wanted);  // point at the nearest entry; the page stays as it was
        return false;
    }
    IndexList->setCurrentItem(found);
    const QString topic = found->data(TopicRole).toString();
    if (topic.isEmpty())
        return false;
    ShowTopic(topic);
    return true;
}

void HelpWindow::IndexTyped(const QString& text)
{
    const QString wanted = text.trimmed();
    for (int i = 0; i < IndexList->count(); ++i) {
        if (IndexList->item(i)->text().startsWith(wanted, Qt::CaseInsensitive)) {
            IndexList->setCurrentRow(i);
            IndexList->scrollToItem(IndexList->item(i));
            return;
        }
    }
}

void HelpWindow::IndexChosen()
{
    if (QListWidgetItem* item = IndexList->currentItem()) {
        const QString topic = item->data(TopicRole).toString();
        if (!topic.isEmpty())
            ShowTopic(topic);
    }
}

bool HelpWindow::Search(const QString& words)
{
    Tabs->setCurrentIndex(2);
    SearchEdit->setText(words);
    SearchResults->clear();
    if (!Finder)
        Finder = std::make_unique<ChmSearch>(*File);
    const std::vector<ChmSearchHit> hits = Finder->Find(words);
    for (const ChmSearchHit& hit : hits) {
        auto* item = new QListWidgetItem(hit.Title, SearchResults);
        item->setData(TopicRole, hit.Path);
    }
    if (hits.empty()) {
        auto* none = new QListWidgetItem(tr("No page holds all of these words."), SearchResults);
        none->setFlags(Qt::NoItemFlags);
        return false;
    }
    SearchResults->setCurrentRow(0);
    OpenFound(hits.front().Path, ChmSearch::Words(words));
    return true;
}

void HelpWindow::SearchChosen()
{
    if (QListWidgetItem* item = SearchResults->currentItem()) {
        const QString topic = item->data(TopicRole).toString();
        if (!topic.isEmpty())
            OpenFound(topic, ChmSearch::Words(SearchEdit->text()));
    }
}

void HelpWindow::OpenFound(const QString& topic, const QStringList& words)
{
    ShowTopic(topic);
    Highlight(words);
}

void HelpWindow::Highlight(const QStringList& words)
{
    QList<QTextEdit::ExtraSelection> selections;
    QTextCharFormat marked;
    marked.setBackground(QColor(255, 230, 90));
    marked.setForeground(Qt::black);
    QTextDocument* document = Browser->document();
    for (const QString& word : words) {
        for (QTextCursor found = document->find(word); !found.isNull();
             found = document->find(word, found)) {
            QTextEdit::ExtraSelection selection;
            selection.cursor = found;
            selection.format = marked;
            selections << selection;
        }
    }
    Browser->setExtraSelections(selections);
    if (!selections.isEmpty()) {
        // The first hit near the top of the view: from the end, scrolling stops as soon as the
        // cursor comes into view.
        Browser->setTextCursor(QTextCursor(selections.front().cursor.block()));
        Browser->verticalScrollBar()->setValue(Browser->verticalScrollBar()->maximum());
        Browser->ensureCursorVisible();
    }
    Highlighted = words;
}

void HelpWindow::ShowContext(uint32_t contextId)
{
    const QString topic = File->ContextTopic(contextId);
    if (topic.isEmpty())
        ShowDefaultTopic();
    else
        ShowTopic(topic);
}

void HelpWindow::Place()
{
    // Beside the owner window where the screen has room, so that the help does not hide the
    // window it explains; on a small screen at least the owner's status bar stays in view.
    QWidget* owner = parentWidget();
    if (!owner || !owner->isVisible())
        return;
    const QRect ownerFrame = owner->frameGeometry();
    const QScreen* screen = owner->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    QRect keep(ownerFrame.left(), ownerFrame.bottom() - 24, ownerFrame.width(), 24);
    if (const QStatusBar* bar = owner->findChild<QStatusBar*>(); bar && bar->isVisible())
        keep = QRect(bar->mapToGlobal(QPoint(0, 0)), bar->size());
    // Before the first show the window manager's frame is not known yet: allow for a title bar.
    QSize decoration = frameGeometry().size() - size();
    if (decoration.height() <= 0 && QGuiApplication::platformName() != "offscreen")
        decoration = QSize(0, 32);
    const QRect frame = PlaceHelpWindow(available, ownerFrame, keep, size() + decoration);
    resize(frame.size() - decoration);
    move(frame.topLeft());
}

void HelpWindow::Present()
{
    if (!Placed) {
        Placed = true;
        Place();
    }
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    // Platforms without a window system (tests) cannot raise windows and say so at length.
    if (QGuiApplication::platformName() != "offscreen" &&
        QGuiApplication::platformName() != "minimal") {
        raise();
        activateWindow();
    }
}
