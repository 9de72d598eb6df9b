// SPDX-License-Identifier: MIT
// StartUnit: the main window TForm1. The user picks the receiver's port and starts an update;
// the window reads the firmware files, opens the port, starts the worker and shows the outcome.
// It is the worker's host: the port, the progress bar, the success flag and the file set.
#pragma once

#include "FirmFileSet.h"
#include "FirmHost.h"
#include "FolderLock.h"
#include "UpdateErrorDetails.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
class SerialPortKey;
class StatusTextLabel;
class TCommPort;
class TThread;

namespace Ui {
class TForm1;
}

class TForm1 : public QMainWindow, public TFirmHost {
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The controls, under the form description's names.
    QStatusBar* StatusBar1 = nullptr;
    QComboBox* CBoxPortName = nullptr;
    QPushButton* ButtonStart = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* LabelSend = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QAction* Help1 = nullptr;
    // The status bar's right-hand section: the file, rate and time left of the run's send.
    RunProgressSection* ProgressSection = nullptr;

    void FormShow(QObject* sender);
    // Returns false when the window must stay open (an update run is in progress).
    bool FormClose(QObject* sender);
    void FirmThreadDone(TThread* sender);
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
    void BuildFirmFileList();
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

    // TFirmHost: what the worker reaches.
    TCommPort& CommPort() override;
    void SetProgressPosition(int position) override;
    void SetUpdateSucceeded(bool succeeded) override;
    int32_t GetFirstFirmFileType() override;
    int32_t GetNextFirmFileType() override;
    int32_t GetFileSize(int32_t type) override;
    const uint8_t* GetFileBuffer(int32_t type) override;
    std::string GetFirmFileName(int32_t type) override;
    // The run's log entries and its end, for the details of "Update Error"; its send, for the
    // status bar's right-hand section.
    RunObserver& Observer() override { return RunFollowers; }

    // Why a run on COM<portNumber> cannot simply be started again ("Try again" in the "Update
    // Error" box): the port names no device now, or the folder holds no firmware file. Empty
    // when it can.
    std::string TryAgainObstacle(int portNumber) const;

    // The serial port object: created by the first start, reused by every later one.
    std::unique_ptr<TCommPort> FCommPort;
    bool UpdateSucceeded = false;
    FirmFileSet FirmFiles;
    // True from the worker's start to the end of its done notification.
    bool UpdateRunning = false;
    // The lock on the current folder, held from Start to the end of the run.
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
    std::vector<RunFile> RunFiles() const;

    std::unique_ptr<Ui::TForm1> Ui;
    StatusTextLabel* StatusLabel = nullptr;  // the status bar's simple text
    bool Shown = false;
    // The entries of the run in progress (or the last one) and the log it wrote.
    RunLogRecorder RunLog;
    RunObservers RunFollowers;
    // The port number the last run opened.
    int RunPortNumber = 0;
};

// The main window's single instance.
extern TForm1* Form1;
