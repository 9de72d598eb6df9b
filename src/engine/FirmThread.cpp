// SPDX-License-Identifier: MIT
// TFirmThread's life: construction, the worker's body, the start and the loop of the run, the
// log and status helpers.
#include "FirmThread.h"

#include "SentLength.h"
#include "SystemTexts.h"
#include "comm_port.h"

TFirmThread::TFirmThread(bool CreateSuspended, TFirmHost& Host,
                         std::chrono::milliseconds WaitSavedLimit)
    : TThread(CreateSuspended), Host(Host), WaitSavedLimit(WaitSavedLimit)
{
}

// The buffers and the log list are released by their owners; a run left by an error may still
// hold all three.
TFirmThread::~TFirmThread() = default;

void TFirmThread::Execute()
{
    FreeOnTerminate = true;
    SetPriority(TThreadPriority::tpNormal);
    RunUpdate();
}

void TFirmThread::RunUpdate()
{
    RunObserver& observer = Host.Observer();
    // An error after every file was stored (the start command, the log) leaves the success:
    // the receiver has its firmware.
    const auto outcome = [this] { return Succeeded ? RunOutcome::Ok : RunOutcome::Error; };
    try {
        StartRun();
        try {
            while (!Terminated()) {
                StopIfCancelled();
                Pass();
            }
        } catch (const RunCancelled&) {
            EndCancelledRun();
        }
    } catch (const ECommError& error) {
        observer.PortError(error);
        observer.RunEnds(outcome(), WrittenLogPath);
        throw;
    } catch (...) {
        observer.RunEnds(outcome(), WrittenLogPath);
        throw;
    }
    observer.RunEnds(outcome(), WrittenLogPath);
}

void TFirmThread::StartRun()
{
    Phase = PH_CONNECT;
    Step = ST_SENDRESTART;
    readNothing = 0;
    readStuff = 0;
    flashCount = 0;
    Succeeded = false;
    PastCancel = false;
    WrittenLogPath.clear();
    const int32_t type = Host.GetFirstFirmFileType();
    UpdateLog = std::make_unique<TStringList>();
    Log(Texts::LogLoadingFirmware);
    if (type == 0) {
        Phase = PH_END;
    } else {
        LoadFirmFile(type);
        const std::string name = Host.GetFirmFileName(type);
        NameCurrentFile(name);
        Log(Texts::LogLoadingFile + name);
        RecvBuffer = std::make_unique<uint8_t[]>(static_cast<size_t>(RecvSize));
        ClearRecvBuffer();
    }
    Progress = 0;
}

// One pass for the current phase; a phase without work does nothing.
void TFirmThread::Pass()
{
    switch (Phase) {
    case PH_CONNECT: PassConnect(); break;
    case PH_TRANSFER: PassTransfer(); break;
    case PH_NEXTFILE: PassNextFile(); break;
    case PH_RESTART: PassRestart(); break;
    case PH_END: PassEnd(); break;
    default: break;
    }
}

void TFirmThread::NameCurrentFile(const std::string& path)
{
    CurrentFile.Path = path;
    CurrentFile.Size = FileLen;
    CurrentFile.Sha256 = Sha256Hex(FileData.get(), static_cast<size_t>(FileLen));
    CurrentFile.ToSend = BytesSentOf(FileData.get(), FileLen);
}

void TFirmThread::Log(const std::string& entry)
{
    UpdateLog->Add(entry);
    Host.Observer().LogEntry(entry);
}

void TFirmThread::Status(const std::string& text)
{
    StatusText = text;
    Host.Observer().StatusText(text);
    Synchronize([this] { ShowStatus(); });
}

void TFirmThread::StatusAndLog(const std::string& text)
{
    Status(text);
    Log(StatusText);
}
