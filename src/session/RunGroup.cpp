// SPDX-License-Identifier: MIT
#include "RunGroup.h"

#include "FirmFileReader.h"
#include "RunFiles.h"
#include "RunStart.h"
#include "SystemTexts.h"
#include "UpdateHistory.h"

#include <fcntl.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

std::string Reason(int error)
{
    const char* text = ::strerrordesc_np(error);
    return text ? text : "error " + std::to_string(error);
}

}  // namespace

std::string RealWorkFolder(const std::string& folder)
{
    if (folder.empty())
        return CurrentDirectory();
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real)
        return {};
    std::string path(real);
    std::free(real);
    const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    ::close(fd);
    if (::access(path.c_str(), X_OK) != 0)
        return {};
    return path;
}

std::string FindPortConflict(
    const std::vector<PortSpec>& ports,
    const std::function<std::optional<std::string>(const PortSpec&)>& deviceOf)
{
    if (ports.size() < 2)
        return {};
    std::vector<std::optional<std::string>> devices;
    for (size_t i = 0; i < ports.size(); ++i) {
        const PortSpec& port = ports[i];
        const std::string folder = port.FolderName();
        if (folder.empty())
            return "-p: " + port.Text() + " names no device a log folder can be named after";
        devices.push_back(deviceOf ? deviceOf(port) : std::nullopt);
        for (size_t j = 0; j < i; ++j) {
            const PortSpec& other = ports[j];
            if (other == port)
                return "-p: " + port.Text() + " is named twice";
            if (devices[i] && devices[j] == devices[i])
                return "-p: " + other.Text() + " and " + port.Text() + " are the same device " +
                       *devices[i];
            if (other.FolderName() == folder)
                return "-p: " + other.Text() + " and " + port.Text() +
                       " would write their logs into the same folder " + folder;
        }
    }
    return {};
}

