// SPDX-License-Identifier: MIT
// BenchTableModel: the bench's table, one row per port, as a Qt model fed by each row's events:
// a check box to include the port, its COM text, device (with the adapter's stable identity as
// tooltip), present or absent, the file being sent, the progress with its percent, the rate and
// time left, the engine's status text, the outcome with its cause, and "Details". It sorts by
// port and by outcome through SortRole, and sums the outcomes up in one line.
#pragma once

#include "BenchRow.h"
#include "BenchRowEvents.h"

#include <QAbstractTableModel>
#include <functional>
#include <memory>
#include <vector>

class BenchTableModel : public QAbstractTableModel {
public:
    enum Column {
        Include,
        Port,
        Device,
        Presence,
        File,
        Progress,
        Figures,
        Status,
        Outcome,
        Details,
        ColumnCount
    };
    // The percent of the row's progress bar (an int; -1: no bar).
    static constexpr int ProgressRole = Qt::UserRole + 1;
    // A text that sorts the rows: ports by kind and COM number, outcomes worst first.
    static constexpr int SortRole = Qt::UserRole + 2;

    // Seconds on a steady clock (tests pass their own).
    using Clock = std::function<double()>;

    explicit BenchTableModel(Clock now = {}, QObject* parent = nullptr);
    ~BenchTableModel() override;

    // Rows for these ports, in this order for new ones: a port already shown keeps its row and
    // its runs, with the new device and presence; a new port gets a row at the end, included
    // when `include` names it; a row whose port is no longer listed stays, absent.
    void SetPorts(const std::vector<BenchPort>& ports,
                  const std::vector<std::string>& include = {});
    // -1 when no row shows the port.
    int RowOfPort(const std::string& port) const;
    const BenchRow& RowAt(int row) const;
    // Where the row's events go; each one updates the row's cells.
    BenchRowEvents& Row(int row);

    // The rows a start would update: included, present, and not already active.
    std::vector<int> StartableRows() const;
    bool AnyActive() const;
    // "6 OK, 1 Update Error, 1 not opened": the outcomes of the rows' last runs (of these rows
    // only, when given); empty before any run has ended.
    QString SummaryText() const;
    QString SummaryText(const std::vector<int>& rows) const;
    // "Production line: 5 receivers, 4 updated, 1 failed": the receivers of these rows' last
    // sessions, each by its last attempt.
    QString LineSummaryText(const std::vector<int>& rows) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    class RowSink;
    void RowChanged(int row);
    QVariant DisplayText(const BenchRow& row, int column) const;
    QVariant ToolTip(const BenchRow& row, int column) const;
    QString SortKey(const BenchRow& row, int column) const;

    const Clock Now;
    std::vector<std::unique_ptr<BenchRow>> Rows;
    std::vector<std::unique_ptr<RowSink>> Sinks;
};
