// SPDX-License-Identifier: MIT
#include "BenchTableModel.h"

#include "ComText.h"
#include "Win1252.h"

#include <algorithm>
#include <chrono>
#include <numeric>

namespace {

double SteadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// COM ports by number, then device paths, then network addresses, each by text.
QString PortSortKey(const std::string& port)
{
    if (const auto number = ComNumberOfText(port))
        return QStringLiteral("0%1").arg(*number, 3, 10, QLatin1Char('0'));
    return (port.rfind('/', 0) == 0 ? QStringLiteral("1") : QStringLiteral("2")) +
           QString::fromStdString(port);
}

// The rows that need a look first: failures, then runs under way, then the good ones.
QChar OutcomeRank(const BenchRow& row)
{
    if (row.Active())
        return '3';
    if (!row.LastEnd())
        return '5';
    switch (row.LastEnd()->Outcome) {
    case BenchOutcome::Error: return '0';
    case BenchOutcome::NotOpened: return '1';
    case BenchOutcome::Cancelled: return '2';
    case BenchOutcome::Ok: break;
    }
    return '4';
}

}  // namespace

// Passes a row's events on to it and tells the views which row changed.
class BenchTableModel::RowSink : public BenchRowEvents {
public:
    RowSink(BenchTableModel& model, int row) : Model(model), Index(row) {}

    void PortChanged(const BenchPort& port) override
    {
        Apply([&](BenchRow& r) { r.PortChanged(port); });
    }
    void RunBegins(const std::vector<RunFile>& files, int attempt, int attempts) override
    {
        Apply([&](BenchRow& r) { r.RunBegins(files, attempt, attempts); });
    }
    void StatusText(const std::string& text) override
    {
        Apply([&](BenchRow& r) { r.StatusText(text); });
    }
    void LogEntry(const std::string& entry) override
    {
        Apply([&](BenchRow& r) { r.LogEntry(entry); });
    }
    void FileBegins(const RunFile& file) override
    {
        Apply([&](BenchRow& r) { r.FileBegins(file, Model.Now()); });
    }
    void FileProgress(int64_t onLine) override
    {
        Apply([&](BenchRow& r) { r.FileProgress(onLine, Model.Now()); });
    }
    void FileEnds(int64_t written, bool complete) override
    {
        Apply([&](BenchRow& r) { r.FileEnds(written, complete, Model.Now()); });
    }
    void RunEnds(const BenchRunEnd& end) override
    {
        Apply([&](BenchRow& r) { r.RunEnds(end); });
    }
    void WaitingForNextReceiver(const LineCounts& counts) override
    {
        Apply([&](BenchRow& r) { r.WaitingForNextReceiver(counts); });
    }
    void SessionEnds(const LineCounts& counts) override
    {
        Apply([&](BenchRow& r) { r.SessionEnds(counts); });
    }

private:
    template <typename Change>
    void Apply(Change change)
    {
        change(*Model.Rows.at(static_cast<size_t>(Index)));
        Model.RowChanged(Index);
    }

    BenchTableModel& Model;
    const int Index;
};

BenchTableModel::BenchTableModel(Clock now, QObject* parent)
    : QAbstractTableModel(parent), Now(now ? std::move(now) : Clock(SteadySeconds))
{
}

BenchTableModel::~BenchTableModel() = default;

