// SPDX-License-Identifier: MIT
#include "SessionRecord.h"

#include "KeptLogs.h"
#include "UpdateHistory.h"

std::string RecordRefusal(const std::string& folder)
{
    if (std::string refusal = UpdateHistory(folder).Check(); !refusal.empty())
        return refusal;
    return KeptLogs(folder).Check();
}

RecordedRun RecordRun(const std::string& folder, const std::string& portFolder,
                      const RunResult& result, WallClock::time_point start,
                      const FirmwareFiles& files)
{
    RecordedRun recorded;
    if (!result.LogPath.empty()) {
        const KeptLog kept = KeptLogs(folder).KeepFile(start, portFolder, result.LogPath);
        recorded.KeptLog = kept.Name;
        if (!kept.Ok())
            recorded.Warning = kept.Error;
    }
    HistoryRecord record;
    record.Start = start;
    record.Port = result.Port;
    record.Device = result.Device;
    record.Adapter = result.Adapter;
    record.Folder = files.Folder();
    record.Files = files.ToSend();
    record.Outcome = OutcomeKey(result.End);
    record.Cause = CauseKey(result.Cause);
    record.Attempt = result.Attempt;
    record.Duration = std::chrono::milliseconds(static_cast<long long>(result.Seconds * 1000));
    record.KeptLog = recorded.KeptLog;
    const HistoryAppendResult appended = UpdateHistory(folder).Append(record);
    if (!appended.Ok())
        recorded.Warning += (recorded.Warning.empty() ? "" : "; ") + appended.Error;
    return recorded;
}
