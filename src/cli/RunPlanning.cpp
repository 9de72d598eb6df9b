// SPDX-License-Identifier: MIT
#include "RunPlanning.h"

#include "PortMap.h"
#include "PortSettings.h"
#include "RunEstimate.h"
#include "SystemTexts.h"
#include "comm_port.h"

#include <cstdlib>
#include <sys/stat.h>

std::string PortTextOf(const std::string& portOption)
{
    if (!portOption.empty() && portOption[0] == '/')
        return portOption;
    const int number = portOption.empty() ? ComPortNumber : ComNumberOfOption(portOption);
    return "COM" + std::to_string(number);
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
        number = static_cast<uint8_t>(ComNumberOfOption(portOption));
    ConfigureCommPort(port, number);
    return "COM" + std::to_string(number);
}

// A test can shorten the bound on the wait for a stored file (not part of the usage).
std::chrono::milliseconds WaitSavedLimit()
{
    if (const char* text = std::getenv("ZENDRAK_WAIT_SAVED_LIMIT_MS")) {
        char* end = nullptr;
        const long long ms = std::strtoll(text, &end, 10);
        if (end != text && *end == '\0' && ms > 0)
            return std::chrono::milliseconds(ms);
    }
    return std::chrono::minutes(15);
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
