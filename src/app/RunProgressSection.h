// SPDX-License-Identifier: MIT
// The right-hand section of the main window's status bar: during an update run, which file of
// how many is being sent, the rate on the line and the time left ("file 2 of 3 · 11.5 kB/s ·
// 0:21 left"). It follows the run as an observer: the worker's calls only note the news and
// ask the user-interface thread once to show it, so the line never waits for the window.
#pragma once

#include "RunObserver.h"
#include "RunProgress.h"

#include <QLabel>
#include <functional>
#include <mutex>

class RunProgressSection : public QLabel, public RunObserver {
public:
    // Seconds on a steady clock (tests pass their own).
    using Clock = std::function<double()>;

    explicit RunProgressSection(QWidget* parent = nullptr, Clock now = {});

    // On the user-interface thread: a run of these files begins; the run is over (the section
    // empties and hides).
    void BeginRun(std::vector<RunFile> files);
    void EndRun();

    // RunObserver, on the worker.
    void FileBegins(const RunFile& file) override;
    void FileProgress(const RunFile& file, int64_t written, int64_t queued) override;
    void FileEnds(const RunFile& file, int64_t written, bool complete) override;

    // Told each new text as it is shown (tests follow the run).
    std::function<void(const QString&)> OnText;

protected:
    void changeEvent(QEvent* event) override;

private:
    // Asks the user-interface thread to show the news, unless it has been asked already.
    void Notify();
    void ShowNews();
    void Show(const QString& text);
    void FitWidthToFont();

    const Clock Now;
    std::mutex Lock;
    RunProgress Progress;
    bool Running = false;
    bool NewsPending = false;
};
