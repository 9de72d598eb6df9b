// SPDX-License-Identifier: MIT
// BenchLineControls: the bench's controls for one receiver after another on the same cable:
// "Next receiver starts by itself", "Retries" with their number and "Keep a record" for the
// next Start, and the actions on a run under way: "Next receiver" and "Stop after this run" for
// the current row, "Stop all after this run" for every row. As on the command line, the loop
// and retries keep the record always.
#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QPushButton;
class QSpinBox;

// What the next Start asks for.
struct BenchLineSettings {
    bool Loop = false;    // each port waits for the next receiver and updates it
    int Retries = 0;      // further attempts of a failed run
    bool Record = false;  // the record of every attempt, with the logs kept
};

class BenchLineControls : public QWidget {
public:
    explicit BenchLineControls(QWidget* parent = nullptr);

    BenchLineSettings Settings() const;
    // While a run lasts the settings stay as they were started; the actions are for the run.
    // `rowWaits`: the current row waits for its next receiver; `rowActive`: it has a run.
    void ShowState(bool running, bool rowActive, bool rowWaits);

    std::function<void()> OnNextReceiver;
    std::function<void()> OnStopAfterRun;
    std::function<void()> OnStopAllAfterRun;

    QCheckBox* LoopBox = nullptr;
    QSpinBox* RetriesBox = nullptr;
    QCheckBox* RecordBox = nullptr;
    QPushButton* NextReceiverButton = nullptr;
    QPushButton* StopAfterRunButton = nullptr;
    QPushButton* StopAllButton = nullptr;

private:
    // "Keep a record" is on, and fixed, while the loop or retries are asked for.
    void FollowLineSettings();
    bool RecordChosen = false;  // the user's own choice, for when it is free again
};
