// SPDX-License-Identifier: MIT
#include "Scenario.h"

#include "SimDriver.h"
#include "SystemTexts.h"

#include <climits>
#include <cstdlib>
#include <filesystem>

std::string CliPath()
{
    return ZENDRAK_CLI_PATH;
}

std::string CliTestBuildPath()
{
    return ZENDRAK_CLI_TEST_BUILD_PATH;
}

Scenario::Scenario()
{
    Dir = MakeTempDir();
    char real[PATH_MAX];
    if (realpath(Dir.c_str(), real))
        Dir = real;
    RunDir = Dir + "/run";
    ConfigDir = Dir + "/config";
    LinkPath = Dir + "/ttyRECEIVER";
    std::filesystem::create_directories(RunDir);
    std::filesystem::create_directories(ConfigDir + "/zendrak");
    std::filesystem::create_directories(Dir + "/saved");
    Env = {{"XDG_CONFIG_HOME", ConfigDir}, {"ZENDRAK_NO_PORT_DETECTION", "1"}};
}

Scenario::~Scenario()
{
    Cli.Stop();
    Sim.Stop();
    RemoveTree(Dir);
}

void Scenario::AddFile(const std::string& name, const std::string& bytes)
{
    WriteWholeFile(RunDir + "/" + name, bytes);
}

bool Scenario::StartSimulator(const std::vector<std::string>& args, int com)
{
    // Wider pauses between bursts than the simulator's default, so that each burst gets a read
    // of its own even on a loaded machine (a test's own --burst-gap comes later and wins).
    std::vector<std::string> all = {"--save", Dir + "/saved", "--link",
                                    LinkPath, "--burst-gap",  "200"};
    all.insert(all.end(), args.begin(), args.end());
    if (!Sim.Start(SimulatorPath(), all))
        return false;
    SlavePath = Sim.ReadLine(10000);
    WriteWholeFile(ConfigDir + "/zendrak/ports",
                   "# test port map\nCOM" + std::to_string(com) + "=" + LinkPath + "\n");
    return !SlavePath.empty();
}

int Scenario::RunCli(const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env, int timeoutMs)
{
    std::map<std::string, std::string> all = Env;
    for (const auto& [name, value] : env)
        all[name] = value;
    std::vector<std::string> withDir = {"-C", RunDir};
    withDir.insert(withDir.end(), args.begin(), args.end());
    Cli.Out.clear();
    Cli.Err.clear();
    // The shipped program has no limit a test could shorten; its test build has.
    const bool limited = all.count("ZENDRAK_WAIT_SAVED_LIMIT_MS") != 0;
    if (!Cli.Start(limited ? CliTestBuildPath() : CliPath(), withDir, all))
        return -2;
    return Cli.Wait(timeoutMs);
}

int Scenario::WaitSimulator(int timeoutMs)
{
    return Sim.Wait(timeoutMs);
}

std::string Scenario::Log() const
{
    return ReadWholeFile(RunDir + "/" + Texts::UpdateLogFileName);
}

bool Scenario::LogExists() const
{
    return std::filesystem::exists(RunDir + "/" + Texts::UpdateLogFileName);
}

std::string Scenario::Transcript() const
{
    return ReadWholeFile(Dir + "/saved/transcript.txt");
}

std::string Scenario::Saved(int n) const
{
    return ReadWholeFile(Dir + "/saved/file-" + std::to_string(n) + ".bin");
}

std::string Scenario::Path(const std::string& name) const
{
    return RunDir + "/" + name;
}

std::string Scenario::LastStdoutLine() const
{
    std::string out = Cli.Out;
    if (!out.empty() && out.back() == '\n')
        out.pop_back();
    const size_t nl = out.rfind('\n');
    return nl == std::string::npos ? out : out.substr(nl + 1);
}

std::string LogOf(const std::vector<std::string>& entries)
{
    std::string bytes;
    for (const auto& e : entries)
        bytes += e + "\r\n";
    return bytes;
}

ExpectedLog& ExpectedLog::Start(const std::string& firstPath)
{
    Add(Texts::LogLoadingFirmware);
    return Add(Texts::LogLoadingFile + firstPath);
}

ExpectedLog& ExpectedLog::StoredFile()
{
    Add(Texts::StatusSendingFile4);
    Add(Texts::StatusFileSent);
    Add(Texts::StatusFileAccepted);
    Add(Texts::StatusSaving);
    return Add(Texts::StatusSaved);
}

ExpectedLog& ExpectedLog::NextFile(const std::string& path)
{
    return Add(Texts::LogNextFile + path);
}

ExpectedLog& ExpectedLog::Succeeded()
{
    Add(Texts::StatusAllFilesSent);
    return Restarted();
}

ExpectedLog& ExpectedLog::Restarted()
{
    Add(Texts::StatusStartingReceiver);
    return Add(Texts::LogTerminated);
}

std::string ShowLog(const std::string& bytes)
{
    std::string out = "\n";
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n\n";
        else if (c >= 0x80)
            out += "<" + std::to_string(c) + ">";
        else
            out += static_cast<char>(c);
    }
    return out;
}
