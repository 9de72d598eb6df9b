// SPDX-License-Identifier: MIT
// RunObserver: the one channel from an update run to whoever shows or records it. The engine
// calls it on the worker thread while the line waits, so every implementation returns at once
// (queue the work, never write to a terminal or a file here). RunObservers fans one run out to
// several observers; each run has its own, nothing is shared between runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ECommError;

// A firmware file as the run sends it.
struct RunFile {
    std::string Path;  // as the file set names it (absolute, local encoding)
    int64_t Size = 0;
    std::string Sha256;  // 64 lower-case hex digits
    // The bytes the send puts on the line (SentLength.h); negative: not known, the whole file.
    int64_t ToSend = -1;

    int64_t BytesToSend() const { return ToSend >= 0 ? ToSend : Size; }
};

enum class RunOutcome { Ok, Error };

class RunObserver {
public:
    virtual ~RunObserver() = default;

    // A status text of the run (Windows-1252).
    virtual void StatusText(const std::string& /*text*/) {}
    // An entry appended to the update log (Windows-1252), as it is appended.
    virtual void LogEntry(const std::string& /*entry*/) {}

    // A file's send begins; then progress as its bytes leave the program for the device
    // (`queued` of them may still wait in the device's output queue, 0 when unknown); then its
    // end with the bytes written and whether the send completed or stopped short.
    virtual void FileBegins(const RunFile& /*file*/) {}
    virtual void FileProgress(const RunFile& /*file*/, int64_t /*written*/, int64_t /*queued*/) {}
    virtual void FileEnds(const RunFile& /*file*/, int64_t /*written*/, bool /*complete*/) {}

    // Line traffic outside the files: the bytes of a command, the bytes of one read as they
    // arrived, a read that brought nothing, a pause of the run.
    virtual void LineSent(const uint8_t* /*bytes*/, size_t /*count*/) {}
    virtual void LineReceived(const uint8_t* /*bytes*/, size_t /*count*/) {}
    virtual void SilentRead() {}
    virtual void Paused(unsigned /*milliseconds*/) {}

    // A port error met by the run: one that a failed file send turned into a false result,
    // and one that ends the run. Nothing shows it from inside the port or the engine: whoever
    // follows the run tells the user (the first error of a failing line says most).
    virtual void PortError(const ECommError& /*error*/) {}

    // The run is over: its outcome and the update log it wrote (empty: none).
    virtual void RunEnds(RunOutcome /*outcome*/, const std::string& /*logPath*/) {}
};

// Passes every call on to each added observer, in the order they were added.
class RunObservers : public RunObserver {
public:
    void Add(RunObserver& observer) { List.push_back(&observer); }
    bool Empty() const { return List.empty(); }

    void StatusText(const std::string& text) override;
    void LogEntry(const std::string& entry) override;
    void FileBegins(const RunFile& file) override;
    void FileProgress(const RunFile& file, int64_t written, int64_t queued) override;
    void FileEnds(const RunFile& file, int64_t written, bool complete) override;
    void LineSent(const uint8_t* bytes, size_t count) override;
    void LineReceived(const uint8_t* bytes, size_t count) override;
    void SilentRead() override;
    void Paused(unsigned milliseconds) override;
    void PortError(const ECommError& error) override;
    void RunEnds(RunOutcome outcome, const std::string& logPath) override;

private:
    std::vector<RunObserver*> List;
};

// SHA-256 of a block as 64 lower-case hex digits.
std::string Sha256Hex(const uint8_t* bytes, size_t count);
