// SPDX-License-Identifier: MIT
#include "CheckCommand.h"

#include "Exceptions.h"
#include "Messages.h"
#include "PortErrors.h"
#include "ProgressView.h"
#include "RunPlanning.h"
#include "comm_port.h"

#include <cstdio>

namespace {

void ShowPlan(const RunPlan& plan, TextSink& out)
{
    std::string text;
    if (plan.Files.empty()) {
        text += "No firmware file to send.\n";
    } else {
        text += "Files to send, in this order:\n";
        for (const RunFile& file : plan.Files)
            text += "  " + file.Path + "  " + std::to_string(file.Size) + " bytes  SHA-256 " +
                    file.Sha256 + "\n";
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

// Opens the port with the update's settings and closes it; the errors as an update shows them.
bool TryPort(UpdateRun& run, const CliOptions& options, TextSink& err)
{
    std::string portText = SinglePortOption(options);
    try {
        portText = ConfigurePort(run.Port, SinglePortOption(options));
        run.Port.OpenCommPort();
        run.Port.CloseCommPort();
        return true;
    } catch (const ECommError& error) {
        ShowComError(error.Code, portText);
        err.Text("zendrak-cli: " + DescribePortError(portText, error) + "\n");
    } catch (const Exception& error) {
        ShowException(error);
    }
    return false;
}

}  // namespace

int RunCheck(UpdateRun& run, const CliOptions& options, bool filesRead, TextSink& out,
             TextSink& err, JsonOutput* json)
{
    const RunPlan plan = PlanOf(run, SinglePortOption(options));
    if (!json && !options.Quiet)
        ShowPlan(plan, out);
    const bool portOk = TryPort(run, options, err);
    run.Files.ReleaseFirmFiles();
    const bool canStart = filesRead && portOk;
    if (json) {
        json->Check(plan, portOk);
    } else {
        std::string verdict = portOk ? "Port " + plan.Port +
                                           " opened and closed again with the "
                                           "update's settings.\n"
                                     : "Port " + plan.Port + " could not be opened.\n";
        verdict += canStart ? "An update could start.\n" : "No update can start.\n";
        out.Text(verdict);
    }
    return canStart ? 0 : 2;
}
