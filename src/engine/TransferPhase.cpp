// SPDX-License-Identifier: MIT
// The transfer of one file (load command, file send, verdict, storing), the step to the next
// file, the start command and the end of the run.
#include "FirmThread.h"

#include "Sleep.h"
#include "SystemTexts.h"

#include <string>

void TFirmThread::PassTransfer()
{
    switch (Step) {
    case ST_SENDLOAD:
        ClearRecvBuffer();
        Sleep(70);
        SendCommand(Texts::CmdLoad);
        StatusAndLog(Texts::StatusSendingFile4);
        Step = ST_SENDFILE;
        break;
    case ST_SENDFILE:
        // No prompt is awaited between "l" and the file.
        Sleep(200);
        if (SendDataToPort()) {
            StatusAndLog(Texts::StatusFileSent);
            Step = ST_WAITRESULT;
        } else {
            Log(Texts::LogSendDataToPortError);
            Phase = PH_RESTART;
        }
        break;
    case ST_WAITRESULT:
        PassWaitResult();
        break;
    case ST_WAITSAVED:
        PassWaitSaved();
        break;
    default:
        break;
    }
}

// The buffer is not cleared after "l": what the receiver printed since is searched as well.
void TFirmThread::PassWaitResult()
{
    if (readNothing >= 60) {
        Status(Texts::StatusReadError);
        Sleep(100);
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
            Sleep(100);
            Phase = PH_NEXTFILE;
        } else if (RecvContains(Texts::MarkerWrong)) {
            ClearRecvBuffer();
            readNothing = 0;
            StatusAndLog(Texts::StatusWrong);
            Sleep(100);
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
        Sleep(100);
        Phase = PH_RESTART;
        return;
    }
    if (ReadReceiver() > 0) {
        if (RecvContains(Texts::MarkerSaved)) {
            ClearRecvBuffer();
            readNothing = 0;
            StatusAndLog(Texts::StatusSaved);
            Sleep(1000);
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
        Log(Texts::LogNextFile + name);
        Progress = 0;
        Sleep(1000);
    } else {
        // Every file is done: the run has succeeded, whatever happens to the start command.
        Status(Texts::StatusAllFilesSent);
        Synchronize([this] { SetUpdateOk(); });
        Log(StatusText);
        Sleep(500);
        Sleep(1000);
        Phase = PH_RESTART;
    }
}

void TFirmThread::PassRestart()
{
    Sleep(100);
    SendCommand(Texts::CmdStart);
    StatusAndLog(Texts::StatusStartingReceiver);
    Sleep(5000);
    Phase = PH_END;
}

// The log is written here only; a run left by an error writes none.
void TFirmThread::PassEnd()
{
    FreeRecvBuffer();
    Log(Texts::LogTerminated);
    UpdateLog->SaveToFile(Texts::UpdateLogFileName);
    UpdateLog.reset();
    Terminate();
}