std::optional<std::string> CurrentDeviceOf(const PortSpec& port)
{
    // One port of a server is one device, whichever protocol or COM number names it.
    if (const std::optional<NetAddress> address = port.Address()) {
        std::string server = address->Server();
        for (char& c : server)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return server;
    }
    const PortResolution resolution = port.Resolve();
    if (!resolution.Device)
        return std::nullopt;
    char* real = ::realpath(resolution.Device->c_str(), nullptr);
    if (!real)
        return std::nullopt;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

RunGroup::RunGroup(GroupSettings settings) : Settings(std::move(settings)) {}

RunGroup::~RunGroup()
{
    if (Sessions.empty())
        return;
    CancelAll();
    Wait();
}

GroupProblem RunGroup::TakeFolder()
{
    Folder = RealWorkFolder(Settings.WorkFolder);
    if (Folder.empty())
        return {GroupProblem::Kind::Folder,
                (Settings.WorkFolder.empty() ? "cannot use the current directory"
                                             : "cannot change into " + Settings.WorkFolder) +
                    ": " + Reason(errno)};
    // One command per folder, from before the files are read until every log is written.
    switch (Lock.Take(Folder)) {
    case FolderLock::Result::Taken:
    case FolderLock::Result::Unlocked: return {};
    case FolderLock::Result::Busy: return {GroupProblem::Kind::Busy, Texts::AnotherUpdateRunning};
    case FolderLock::Result::Failed: break;
    }
    return {GroupProblem::Kind::NotLockable, FolderLockProblemText(Folder, Lock.Error())};
}

GroupProblem RunGroup::ReadFiles()
{
    SharedFiles =
        Settings.Line.Loop ? FirmwareFiles::ReadUnchanged(Folder) : FirmwareFiles::Read(Folder);
    if (!SharedFiles->Problem().Empty())
        return {GroupProblem::Kind::FileProblem, FirmFileProblemText(SharedFiles->Problem())};
    if (!SharedFiles->Any())
        return {GroupProblem::Kind::NoFiles,
                "no firmware file (font.app, decoder.app, out.app) in this directory; nothing "
                "was sent and no log was written."};
    return {};
}

SessionSettings RunGroup::SessionFor(const PortSpec& port, size_t count) const
{
    SessionSettings session;
    session.Port = port;
    session.WorkFolder = Folder;
    if (count > 1)
        session.PortFolder = port.FolderName();
    session.WaitSeconds = Settings.WaitSeconds;
    session.WaitSavedLimit = Settings.WaitSavedLimit;
    session.Line = Settings.Line;
    return session;
}

std::vector<ProtectedFile> RunGroup::OwnFiles(const std::vector<PortSpec>& ports) const
{
    std::vector<std::string> logFolders, devices;
    for (const PortSpec& port : ports) {
        if (ports.size() > 1)
            logFolders.push_back(Folder + "/" + port.FolderName());
        if (const PortResolution to = port.Resolve(); to.Device)
            devices.push_back(*to.Device);
    }
    std::vector<ProtectedFile> own = RunOwnFiles(Folder, logFolders, devices);
    if (Settings.Line.KeepRecord)
        own.push_back({Folder + "/" + HistoryFileName, "the record of updates"});
    return own;
}

void RunGroup::Start(const std::vector<PortSpec>& ports,
                     const std::vector<SessionObserver*>& observers,
                     const std::function<std::string(size_t)>& beforeFirstByte)
{
    for (size_t i = 0; i < ports.size(); ++i) {
        auto session = std::make_unique<RunSession>(SessionFor(ports[i], ports.size()),
                                                    FileSourceFor(i), *observers.at(i));
        if (beforeFirstByte)
            session->BeforeFirstByte = [beforeFirstByte, i] { return beforeFirstByte(i); };
        session->OnEnded = [this] {
            if (--Running == 0)
                AllEnded.Finish();
        };
        Sessions.push_back(std::move(session));
    }
    Running = Sessions.size();
    if (Sessions.empty())
        AllEnded.Finish();
    for (const auto& session : Sessions) {
        if (Cancelled)
            session->Cancel();
        session->Start();
    }
}

void RunGroup::CancelAll()
{
    Cancelled = true;
    for (const auto& session : Sessions)
        session->Cancel();
}

void RunGroup::Cancel(size_t index)
{
    Sessions.at(index)->Cancel();
}

void RunGroup::Wait()
{
    AllEnded.Wait();
    for (const auto& session : Sessions)
        session->Wait();
}

RunSession::FileSource RunGroup::FileSourceFor(size_t /*index*/) const
{
    std::shared_ptr<const FirmwareFiles> files = SharedFiles;
    if (!Settings.Line.Loop)
        return [files] { return files; };
    // The first run sends the set read at the start; each later one reads the folder anew (a
    // technician may drop in new files between two receivers).
    const std::string folder = Folder;
    return [files, folder]() mutable {
        std::shared_ptr<const FirmwareFiles> now =
            files ? std::move(files) : FirmwareFiles::ReadUnchanged(folder);
        files.reset();
        return now;
    };
}

void RunGroup::StopAfterRun()
{
    for (const auto& session : Sessions)
        session->StopAfterRun();
}

void RunGroup::StopAfterRun(size_t index)
{
    Sessions.at(index)->StopAfterRun();
}

void RunGroup::StartNextReceiver()
{
    for (const auto& session : Sessions)
        session->StartNextReceiver();
}

void RunGroup::StartNextReceiver(size_t index)
{
    Sessions.at(index)->StartNextReceiver();
}

LineCounts RunGroup::Counts(size_t index) const
{
    return Sessions.at(index)->Counts();
}

bool RunGroup::EndIfAllWaiting()
{
    if (Sessions.empty())
        return false;
    // Each session's lock, always in the order of the ports (nothing else takes two).
    std::vector<std::unique_lock<std::mutex>> locks;
    for (const auto& session : Sessions) {
        locks.emplace_back(session->CancelLock);
        if (session->Now == RunSession::Phase::Running)
            return false;
    }
    for (const auto& session : Sessions) {
        session->StopRequested = true;
        session->CancelWake.notify_all();
    }
    return true;
}

std::vector<std::vector<RunResult>> RunGroup::AllResults() const
{
    std::vector<std::vector<RunResult>> all;
    for (const auto& session : Sessions)
        all.push_back(session->Results());
    return all;
}

std::vector<RunResult> RunGroup::Results() const
{
    std::vector<RunResult> results;
    for (const auto& session : Sessions)
        if (!session->Results().empty())
            results.push_back(session->Results().back());
    return results;
}
