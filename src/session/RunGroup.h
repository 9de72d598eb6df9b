// SPDX-License-Identifier: MIT
// RunGroup: several receivers updated at once from one working folder, one session per port.
// The firmware files are read once and shared read-only; one folder lock is held on the working
// folder from before they are read until every log is written; a cancel reaches every port;
// each port ends with its result. With more than one port, each port's log goes into a folder
// of its own named after it (COM3/logUpdate.txt); one port writes "logUpdate.txt" where a single
// update always has. A command with one port is a group of one.
#pragma once

#include "FolderLock.h"
#include "OutputFile.h"
#include "RunSession.h"

#include <memory>
#include <string>
#include <vector>

struct GroupSettings {
    // The working folder as given (relative to the current directory), empty: the current one.
    std::string WorkFolder;
    double WaitSeconds = 0;
    std::chrono::milliseconds WaitSavedLimit = TFirmThread::DefaultWaitSavedLimit;
    // Loop, retries and the record of updates, the same for every port. With the loop each
    // port's runs after the first read the files anew.
    LineSettings Line = {};
};

// Why a group cannot start; nothing has been sent.
struct GroupProblem {
    enum class Kind { None, Ports, Folder, Busy, NotLockable, NoFiles, FileProblem };
    Kind What = Kind::None;
    // One sentence: UTF-8; for Busy, NotLockable and FileProblem the window's own words
    // (Windows-1252).
    std::string Text;
    explicit operator bool() const { return What != Kind::None; }
};

// A usage error when two ports are one receiver or would share a log folder: a port named twice,
// two names for one device (as `deviceOf` resolves them), or two logs in one folder.
std::string FindPortConflict(
    const std::vector<PortSpec>& ports,
    const std::function<std::optional<std::string>(const PortSpec&)>& deviceOf);
// The real path of the device a port leads to now ("host:port" for a port on another machine);
// nothing when none is known yet.
std::optional<std::string> CurrentDeviceOf(const PortSpec& port);
// A working folder as the system names it (links resolved), as the current directory would name
// it: the paths in the update log are the same either way. Empty: the current directory. The
// result is empty, with errno, when it cannot be a working folder (missing, no folder, not to
// be entered).
std::string RealWorkFolder(const std::string& folder);

class RunGroup {
public:
    explicit RunGroup(GroupSettings settings);
    ~RunGroup();  // cancels the sessions still going and waits for them
    RunGroup(const RunGroup&) = delete;
    RunGroup& operator=(const RunGroup&) = delete;

    // Finds the working folder and takes its lock. Nothing is opened for writing.
    GroupProblem TakeFolder();
    // The working folder, absolute (symbolic links resolved), once TakeFolder found it.
    const std::string& WorkFolder() const { return Folder; }
    // Reads the firmware files once, for every port. Files() is there afterwards, whatever the
    // answer (--check shows what it found).
    GroupProblem ReadFiles();
    const FirmwareFiles& Files() const { return *SharedFiles; }

    // The settings of a port's session, one of `count` (their log folders among them).
    SessionSettings SessionFor(const PortSpec& port, size_t count) const;
    // The files the runs of these ports read or write themselves (RunFiles.h: the firmware
    // files, "Zendrak.dat", every update log, each port's device, the port map), which no file
    // a user names for output may ever be. After TakeFolder.
    std::vector<ProtectedFile> OwnFiles(const std::vector<PortSpec>& ports) const;

    // Starts one session per port, each reporting to its observer (in the order of the ports).
    // `beforeFirstByte` (may be empty) is given each session with its index.
    void Start(const std::vector<PortSpec>& ports, const std::vector<SessionObserver*>& observers,
               const std::function<std::string(size_t index)>& beforeFirstByte = {});
    // From any thread: every port stops, waiting ones at once.
    void CancelAll();
    // From any thread, after Start: the port of that index stops.
    void Cancel(size_t index);
    // From any thread, after Start: the production line's controls (RunSession's), for every
    // port or the port of that index.
    void StopAfterRun();
    void StopAfterRun(size_t index);
    void StartNextReceiver();
    void StartNextReceiver(size_t index);
    LineCounts Counts(size_t index) const;
    // From any thread, after Start: when no port runs (each waits for its next receiver or
    // has ended), every wait ends and true is returned, all in one step, so that no port
    // begins a run meanwhile; false, changing nothing, while a port runs.
    bool EndIfAllWaiting();
    // Returns when every session has ended.
    void Wait();
    // After Wait: the last result of each port, in the order of the ports.
    std::vector<RunResult> Results() const;
    // After Wait: every result of each port (every run and attempt), in the order of the ports.
    std::vector<std::vector<RunResult>> AllResults() const;

private:
    RunSession::FileSource FileSourceFor(size_t index) const;

    GroupSettings Settings;
    std::string Folder;
    FolderLock Lock;
    std::shared_ptr<const FirmwareFiles> SharedFiles;
    std::vector<std::unique_ptr<RunSession>> Sessions;
    std::atomic<bool> Cancelled{false};
    std::atomic<size_t> Running{0};
    Completion AllEnded;
};
