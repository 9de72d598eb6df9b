// SPDX-License-Identifier: MIT
#include "RunPlanning.h"

#include "PortMap.h"
#include "PortSettings.h"
#include "RunEstimate.h"
#include "SystemTexts.h"
#include "comm_port.h"

#include <sys/stat.h>

std::string PortTextOf(const CliOptions& options)
{
    if (!options.Port.empty() && options.Port[0] == '/')
        return options.Port;
    const int number = options.Port.empty() ? ComPortNumber : ComNumberOfOption(options.Port);
    return "COM" + std::to_string(number);
}

std::string ConfigurePort(TCommPort& port, const CliOptions& options)
{
    if (!options.Port.empty() && options.Port[0] == '/') {
        // SetCommPort makes a COM name (\\.\ + its text); a device path is the name itself.
        port.SetCommPort(options.Port);
        port.PortName = options.Port;
        port.SetBaudRate(LinkBaudRate);
        port.SetByteSize(8);
        port.SetParity(NOPARITY);
        port.SetStopBits(ONESTOPBIT);
        return options.Port;
    }
    uint8_t number = ComPortNumber;
    if (!options.Port.empty())
        number = static_cast<uint8_t>(ComNumberOfOption(options.Port));
    ConfigureCommPort(port, number);
    return "COM" + std::to_string(number);
}

RunPlan PlanOf(const UpdateRun& run, const CliOptions& options)
{
    RunPlan plan;
    plan.Port = PortTextOf(options);
    const bool path = plan.Port[0] == '/';
    if (path)
        plan.Device = plan.Port;
    for (const SerialPortEntry& entry : ListSerialPorts().Ports) {
        if (path ? entry.Device == plan.Device : entry.Text == plan.Port) {
            plan.Device = entry.Device;
            plan.Description = entry.Description;
            break;
        }
    }
    plan.Files = run.FilesToSend();
    for (const char* name : {Texts::FirmFileFont, Texts::FirmFileDecoder, Texts::FirmFileOut}) {
        const std::string file = run.Folder() + name;
        struct stat info {};
        if (::stat(file.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
            plan.Missing.push_back(file);
        else if (S_ISREG(info.st_mode) && info.st_size == 0)
            plan.Empty.push_back(file);
    }
    std::vector<int64_t> sizes;
    for (const RunFile& file : plan.Files)
        sizes.push_back(file.Size);
    plan.EstimateSeconds = RunEstimate::RunSeconds(sizes);
    return plan;
}