void BenchTableModel::SetPorts(const std::vector<BenchPort>& ports,
                               const std::vector<std::string>& include)
{
    std::vector<bool> listed(Rows.size(), false);
    std::vector<BenchPort> added;
    for (const BenchPort& port : ports) {
        const int row = RowOfPort(port.Port);
        if (row < 0) {
            if (std::none_of(added.begin(), added.end(),
                             [&](const BenchPort& p) { return p.Port == port.Port; }))
                added.push_back(port);
            continue;
        }
        listed[static_cast<size_t>(row)] = true;
        Rows[static_cast<size_t>(row)]->PortChanged(port);
        RowChanged(row);
    }
    for (size_t row = 0; row < listed.size(); ++row) {
        if (listed[row] || !Rows[row]->Port().Present)
            continue;
        BenchPort gone = Rows[row]->Port();
        gone.Present = false;
        Rows[row]->PortChanged(gone);
        RowChanged(static_cast<int>(row));
    }
    if (added.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    for (const BenchPort& port : added) {
        const bool included = std::find(include.begin(), include.end(), port.Port) != include.end();
        Rows.push_back(std::make_unique<BenchRow>(port, included));
        Sinks.push_back(std::make_unique<RowSink>(*this, static_cast<int>(Rows.size()) - 1));
    }
    endInsertRows();
}

int BenchTableModel::RowOfPort(const std::string& port) const
{
    for (size_t row = 0; row < Rows.size(); ++row)
        if (Rows[row]->Port().Port == port)
            return static_cast<int>(row);
    return -1;
}

const BenchRow& BenchTableModel::RowAt(int row) const
{
    return *Rows.at(static_cast<size_t>(row));
}

BenchRowEvents& BenchTableModel::Row(int row)
{
    return *Sinks.at(static_cast<size_t>(row));
}

std::vector<int> BenchTableModel::StartableRows() const
{
    std::vector<int> rows;
    for (size_t row = 0; row < Rows.size(); ++row)
        if (Rows[row]->Included && Rows[row]->Port().Present && !Rows[row]->Active())
            rows.push_back(static_cast<int>(row));
    return rows;
}

bool BenchTableModel::AnyActive() const
{
    return std::any_of(Rows.begin(), Rows.end(), [](const auto& row) { return row->Active(); });
}

QString BenchTableModel::SummaryText() const
{
    std::vector<int> all(Rows.size());
    std::iota(all.begin(), all.end(), 0);
    return SummaryText(all);
}

QString BenchTableModel::SummaryText(const std::vector<int>& rows) const
{
    constexpr BenchOutcome order[] = {BenchOutcome::Ok, BenchOutcome::Error,
                                      BenchOutcome::NotOpened, BenchOutcome::Cancelled};
    QStringList parts;
    for (const BenchOutcome outcome : order) {
        const auto count = std::count_if(rows.begin(), rows.end(), [&](int index) {
            const BenchRow& row = RowAt(index);
            return !row.Active() && row.LastEnd() && row.LastEnd()->Outcome == outcome;
        });
        if (count > 0)
            parts << QStringLiteral("%1 %2").arg(count).arg(
                outcome == BenchOutcome::Ok ? QStringLiteral("OK") : BenchOutcomeName(outcome));
    }
    return parts.join(QStringLiteral(", "));
}

QString BenchTableModel::LineSummaryText(const std::vector<int>& rows) const
{
    LineCounts all;
    for (int index : rows) {
        all.Updated += RowAt(index).Receivers().Updated;
        all.Failed += RowAt(index).Receivers().Failed;
    }
    const int receivers = all.Updated + all.Failed;
    return QStringLiteral("Production line: %1 %2, %3 updated, %4 failed")
        .arg(receivers)
        .arg(receivers == 1 ? QStringLiteral("receiver") : QStringLiteral("receivers"))
        .arg(all.Updated)
        .arg(all.Failed);
}

int BenchTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(Rows.size());
}

int BenchTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BenchTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const BenchRow& row = RowAt(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: return DisplayText(row, column);
    case Qt::CheckStateRole:
        if (column == Include)
            return row.Included ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::ToolTipRole: return ToolTip(row, column);
    case ProgressRole:
        if (column == Progress)
            return row.Percent();
        return {};
    case SortRole: return SortKey(row, column);
    default: return {};
    }
}

QVariant BenchTableModel::DisplayText(const BenchRow& row, int column) const
{
    switch (column) {
    case Port: return QString::fromStdString(row.Port().Port);
    case Device: return FromLocalPath(row.Port().Device);
    case Presence: return row.PresenceText();
    case File: return row.FileText();
    case Progress: return row.PercentText();
    case Figures: return row.FiguresText();
    case Status: return row.StatusCellText();
    case Outcome: return row.OutcomeText();
    case Details: return QStringLiteral("Details");
    default: return {};
    }
}

QVariant BenchTableModel::ToolTip(const BenchRow& row, int column) const
{
    const BenchPort& port = row.Port();
    const QString device =
        port.Device.empty() ? QStringLiteral("no device") : FromLocalPath(port.Device);
    const QString identity = port.Identity.empty() ? QString() : FromLocalPath(port.Identity);
    switch (column) {
    case Port:
    case Device: return identity.isEmpty() ? device : device + QStringLiteral("\n") + identity;
    case Status: return row.StatusCellText();
    case Outcome:
        // With what the port did during the run, or the word that the log was not written.
        if (const auto& end = row.LastEnd(); end && !end->Remark.empty() && !row.Active())
            return row.OutcomeText() + QStringLiteral("\n") + FromSystemText(end->Remark);
        return row.OutcomeText();
    case Details: return QStringLiteral("This run's log entries and cause");
    default: return {};
    }
}

QString BenchTableModel::SortKey(const BenchRow& row, int column) const
{
    const QString port = PortSortKey(row.Port().Port);
    switch (column) {
    case Port: return port;
    case Outcome: return OutcomeRank(row) + port;
    default: return DisplayText(row, column).toString();
    }
}

QVariant BenchTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[ColumnCount] = {
        "Include",         "Port",   "Device",  "Present", "File", "Progress",
        "Rate, time left", "Status", "Outcome", ""};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

Qt::ItemFlags BenchTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const BenchRow& row = RowAt(index.row());
    switch (index.column()) {
    case Include:
        // Fixed while the port is busy: "Stop after this run" ends a row's work.
        return row.Active() ? Qt::ItemIsSelectable
                            : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
    case Details:
        return row.HasDetails() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsSelectable;
    default: return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }
}

bool BenchTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != Include || role != Qt::CheckStateRole ||
        RowAt(index.row()).Active())
        return false;
    Rows[static_cast<size_t>(index.row())]->Included = value.value<Qt::CheckState>() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

void BenchTableModel::RowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}
