// SPDX-License-Identifier: MIT
#include "BenchWindow.h"

#include "BenchLineControls.h"
#include "BenchTable.h"
#include "FirmFileReader.h"
#include "Messages.h"
#include "PortSpec.h"
#include "RunGroup.h"
#include "SessionRecord.h"
#include "SystemTexts.h"
#include "Win1252.h"
#include "help/HelpSystem.h"

#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <set>

// The window's resources live in a static library: they must be registered by name.
static void InitBenchResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace {

// The rows the bench shows without scrolling when it opens.
constexpr int RowsShown = 16;

// A box of the bench (texts in Windows-1252).
void BenchBox(const std::string& text)
{
    MessageBox(text, Texts::BoxCaption, MsgIcon::Warning);
}

// Why a group cannot start, as a box: its folder, lock and file texts are the window's own
// (Windows-1252) where the group says so, else UTF-8.
void ShowGroupProblem(const GroupProblem& problem)
{
    const bool systemText = problem.What == GroupProblem::Kind::Busy ||
                            problem.What == GroupProblem::Kind::NotLockable ||
                            problem.What == GroupProblem::Kind::FileProblem;
    std::string text =
        systemText ? problem.Text : ToSystemText(QString::fromStdString(problem.Text));
    if (!text.empty() && !systemText)
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    BenchBox(text);
}

}  // namespace

BenchWindow::BenchWindow(const std::string& folder, const std::vector<std::string>& ports,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), Folder(folder.empty() ? CurrentDirectory() : folder)
{
    InitBenchResources();
    setWindowTitle(QStringLiteral("Bench - %1").arg(FromSystemText(Texts::WindowCaption)));
    setWindowIcon(QIcon(QStringLiteral(":/icons/zendrak-32.png")));
    for (const std::string& text : ports)
        if (const std::optional<PortSpec> port = PortSpec::Parse(text))
            Checked.push_back(port->Text());

    Model = new BenchTableModel({}, this);
    Sorted = new QSortFilterProxyModel(this);
    Sorted->setSourceModel(Model);
    Sorted->setSortRole(BenchTableModel::SortRole);
    Table = new BenchTable(this);
    Table->setModel(Sorted);
    Table->OnDetails = [this](int row) { ShowDetails(row); };
    connect(Table, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { ShowDetails(Sorted->mapToSource(index).row()); });

    auto* folderLabel = new QLabel(
        QStringLiteral("Firmware folder: %1").arg(QDir::toNativeSeparators(FromLocalPath(Folder))),
        this);
    folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    StartButton = new QPushButton(QStringLiteral("&Start"), this);
    StartButton->setToolTip(QStringLiteral("Update every checked port that is present"));
    DetailsButton = new QPushButton(QStringLiteral("&Details..."), this);
    DetailsButton->setToolTip(QStringLiteral("The log entries and cause of the current row's run"));
    HelpButton = new QPushButton(QStringLiteral("&Help"), this);
    HelpButton->setShortcut(QKeySequence::HelpContents);
    SummaryLabel = new QLabel(this);
    SummaryLabel->setTextFormat(Qt::PlainText);
    connect(StartButton, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(DetailsButton, &QPushButton::clicked, this, [this] { ShowDetails(CurrentRow()); });
    connect(HelpButton, &QPushButton::clicked, this, [] { HelpShowTableOfContents(); });
    Line = new BenchLineControls(this);
    Line->OnNextReceiver = [this] { StartCurrentNextReceiver(); };
    Line->OnStopAfterRun = [this] { StopCurrentAfterRun(); };
    Line->OnStopAllAfterRun = [this] { StopAllAfterRun(); };
    // The actions follow the current row and what it does.
    connect(Table->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { EnableControls(); });
    connect(Model, &QAbstractItemModel::dataChanged, this, [this] { EnableControls(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(StartButton);
    buttons->addWidget(DetailsButton);
    buttons->addSpacing(fontMetrics().averageCharWidth() * 2);
    buttons->addWidget(SummaryLabel, 1);
    buttons->addWidget(HelpButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderLabel);
    layout->addWidget(Table, 1);
    layout->addWidget(Line);
    layout->addLayout(buttons);
    setTabOrder(StartButton, Table);
    setTabOrder(Table, DetailsButton);

    // The rows at once (a network server is asked by the watch, on its own thread).
    Model->SetPorts(ListBenchPorts(Checked, {}, false), Checked);
    Table->sortByColumn(BenchTableModel::Port, Qt::AscendingOrder);
    FitColumns();
    // Readable with 16 rows; on a smaller screen, as much as it holds.
    const QSize wanted(Table->horizontalHeader()->length() + Table->frameWidth() * 2 +
                           layout->contentsMargins().left() + layout->contentsMargins().right(),
                       Table->HeightForRows(RowsShown) + folderLabel->sizeHint().height() +
                           StartButton->sizeHint().height() + layout->spacing() * 2 +
                           layout->contentsMargins().top() + layout->contentsMargins().bottom());
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    resize(screen.isValid() ? wanted.boundedTo(screen.size()) : wanted);
    EnableControls();
}

BenchWindow::~BenchWindow()
{
    // Closing is refused while a run lasts; should the bench go all the same, its runs stop.
    Watch.reset();
    if (Group) {
        Group->CancelAll();
        Group->Wait();
        Group.reset();
    }
}

void BenchWindow::FitColumns()
{
    Table->resizeColumnsToContents();
    // Long texts are cut (the tooltip has them whole) unless the user widens the column. A
    // long device path gives way to the status, which says what a row is doing (a waiting
    // row's counts included).
    const int character = fontMetrics().averageCharWidth();
    Table->setColumnWidth(BenchTableModel::Device,
                          std::min(Table->columnWidth(BenchTableModel::Device), 18 * character));
    const std::pair<int, int> widest[] = {{BenchTableModel::Device, 14},
                                          {BenchTableModel::File, 20},
                                          {BenchTableModel::Figures, 22},
                                          {BenchTableModel::Outcome, 32}};
    for (const auto& [column, characters] : widest)
        Table->setColumnWidth(column, std::max(Table->columnWidth(column), characters * character));
    const int waiting = fontMetrics().horizontalAdvance(QStringLiteral(
                            "waiting for the next receiver (10 updated, 10 failed)")) +
                        2 * character;
    Table->setColumnWidth(BenchTableModel::Status,
                          std::max(Table->columnWidth(BenchTableModel::Status), waiting));
}

void BenchWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    StartButton->setFocus();
    // Presence is kept current while the bench is open.
    if (!Watch)
        Watch = std::make_unique<BenchPortWatch>(
            Checked, [this](const std::vector<BenchPort>& ports) { PortsListed(ports); });
}

void BenchWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!RunActive())
        Watch.reset();
}

void BenchWindow::closeEvent(QCloseEvent* event)
{
    // Every row only waits for its next receiver: the close ends the line, and the bench stays
    // to show its summary.
    if (EndLineIfAllWaiting()) {
        event->ignore();
        return;
    }
    // Stopping a run half way could leave a receiver without a working firmware.
    if (RunActive()) {
        MessageBox(Texts::UpdateInProgress, Texts::BoxCaption, MsgIcon::Warning);
        event->ignore();
        return;
    }
    event->accept();
}

void BenchWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Enter presses the button that has the focus, and anywhere else starts.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button != StartButton)
        button->animateClick();
    else if (StartButton->isEnabled())
        StartClick();
}

void BenchWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && Table)
        FitColumns();
}

void BenchWindow::PortsListed(const std::vector<BenchPort>& ports)
{
    const int before = Model->rowCount();
    Model->SetPorts(ports, Checked);
    if (Model->rowCount() != before)
        FitColumns();
}

int BenchWindow::CurrentRow() const
{
    const QModelIndex current = Table->currentIndex();
    return current.isValid() ? Sorted->mapToSource(current).row() : -1;
}

int BenchWindow::CurrentGroupIndex() const
{
    if (!Group)
        return -1;
    const auto found = std::find(GroupRows.begin(), GroupRows.end(), CurrentRow());
    return found == GroupRows.end() ? -1 : static_cast<int>(found - GroupRows.begin());
}

void BenchWindow::StartCurrentNextReceiver()
{
    if (const int index = CurrentGroupIndex(); index >= 0)
        Group->StartNextReceiver(static_cast<size_t>(index));
}

void BenchWindow::StopCurrentAfterRun()
{
    if (const int index = CurrentGroupIndex(); index >= 0) {
        StopAsked[static_cast<size_t>(index)] = true;
        Group->StopAfterRun(static_cast<size_t>(index));
        EnableControls();
    }
}

void BenchWindow::StopAllAfterRun()
{
    if (!Group)
        return;
    // All at once when every row waits, so that none begins a run meanwhile.
    if (!EndLineIfAllWaiting()) {
        std::fill(StopAsked.begin(), StopAsked.end(), true);
        Group->StopAfterRun();
        EnableControls();
    }
}

bool BenchWindow::EndLineIfAllWaiting()
{
    if (!Group || !GroupLine.Loop || !Group->EndIfAllWaiting())
        return false;
    std::fill(StopAsked.begin(), StopAsked.end(), true);
    EnableControls();
    return true;
}

bool BenchWindow::CloseBySignal()
{
    if (EndLineIfAllWaiting()) {
        CloseWhenLineEnds = true;
        return false;
    }
    return close();
}

