// SPDX-License-Identifier: MIT
// TForm1's update run: Start, opening the port and starting the worker, the end of the run,
// and the host operations through which the worker reaches the window.
#include "StartUnit.h"

#include "Exceptions.h"
#include "FirmThread.h"
#include "MainThread.h"
#include "Messages.h"
#include "PortErrors.h"
#include "PortProblem.h"
#include "PortSettings.h"
#include "PortSpec.h"
#include "RunStart.h"
#include "SystemTexts.h"
#include "Win1252.h"
#include "comm_port.h"

#include <QComboBox>
#include <QDir>
#include <QProgressBar>

void TForm1::ButtonStartClick(QObject* /*sender*/)
{
    // One run per folder, held until the run has ended and its log is written.
    if (!TakeRunFolder(RunFolder))
        return;
    BuildFirmFileList();
    if (!ReadFirmFiles()) {
        RunFolder.Release();
        // No firmware file: nothing happens, nothing is shown. One that cannot be used: a box.
        if (!FirmFiles.Problem.Empty())
            ShowFirmFileProblem(FirmFiles.Problem);
        return;
    }
    EnableControls(false);
    LoadFirm();
}

void TForm1::LoadFirm()
{
    try {
        if (!FCommPort)
            FCommPort = std::make_unique<TCommPort>();
        RunPortNumber = ComPortNumber;
        UpdateSucceeded = false;
        FirmFiles.FirmFileIndex = 0;
        RunLog.Reset();
        if (const std::optional<PortProblem> problem =
                OpenReceiverPort(*FCommPort, PortSpec::Com(RunPortNumber))) {
            // No run: the outcome of an earlier one no longer stands.
            SetStatusText(QString());
            ShowPortProblem(*problem);
            AbandonStart();
            return;
        }
        // Created suspended so that its done notification is attached before it can end.
        TFirmThread* worker = TThread::Create<TFirmThread>(true, *this);
        worker->OnTerminate = [this](TThread* sender) { FirmThreadDone(sender); };
        UpdateRunning = true;
        ShowRunProgress(true);
        try {
            worker->Start();
        } catch (...) {
            delete worker;  // never started, so it cannot free itself
            throw;
        }
        EnableControls(false);
    } catch (const Exception& error) {
        ShowException(error);
        AbandonStart();
    } catch (const std::exception& error) {
        ShowException(Exception(error.what()));
        AbandonStart();
    }
}

void TForm1::AbandonStart()
{
    // Back to Idle: a port left open would fail the next start with code 6, and the controls
    // would stay disabled for good.
    UpdateRunning = false;
    ShowRunProgress(false);
    // A close that fails leaves the port counted as open; the next start tries it again.
    ClosePortAfterRun(FCommPort.get(), false);
    FirmFiles.ReleaseFirmFiles();
    RunFolder.Release();
    EnableControls(true);
}

void TForm1::FirmThreadDone(TThread* /*sender*/)
{
    // The line's trouble, once: the first port error the run met.
    if (const std::optional<ECommError> error = RunLog.FirstPortError())
        ShowPortProblem(PortProblemOf(PortSpec::Com(RunPortNumber), *error, false));
    FirmClosePort();
    RunFolder.Release();  // the log has been written
    UpdateRunning = false;
    ShowRunProgress(false);
    CloseUpdateInProgressBox();
    if (UpdateSucceeded) {
        SetStatusText(FromSystemText(Texts::UpdateOk));
    } else {
        SetStatusText(FromSystemText(Texts::UpdateError));
        ShowUpdateError();
    }
    EnableControls(true);
}

void TForm1::ShowUpdateError()
{
    const std::string written = RunLog.WrittenLog();
    const QString log = QDir::current().absoluteFilePath(
        written.empty() ? QString::fromLatin1(Texts::UpdateLogFileName) : FromLocalPath(written));
    MessageBoxRequest box{
        Texts::UpdateError, Texts::BoxCaption, MsgIcon::Warning,
        UpdateErrorDetails(RunLog.Entries(), ToSystemText(QDir::toNativeSeparators(log)),
                           !written.empty())};
    if (TryAgainObstacle(RunPortNumber).empty())
        box.ExtraButtons.push_back(Texts::TryAgain);
    // Started once this run's end is done with: its worker is still waiting for it.
    if (AskMessageBox(box) == Texts::TryAgain)
        QMetaObject::invokeMethod(
            this, [this] { TryAgain(); }, Qt::QueuedConnection);
}

void TForm1::FirmClosePort()
{
    ::FirmClosePort(FCommPort.get(), FirmFiles, [this](bool enable) { EnableControls(enable); });
}

void TForm1::ShowComError(int code)
{
    // The port that was tried: the box may show a text that selects no item, or an item whose
    // text is not the port the saved number opens.
    ::ShowComError(code, "COM" + std::to_string(ComPortNumber));
}

void TForm1::ShowPortProblem(const PortProblem& problem)
{
    for (const MessageBoxRequest& box : PortProblemBoxes(problem))
        MessageBox(box.Text, box.Caption, box.Icon, box.Details);
}

void TForm1::BuildFirmFileList()
{
    FirmFiles.BuildFirmFileList();
}

bool TForm1::ReadFirmFiles()
{
    return FirmFiles.ReadFirmFiles();
}

TCommPort& TForm1::CommPort()
{
    return *FCommPort;
}

void TForm1::SetProgressPosition(int position)
{
    // From the worker (the reset at the end of a run) the change is made on the user-interface
    // thread while the worker waits; there it is made at once.
    RunOnMainThread([this, position] { ProgressBar1->setValue(position); });
}

void TForm1::SetUpdateSucceeded(bool succeeded)
{
    UpdateSucceeded = succeeded;
}

int32_t TForm1::GetFirstFirmFileType()
{
    return FirmFiles.GetFirstFirmFileType();
}

int32_t TForm1::GetNextFirmFileType()
{
    return FirmFiles.GetNextFirmFileType();
}

int32_t TForm1::GetFileSize(int32_t type)
{
    return FirmFiles.GetFileSize(type);
}

const uint8_t* TForm1::GetFileBuffer(int32_t type)
{
    return FirmFiles.GetFileBuffer(type);
}

std::string TForm1::GetFirmFileName(int32_t type)
{
    return FirmFiles.GetFirmFileName(type);
}
