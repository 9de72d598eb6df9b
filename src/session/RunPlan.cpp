// SPDX-License-Identifier: MIT
#include "RunPlan.h"

#include "FirmwareFiles.h"
#include "PortMap.h"
#include "PortSpec.h"
#include "RunEstimate.h"

RunPlan PlanRun(const FirmwareFiles& files, const PortSpec& port)
{
    RunPlan plan;
    plan.Port = port.Text();
    const bool com = port.Type() == PortSpec::Kind::ComNumber;
    if (!com)
        plan.Device = port.Text();
    // The listing knows a device's description; it is read only when anything can be listed.
    if (port.Type() != PortSpec::Kind::Network) {
        for (const SerialPortEntry& entry : ListSerialPorts().Ports) {
            if (com ? entry.Number == port.ComNumber() : entry.Device == plan.Device) {
                plan.Device = entry.Device;
                plan.Description = entry.Description;
                break;
            }
        }
    }
    plan.Files = files.ToSend();
    plan.Missing = files.Missing();
    plan.Empty = files.Empty();
    std::vector<int64_t> sizes;
    for (const RunFile& file : plan.Files)
        sizes.push_back(file.BytesToSend());
    plan.EstimateSeconds = RunEstimate::RunSeconds(sizes);
    return plan;
}