void BenchWindow::StartClick()
{
    if (RunActive())
        return;
    const std::vector<int> rows = Model->StartableRows();
    if (rows.empty()) {
        BenchBox("No checked port is present. Check the rows of the receivers to update.");
        return;
    }
    std::vector<PortSpec> ports;
    for (int row : rows)
        ports.push_back(*PortSpec::Parse(Model->RowAt(row).Port().Port));
    // Two rows that are one receiver, or would share a log folder: the command line's words,
    // without the name of its option.
    if (std::string conflict = FindPortConflict(ports, CurrentDeviceOf); !conflict.empty()) {
        if (conflict.rfind("-p: ", 0) == 0)
            conflict.erase(0, 4);
        BenchBox("Cannot start: " + ToSystemText(QString::fromStdString(conflict)) + ".");
        return;
    }
    // The same rules as the command line's --loop, --retries and --history.
    const BenchLineSettings chosen = Line->Settings();
    LineSettings line;
    line.Loop = chosen.Loop;
    line.LoopQuiet = LoopQuiet;
    line.Retries = chosen.Retries;
    line.KeepRecord = chosen.Record;
    GroupSettings settings{Folder};
    settings.Line = line;
    auto group = std::make_unique<RunGroup>(settings);
    if (const GroupProblem problem = group->TakeFolder()) {
        ShowGroupProblem(problem);
        return;
    }
    // A record that cannot be kept stops the start, before anything is sent.
    if (line.KeepRecord)
        if (const std::string refusal = RecordRefusal(group->WorkFolder()); !refusal.empty()) {
            ShowGroupProblem({GroupProblem::Kind::Folder, refusal});
            return;
        }
    if (const GroupProblem problem = group->ReadFiles()) {
        ShowGroupProblem(problem);
        return;
    }
    Group = std::move(group);
    GroupRows = rows;
    GroupLine = line;
    StopAsked.assign(rows.size(), false);
    SessionsEnded = 0;
    Feeds.clear();
    std::vector<SessionObserver*> observers;
    std::set<std::string> busy;
    for (int row : rows) {
        Feeds.push_back(
            std::make_unique<BenchRowFeed>(Model->Row(row), [this] { SessionEnded(); }));
        observers.push_back(Feeds.back().get());
        busy.insert(Model->RowAt(row).Port().Port);
    }
    if (Watch)
        Watch->SetBusy(busy);
    EnableControls();
    const auto count = [](size_t n, const char* one, const char* more) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : more));
    };
    ShowSummary(
        line.Loop
            ? QStringLiteral("Updating one receiver after another on %1...")
                  .arg(count(rows.size(), "port", "ports"))
            : QStringLiteral("Updating %1...").arg(count(rows.size(), "receiver", "receivers")));
    Group->Start(ports, observers);
}

void BenchWindow::SessionEnded()
{
    // The group is done with once the feed that told this has returned.
    if (++SessionsEnded == GroupRows.size())
        QMetaObject::invokeMethod(
            this, [this] { GroupEnded(); }, Qt::QueuedConnection);
}

void BenchWindow::GroupEnded()
{
    if (!Group)
        return;
    Group->Wait();
    Group.reset();  // lets go of the folder
    Feeds.clear();
    if (Watch) {
        Watch->SetBusy({});
        if (!isVisible())
            Watch.reset();
    }
    EnableControls();
    ShowSummary(GroupLine.Loop ? Model->LineSummaryText(GroupRows) : Model->SummaryText(GroupRows));
    if (CloseWhenLineEnds) {
        CloseWhenLineEnds = false;
        close();
    }
}

void BenchWindow::ShowSummary(const QString& text)
{
    SummaryLabel->setText(text);
    if (OnSummary)
        OnSummary(text);
}

void BenchWindow::EnableControls()
{
    StartButton->setEnabled(!RunActive());
    const int index = CurrentGroupIndex();
    const bool inRun = index >= 0;
    const BenchRow* row = inRun ? &Model->RowAt(CurrentRow()) : nullptr;
    Line->ShowState(RunActive(), inRun && row->Active() && !StopAsked[static_cast<size_t>(index)],
                    inRun && row->CurrentState() == BenchRow::State::Waiting);
}

void BenchWindow::ShowDetails(int row)
{
    if (row < 0 || row >= Model->rowCount() || !Model->RowAt(row).HasDetails())
        return;
    // The outcome as the box's text, the rest behind "Show Details...".
    const std::string details = Model->RowAt(row).DetailsText();
    const size_t lineEnd = details.find('\n');
    MessageBox(details.substr(0, lineEnd), Texts::BoxCaption, MsgIcon::Information,
               lineEnd == std::string::npos ? std::string() : details.substr(lineEnd + 1));
}
