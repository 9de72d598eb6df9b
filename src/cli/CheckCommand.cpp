// SPDX-License-Identifier: MIT
#include "CheckCommand.h"

#include "ExitStatus.h"
#include "PortErrors.h"
#include "PortOutput.h"
#include "PortProblem.h"
#include "ProgressView.h"
#include "RunPlan.h"
#include "SentLength.h"
#include "SettlingOpen.h"
#include "comm_port.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

void ShowPlan(const RunPlan& plan, TextSink& out)
{
    std::string text;
    if (plan.Files.empty()) {
        text += "No firmware file to send.\n";
    } else {
        text += "Files to send, in this order:\n";
        for (const RunFile& file : plan.Files) {
            text += "  " + file.Path + "  " + std::to_string(file.Size) + " bytes  SHA-256 " +
                    file.Sha256;
            if (file.BytesToSend() != file.Size)
                text += "  (" + std::to_string(file.BytesToSend()) +
                        " of them sent: " + ShortSendReason + ")";
            text += "\n";
        }
    }
    for (const auto& path : plan.Missing)
        text += "Missing: " + path + "\n";
    for (const auto& path : plan.Empty)
        text += "Empty, not sent: " + path + "\n";
    text += "Port: " + plan.Port;
    if (!plan.Device.empty() && plan.Device != plan.Port)
        text += "  " + plan.Device;
    if (!plan.Description.empty())
        text += "  " + plan.Description;
    text += "\n";
    char estimate[96];
    std::snprintf(estimate, sizeof estimate, "Estimated duration: %s (%.1f s)\n",
                  DurationText(plan.EstimateSeconds).c_str(), plan.EstimateSeconds);
    out.Text(text + estimate);
}

}  // namespace

int RunCheck(const FirmwareFiles& files, bool filesUsable, const PortSpec& port,
             const CliOptions& options, TextSink& out, TextSink& err, JsonOutput* json)
{
    const RunPlan plan = PlanRun(files, port);
    if (!json && !options.Quiet)
        ShowPlan(plan, out);
    // With --wait the check, as the update would, first waits for the device (or the server).
    const bool waited = options.WaitSeconds > 0 && !port.Present();
    if (waited)
        WaitForPresence(port, options.WaitSeconds, [](std::chrono::milliseconds pause) {
            std::this_thread::sleep_for(pause);
            return true;
        });
    TCommPort tried;
    const std::optional<PortProblem> problem =
        OpenReceiverPort(tried, port, waited ? DeviceSettleTime : std::chrono::milliseconds(0));
    if (problem)
        TellPortProblem(*problem, err, json);
    else
        ClosePortAfterRun(&tried, false);
    // A raw network port runs its line as its server was told to: nothing here can see how.
    const std::optional<NetAddress> address = port.Address();
    const bool serverLine = address && address->Kind == NetAddress::Protocol::RawTcp;
    const bool canStart = filesUsable && !problem;
    if (json) {
        json->Check(plan, !problem, !problem && !serverLine);
    } else {
        std::string verdict = problem      ? "Port " + plan.Port + " could not be opened.\n"
                              : serverLine ? "Port " + plan.Port +
                                                 " opened and closed again. Its line settings "
                                                 "are its server's and cannot be checked from "
                                                 "here: the server must run the line at 115200 "
                                                 "baud, 8N1, without flow control.\n"
                                           : "Port " + plan.Port +
                                                 " opened and closed again with the update's "
                                                 "settings.\n";
        verdict += canStart ? "An update could start.\n" : "No update can start.\n";
        out.Text(verdict);
    }
    return canStart ? ExitStatus::Ok : ExitStatus::Usage;
}
