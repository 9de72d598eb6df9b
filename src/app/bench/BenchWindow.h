// SPDX-License-Identifier: MIT
// BenchWindow: the bench, a window of its own for several receivers at once. One row per port
// (BenchTableModel, sorted through a proxy), present or absent as BenchPortWatch finds them;
// "Start" updates every checked, present port at once through one RunGroup from the folder's
// files read once, each row fed by its session through a BenchRowFeed; a summary line when all
// are done. With BenchLineControls the sessions loop (each port waits for its next receiver),
// retry and keep the record as zendrak-cli's --loop, --retries and --history do. While a run
// lasts the bench cannot be closed; while every row only waits, a close ends the line. Keyboard:
// Enter starts, space toggles the current row.
#pragma once

#include "BenchPorts.h"
#include "BenchRowFeed.h"
#include "BenchTableModel.h"
#include "ProductionLine.h"

#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class BenchLineControls;
class BenchTable;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class RunGroup;

class BenchWindow : public QWidget {
public:
    // `folder`: the firmware folder (absolute; empty: the current directory). `ports`: the rows
    // to check (as the user wrote them; a port the listing does not hold gets a row of its own).
    explicit BenchWindow(const std::string& folder, const std::vector<std::string>& ports = {},
                         QWidget* parent = nullptr);
    ~BenchWindow() override;

    // A run is under way on one of the rows.
    bool RunActive() const { return Group != nullptr; }
    BenchTableModel& Rows() { return *Model; }

    // Updates every checked, present row at once. A folder or file set that cannot be used, or
    // two rows that are one receiver, is one box, and nothing starts.
    void StartClick();
    // The details of a row's last run (model row).
    void ShowDetails(int row);
    // When every row of the run only waits for its next receiver (or has ended), ends them all
    // at once, with the summary to follow, and returns true; false while a receiver is updated.
    bool EndLineIfAllWaiting();
    // A close asked for by a signal: refused with its box while a receiver is updated, as a
    // close by the user; while every row only waits, the line ends and the bench closes once
    // its summary is shown (the record has every run). True when the bench closed at once.
    bool CloseBySignal();

    BenchTable* Table = nullptr;
    BenchLineControls* Line = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* DetailsButton = nullptr;
    QPushButton* HelpButton = nullptr;
    QLabel* SummaryLabel = nullptr;
    // Told each summary line as it is shown (tests follow the runs).
    std::function<void(const QString&)> OnSummary;
    // How long a waiting port's line must have been quiet before start-up output counts as the
    // next receiver (the command line's default; tests shorten it).
    std::chrono::milliseconds LoopQuiet = LineSettings().LoopQuiet;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void PortsListed(const std::vector<BenchPort>& ports);
    void FitColumns();
    void SessionEnded();
    void GroupEnded();
    void ShowSummary(const QString& text);
    void EnableControls();
    // The model row of the table's current row; -1 when none.
    int CurrentRow() const;
    // The current row's place in the run's group; -1 when it takes no part.
    int CurrentGroupIndex() const;
    void StopCurrentAfterRun();
    void StopAllAfterRun();
    void StartCurrentNextReceiver();

    const std::string Folder;
    std::vector<std::string> Checked;  // as PortSpec names them
    BenchTableModel* Model = nullptr;
    QSortFilterProxyModel* Sorted = nullptr;
    std::unique_ptr<BenchPortWatch> Watch;
    // The run under way: its rows, their feeds, and how many of its sessions have ended.
    std::vector<int> GroupRows;
    std::vector<bool> StopAsked;  // per group index: no further run was asked for
    bool CloseWhenLineEnds = false;
    LineSettings GroupLine;  // as the run was started
    std::vector<std::unique_ptr<BenchRowFeed>> Feeds;
    size_t SessionsEnded = 0;
    std::unique_ptr<RunGroup> Group;
};
