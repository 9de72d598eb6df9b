// SPDX-License-Identifier: MIT
// StartUnit: the main window TForm1. The user picks the receiver's port and starts an update;
// the window reads the firmware files of its folder, opens the port and hands both to a
// RunSession, which runs the update on its own thread and closes the port; the window shows the
// run as it goes (RunDisplay) and its outcome. Its menu also opens the bench.
#pragma once

#include "FolderLock.h"
#include "SessionHost.h"
#include "SessionObserver.h"
#include "UpdateErrorDetails.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class BenchWindow;
class FirmwareFiles;
struct PortProblem;
class QCloseEvent;
class QComboBox;
class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QShowEvent;
class QStatusBar;
class RunProgressSection;
class RunSession;
class SerialPortKey;
class StatusTextLabel;
class TCommPort;

namespace Ui {
class TForm1;
}

class TForm1 : public QMainWindow, public RunDisplay {
public:
    // `folder`: the firmware folder, where "Zendrak.dat", the firmware files and the update log
    // are; empty: the current directory.
    explicit TForm1(QWidget* parent = nullptr, const std::string& folder = {});
    ~TForm1() override;

    // The controls, under the form description's names.
    QStatusBar* StatusBar1 = nullptr;
    QComboBox* CBoxPortName = nullptr;
    QPushButton* ButtonStart = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* LabelSend = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QAction* Bench1 = nullptr;
    QAction* Help1 = nullptr;
    // The status bar's right-hand section: the file, rate and time left of the run's send.
    RunProgressSection* ProgressSection = nullptr;

    void FormShow(QObject* sender);
    // Returns false when the window must stay open (an update run is in progress, here or on
    // the bench).
    bool FormClose(QObject* sender);
    // The run's end, on the user-interface thread once its session has ended.
    void FirmThreadDone(QObject* sender);
    void ShowComError(int code);
    // The boxes of a port problem, in their order ("COM Error", then for a failed open the
    // message of ShowComError).
    void ShowPortProblem(const PortProblem& problem);
    void FirmClosePort();
    void EnableControls(bool enable);
    void LoadFirm();
    void ButtonStartClick(QObject* sender);
    void CBoxPortNameChange(QObject* sender);
    void Help1Click(QObject* sender);
    // Opens the bench for this window's folder (brings it to the front when it is open).
    void Bench1Click(QObject* sender);
    // Reads the firmware files of the folder. True when at least one could be opened and none
    // that was found is unusable (FirmFiles holds them until the run has ended).
    bool ReadFirmFiles();
    void ListComPorts();
    // Reads the list of serial ports again and refills the port box, keeping its text; run
    // each time the user opens the box's list. Shows no box and writes no settings.
    void RefreshComPorts();
    // The port box's current text (Windows-1252), e.g. "COM3".
    std::string GetComPort() const;

    // The status bar's one text (SimpleText), whole; a text too long for the bar is painted
    // shortened in the middle, with the whole text as the bar's tooltip.
    QString StatusText() const;
    void SetStatusText(const QString& text);
    // The status text as the bar paints it now.
    QString ShownStatusText() const;

    // RunDisplay: what the run shows in the window as it goes.
    void SetProgressPosition(int position) override;
    void SetUpdateSucceeded(bool succeeded) override;
    void ShowFileName(const std::string& path) override;
    // The size of a firmware file of the run (by its type, 1..3); 0 when none is held.
    int32_t GetFileSize(int32_t type) const;
    // The firmware folder (absolute).
    const std::string& FirmwareFolder() const { return Folder; }
    // The bench's window once it has been opened.
    BenchWindow* Bench() const { return BenchForm.get(); }

    // Why a run on COM<portNumber> cannot simply be started again ("Try again" in the "Update
    // Error" box): the port names no device now, or the folder holds no firmware file. Empty
    // when it can.
    std::string TryAgainObstacle(int portNumber) const;

    // The serial port object: created by the first start, reused by every later one.
    std::unique_ptr<TCommPort> FCommPort;
    bool UpdateSucceeded = false;
    // The firmware files of the run, from Start to its end.
    std::shared_ptr<const FirmwareFiles> FirmFiles;
    // True from the run's start to the end of its done notification.
    bool UpdateRunning = false;
    // The lock on the firmware folder, held from Start to the end of the run.
    FolderLock RunFolder;
    // Where ListComPorts reads the serial ports; empty: the registry (tests put in their own).
    std::function<std::unique_ptr<SerialPortKey>()> OpenSerialPortKey;
    // Told every status text as it is set, on the user-interface thread (tests follow the run).
    std::function<void(const QString&)> OnStatusText;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyFonts();
    // Lays the controls out for the window's font: the design sizes, each control widened or
    // heightened as its text needs, the later ones moved along, the window fitted to them.
    void FitControlsToFont();
    std::unique_ptr<SerialPortKey> OpenPortKey();
    // Closes the "Update in progress" box if the user has it open: the run it waits for is over.
    void CloseUpdateInProgressBox();
    void ShowUpdateError();
    // The same update again at once (same port, same folder), when it still can run.
    void TryAgain();
    // A start that failed after the files were read: back to Idle (see LoadFirm).
    void AbandonStart();
    // The percent on the progress bar and the status bar's right-hand section, for a run.
    void ShowRunProgress(bool running);

    const std::string Folder;
    std::unique_ptr<Ui::TForm1> Ui;
    StatusTextLabel* StatusLabel = nullptr;  // the status bar's simple text
    bool Shown = false;
    // The entries of the run in progress (or the last one) and the log it wrote.
    RunLogRecorder RunLog;
    // The session's observer: the run's events to RunLog and the status bar's right-hand section.
    RunEventRelay RunFollowers;
    // The port number the last run opened.
    int RunPortNumber = 0;
    std::unique_ptr<BenchWindow> BenchForm;
    // The run under way; ended (and gone) in FirmThreadDone.
    std::unique_ptr<RunSession> Session;
    // Set while the window is destroyed: a run's end that comes then is not shown.
    bool Destroying = false;
};

// The main window's single instance.
extern TForm1* Form1;
