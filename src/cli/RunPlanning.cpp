// SPDX-License-Identifier: MIT
#include "RunPlanning.h"

#include "ComText.h"
#include "PortErrorAdvice.h"
#include "PortLookup.h"
#include "PortMap.h"
#include "PortSettings.h"
#include "RunEstimate.h"
#include "SystemTexts.h"
#include "comm_port.h"

#include <sys/stat.h>

std::string PortTextOf(const std::string& portOption)
{
    if (!portOption.empty() && portOption[0] == '/')
        return portOption;
    const int number = portOption.empty() ? ComPortNumber : ComNumberOfText(portOption).value_or(0);
    return ComText(number);
}

std::string ConfigurePort(TCommPort& port, const std::string& portOption)
{
    if (!portOption.empty() && portOption[0] == '/') {
        // SetCommPort makes a COM name (\\.\ + its text); a device path is the name itself.
        port.SetCommPort(portOption);
        port.PortName = portOption;
        port.SetBaudRate(LinkBaudRate);
        port.SetByteSize(8);
        port.SetParity(NOPARITY);
        port.SetStopBits(ONESTOPBIT);
        return portOption;
    }
    uint8_t number = ComPortNumber;
    if (!portOption.empty())
        number = static_cast<uint8_t>(ComNumberOfText(portOption).value_or(0));
    ConfigureCommPort(port, number);
    return ComText(number);
}

std::string DescribePortError(const std::string& portText, const ECommError& error)
{
    std::string tried = portText;
    if (portText.empty() || portText[0] != '/') {
        const ComPortLookup lookup = LookUpComPort(ComNumberOfText(portText).value_or(0));
        if (!lookup.Device)
            return lookup.Problem;
        tried += " (" + *lookup.Device + ")";
    }
    const std::string advice = PortErrorAdvice(error);
    return tried + ": " +
           (advice.empty()
                ? "the port could not be set up (error code " + std::to_string(error.Code) + ")."
                : advice);
}

std::string SinglePortOption(const CliOptions& options)
{
    return options.Ports.empty() ? std::string() : options.Ports.front();
}

RunPlan PlanOf(const UpdateRun& run, const std::string& portOption)
{
    RunPlan plan;
    plan.Port = PortTextOf(portOption);
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
