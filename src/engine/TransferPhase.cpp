// SPDX-License-Identifier: MIT
// The transfer of one file (load command, file send, verdict, storing), the step to the next
// file, the start command and the end of the run.
#include "FirmThread.h"

#include "SystemTexts.h"

#include <string>

void TFirmThread::PassTransfer()
{
    switch (Step) {
    case ST_SENDLOAD:
        ClearRecvBuffer();
        Pause(PauseBeforeLoad);
        SendCommand(Texts::CmdLoad);
        StatusAndLog(Texts::StatusSendingFile4);
        Step = ST_SENDFILE;
        break;
    case ST_SENDFILE:
        // No prompt is awaited between "l" and the file.
        Pause(PauseBeforeFile);
        if (SendDataToPort()) {
            StatusAndLog(Texts::StatusFileSent);
            Step = ST_WAITRESULT;
        } else {
            Log(Texts::LogSendDataToPortError);
            Phase = PH_RESTART;
        }
        break;
    case ST_WAITRESULT: PassWaitResult(); break;
    case ST_WAITSAVED: PassWaitSaved(); break;
    default: break;
    }
}

// The buffer is not cleared after "l": what the receiver printed since is searched as well.
void TFirmThread::PassWaitResult()
{
    if (readNothing >= 60) {
        Status(Texts::StatusReadError);
        Pause(100);
        Phase = PH_RESTART;
        return;
    }
    if (ReadReceiver() > 0) {
        if (RecvContains(Texts::MarkerWriteSector)) {
            ClearRecvBuffer();
            readNothing = 0;
            StatusAndLog(Texts::StatusSaving);
            Step = ST_WAITSAVED;
            waitSavedSince = std::chrono::steady_clock::now();
        } else if (RecvContains(Texts::MarkerFileOk)) {
            ClearRecvBuffer();
            readNothing = 0;
            StatusAndLog(Texts::StatusFileAccepted);
        } else if (RecvContains(Texts::MarkerFin)) {
            ClearRecvBuffer();
            readNothing = 0;
            StatusAndLog(Texts::StatusFin);
            Pause(100);
            Phase = PH_NEXTFILE;
        } else if (RecvContains(Texts::MarkerWrong)) {
            ClearRecvBuffer();
            readNothing = 0;
            StatusAndLog(Texts::StatusWrong);
            Pause(100);
            Phase = PH_RESTART;
        } else if (++readStuff > 60) {
            // Counted over all files of the run since the connect phase last reset it.
            Log(Texts::LogTransferReadStuffLimit);
            Phase = PH_END;
        }
    } else if (++readNothing % 10 == 0) {
        Log(Texts::LogWaitResultReadNothing + std::to_string(readNothing));
    }
}

// Output without the marker stays in the buffer and counts toward no limit; silence and the
// time since "Write Sector" end the wait.
void TFirmThread::PassWaitSaved()
{
    if (readNothing >= 60 || std::chrono::steady_clock::now() - waitSavedSince >= WaitSavedLimit) {
        StatusAndLog(Texts::StatusReadError);
        Pause(100);
        Phase = PH_RESTART;
        return;
    }
    if (ReadReceiver() > 0) {
        if (RecvContains(Texts::MarkerSaved)) {
            ClearRecvBuffer();
            readNothing = 0;
            StatusAndLog(Texts::StatusSaved);
            Pause(PauseAfterSaved);
            Phase = PH_NEXTFILE;
        }
    } else if (++readNothing % 10 == 0) {
        Log(Texts::LogWaitSavedReadNothing + std::to_string(readNothing));
    }
}

void TFirmThread::PassNextFile()
{
    const int32_t type = Host.GetNextFirmFileType();
    if (type != 0) {
        Phase = PH_TRANSFER;
        Step = ST_SENDLOAD;
        LoadFirmFile(type);
        const std::string name = Host.GetFirmFileName(type);
        NameCurrentFile(name);
        Log(Texts::LogNextFile + name);
        Progress = 0;
        Pause(PauseBeforeNextFile);
    } else {
        // Every file is done: the run has succeeded, whatever happens to the start command.
        Status(Texts::StatusAllFilesSent);
        Succeeded = true;
        Synchronize([this] { SetUpdateOk(); });
        Log(StatusText);
        Pause(PauseAllSent);
        Pause(PauseAllSentMore);
        Phase = PH_RESTART;
    }
}

void TFirmThread::PassRestart()
{
    Pause(PauseBeforeStart);
    SendCommand(Texts::CmdStart);
    // Every file stored and the receiver told to start: nothing is left that a cancel could
    // spare it.
    PastCancel = Succeeded;
    StatusAndLog(Texts::StatusStartingReceiver);
    Pause(PauseAfterStart);
    Phase = PH_END;
}

// The log is written here only; a run left by an error writes none.
void TFirmThread::PassEnd()
{
    FreeRecvBuffer();
    Log(Texts::LogTerminated);
    const std::string logPath = Host.UpdateLogPath();
    UpdateLog->SaveToFile(logPath);
    WrittenLogPath = logPath;
    UpdateLog.reset();
    Terminate();
}
