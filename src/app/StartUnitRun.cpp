// SPDX-License-Identifier: MIT
// TForm1's update run: Start, opening the port and handing it with the files to the run's
// session, the end of the run, and what the run shows in the window as it goes.
#include "StartUnit.h"

#include "Exceptions.h"
#include "FirmwareFiles.h"
#include "MainThread.h"
#include "Messages.h"
#include "PortErrors.h"
#include "PortProblem.h"
#include "PortSettings.h"
#include "PortSpec.h"
#include "RunSession.h"
#include "RunStart.h"
#include "SystemTexts.h"
#include "Win1252.h"
#include "comm_port.h"

#include <QDir>
#include <QProgressBar>

void TForm1::ButtonStartClick(QObject* /*sender*/)
{
    // One run per folder, held until the run has ended and its log is written.
    if (!TakeRunFolder(RunFolder, Folder))
        return;
    if (!ReadFirmFiles()) {
        RunFolder.Release();
        // No firmware file: nothing happens, nothing is shown. One that cannot be used: a box.
        if (FirmFiles && !FirmFiles->Problem().Empty())
            ShowFirmFileProblem(FirmFiles->Problem());
        FirmFiles.reset();
        return;
    }
    EnableControls(false);
    LoadFirm();
}

bool TForm1::ReadFirmFiles()
{
    FirmFiles = FirmwareFiles::Read(Folder);
    return FirmFiles->Any() && FirmFiles->Problem().Empty();
}

void TForm1::LoadFirm()
{
    try {
        if (!FCommPort)
            FCommPort = std::make_unique<TCommPort>();
        RunPortNumber = ComPortNumber;
        UpdateSucceeded = false;
        RunLog.Reset();
        const PortSpec port = PortSpec::Com(RunPortNumber);
        // Opened here, so that a port that cannot be opened is told before anything else.
        if (const std::optional<PortProblem> problem = OpenReceiverPort(*FCommPort, port)) {
            // No run: the outcome of an earlier one no longer stands.
            SetStatusText(QString());
            ShowPortProblem(*problem);
            AbandonStart();
            return;
        }
        SessionSettings settings;
        settings.Port = port;
        settings.WorkFolder = Folder;
        Session = std::make_unique<RunSession>(
            settings, [files = FirmFiles] { return files; }, RunFollowers);
        Session->OpenedPort = FCommPort.get();
        Session->Display = this;
        // The end is the window's business once the session's thread is done with the run.
        Session->OnEnded = [this] {
            QMetaObject::invokeMethod(
                this, [this] { FirmThreadDone(this); }, Qt::QueuedConnection);
        };
        UpdateRunning = true;
        ShowRunProgress(true);
        Session->Start();
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
    Session.reset();  // never started
    UpdateRunning = false;
    ShowRunProgress(false);
    // A close that fails leaves the port counted as open; the next start tries it again.
    ClosePortAfterRun(FCommPort.get(), false);
    FirmFiles.reset();
    RunFolder.Release();
    EnableControls(true);
}

void TForm1::FirmThreadDone(QObject* /*sender*/)
{
    if (Destroying || !Session)
        return;
    Session->Wait();
    const RunResult result = Session->Results().back();
    Session.reset();
    // The line's trouble, once: the first port error the run met.
    if (result.Problem)
        ShowPortProblem(*result.Problem);
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
    const std::string log = written.empty() ? Folder + "/" + Texts::UpdateLogFileName : written;
    MessageBoxRequest box{
        Texts::UpdateError, Texts::BoxCaption, MsgIcon::Warning,
        UpdateErrorDetails(RunLog.Entries(),
                           ToSystemText(QDir::toNativeSeparators(FromLocalPath(log))),
                           !written.empty(), PortSpec::Com(RunPortNumber).Address().has_value())};
    if (TryAgainObstacle(RunPortNumber).empty())
        box.ExtraButtons.push_back(Texts::TryAgain);
    // Started once this run's end is done with.
    if (AskMessageBox(box) == Texts::TryAgain)
        QMetaObject::invokeMethod(
            this, [this] { TryAgain(); }, Qt::QueuedConnection);
}

void TForm1::FirmClosePort()
{
    // The session has closed the port after its pause; one whose close failed is tried again
    // here, and the failure told.
    ::FirmClosePort(
        FCommPort.get(), [this] { FirmFiles.reset(); },
        [this](bool enable) { EnableControls(enable); });
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

void TForm1::SetProgressPosition(int position)
{
    // From the run's thread the change is made on the user-interface thread while the run
    // waits; there it is made at once.
    RunOnMainThread([this, position] { ProgressBar1->setValue(position); });
}

void TForm1::SetUpdateSucceeded(bool succeeded)
{
    UpdateSucceeded = succeeded;
}

void TForm1::ShowFileName(const std::string& path)
{
    // The status line changes on the user-interface thread, and the run waits until it has.
    const QString text = FromLocalPath(path);
    RunOnMainThread([this, &text] { SetStatusText(text); });
}

int32_t TForm1::GetFileSize(int32_t type) const
{
    return FirmFiles ? FirmFiles->Blocks().GetFileSize(type) : 0;
}
