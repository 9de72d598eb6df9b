// SPDX-License-Identifier: MIT
// The worker's console I/O: reading the receiver into the receive buffer, marker tests, commands,
// the file send with progress, and the small hand-overs to the user-interface thread.
#include "FirmThread.h"

#include "Exceptions.h"
#include "comm_port.h"

#include <chrono>
#include <cstring>

uint32_t TFirmThread::ReadReceiver()
{
    const uint32_t n = Host.CommPort().ReadBytes(ReadChunk, sizeof ReadChunk);
    if (n == 0)
        Host.Observer().SilentRead();
    else
        Host.Observer().LineReceived(ReadChunk, n);
    if (n == 0 || !RecvBuffer)
        return n;
    // The text since the last clear stays whole up to RecvSize - 1 bytes; beyond that the
    // newest bytes go on at index 0. The last byte always stays 0 so the text is terminated.
    for (uint32_t i = 0; i < n; ++i) {
        RecvBuffer[static_cast<size_t>(RecvPos)] = ReadChunk[i];
        if (RecvPos < RecvSize - 2)
            ++RecvPos;
        else
            RecvPos = 0;
    }
    RecvBuffer[static_cast<size_t>(RecvSize - 1)] = 0;
    return n;
}

void TFirmThread::ClearRecvBuffer()
{
    if (RecvBuffer)
        std::memset(RecvBuffer.get(), 0, static_cast<size_t>(RecvSize));
    RecvPos = 0;
}

// A byte-exact substring test over the zero-terminated text at the start of the buffer.
bool TFirmThread::RecvContains(const char* marker) const
{
    if (!RecvBuffer)
        return false;
    return std::strstr(reinterpret_cast<const char*>(RecvBuffer.get()), marker) != nullptr;
}

void TFirmThread::SendCommand(char command)
{
    TCommPort& port = Host.CommPort();
    const uint8_t bytes[3] = {static_cast<uint8_t>(command), 0x0D, 0x0A};
    // The observer hears of the bytes that went out, also when a write fails halfway.
    size_t sent = 0;
    struct Told {
        RunObserver& Observer;
        const uint8_t* Bytes;
        const size_t& Count;
        ~Told()
        {
            if (Count > 0)
                Observer.LineSent(Bytes, Count);
        }
    } told{Host.Observer(), bytes, sent};
    port.WriteBuffer(&bytes[0], 1);
    sent = 1;
    port.WriteCharacter(0x0D);
    sent = 2;
    port.WriteCharacter(0x0A);
    sent = 3;
}

bool TFirmThread::SendDataToPort()
{
    if (FileLen <= 0)
        return false;
    TCommPort& port = Host.CommPort();
    RunObserver& observer = Host.Observer();
    const int64_t len = FileLen;
    // The bar is handed a value only when it differs from the one it shows: the hand-over
    // waits for the user-interface thread, and one per 10-byte block would cost more than the
    // writes (a 1 MiB file has about 105,000 blocks but fewer than 100 distinct values).
    int32_t shown = -1;
    auto showProgress = [this, &shown] {
        if (Progress == shown)
            return;
        shown = Progress;
        Synchronize([this] { UpdateProgress(); });
    };
    // The observer hears of the bytes written a few times a second (each time the device's
    // output queue is asked once), and of the end with how many went out. The clock is looked
    // at every 32 writes only: at the line rate that is every 28 ms.
    using Clock = std::chrono::steady_clock;
    constexpr auto ObserverInterval = std::chrono::milliseconds(50);
    int32_t pos = 0;
    bool complete = false;
    auto lastTold = Clock::now();
    uint32_t writes = 0;
    auto tellProgress = [&] {
        if (++writes % 32 != 0)
            return;
        const auto now = Clock::now();
        if (now - lastTold < ObserverInterval)
            return;
        lastTold = now;
        observer.FileProgress(CurrentFile, pos, port.QueuedOutputBytes());
    };
    struct Ended {
        RunObserver& Observer;
        const RunFile& File;
        const int32_t& Written;
        const bool& Complete;
        ~Ended() { Observer.FileEnds(File, Written, Complete); }
    };
    observer.FileBegins(CurrentFile);
    const Ended ended{observer, CurrentFile, pos, complete};
    try {
        // Blocks of 10 while more than 10 bytes are left; they take the bar to at most 89.
        while (pos < FileLen - 10) {
            StopIfCancelled();
            port.WriteBuffer(FileData.get() + pos, 10);
            pos += 10;
            Progress = static_cast<int32_t>(pos * int64_t{90} / len);
            showProgress();
            tellProgress();
        }
        // The tail goes out byte by byte. The receiver takes a 0x02 as the end of the image:
        // after the byte that follows one, the send is complete. The very first byte of a
        // short file has no byte before it, which counts as "not 0x02".
        StopIfCancelled();
        while (pos < FileLen) {
            port.WriteBuffer(FileData.get() + pos, 1);
            if (pos > 0 && FileData[static_cast<size_t>(pos - 1)] == 0x02) {
                ++pos;  // this byte went out too
                break;
            }
            ++pos;
            Progress = static_cast<int32_t>(pos * int64_t{100} / len);
            showProgress();
            tellProgress();
        }
    } catch (const ECommError& error) {
        if (error.Code != 9)
            throw;
        observer.PortError(error);  // the send failed: the run goes on to the start command
        return false;
    } catch (const EWriteError&) {
        return false;
    }
    complete = true;
    return true;
}

bool TFirmThread::LoadFirmFile(int32_t type)
{
    FileData.reset();
    FileLen = Host.GetFileSize(type);
    if (FileLen < 0)
        FileLen = 0;
    FileData = std::make_unique<uint8_t[]>(static_cast<size_t>(FileLen));
    if (FileLen > 0)
        std::memcpy(FileData.get(), Host.GetFileBuffer(type), static_cast<size_t>(FileLen));
    return true;
}

void TFirmThread::FreeRecvBuffer()
{
    RecvBuffer.reset();
    Host.SetProgressPosition(0);  // the host carries it out on the user-interface thread
}

void TFirmThread::Pause(unsigned milliseconds)
{
    Host.Observer().Paused(milliseconds);
    SleepUnlessCancelled(milliseconds);
}

void TFirmThread::UpdateProgress()
{
    Host.SetProgressPosition(Progress);
}

void TFirmThread::ShowStatus()
{
    Host.ShowStatusText(StatusText);
}

void TFirmThread::SetUpdateOk()
{
    Host.SetUpdateSucceeded(true);
}
