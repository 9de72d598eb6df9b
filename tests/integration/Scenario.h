// SPDX-License-Identifier: MIT
// End-to-end support: one update run through the real zendrak-cli against the real simulator
// on a pseudo-terminal, in a temporary directory with its own port map; and the expected
// update log built from the system's texts.
#pragma once

#include "ChildProcess.h"

#include <map>
#include <string>
#include <vector>

std::string CliPath();
// zendrak-cli-test: zendrak-cli that obeys ZENDRAK_WAIT_SAVED_LIMIT_MS.
std::string CliTestBuildPath();

class Scenario {
public:
    Scenario();
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    // Writes a firmware file ("font.app", "decoder.app", "out.app") into the run directory.
    void AddFile(const std::string& name, const std::string& bytes);
    // Starts the simulator (with --save and --link) and maps COM<com> to it in the port map.
    bool StartSimulator(const std::vector<std::string>& args, int com = 1);
    // Runs zendrak-cli in the run directory (-C) with the given arguments; `env` is added to
    // the port map's environment; with ZENDRAK_WAIT_SAVED_LIMIT_MS in `env` the test build runs.
    // Returns its exit status.
    int RunCli(const std::vector<std::string>& args = {"-p", "COM1"},
               const std::map<std::string, std::string>& env = {}, int timeoutMs = 300000);
    // Waits for the simulator to end (after its last "s"); -1 when it does not.
    int WaitSimulator(int timeoutMs = 15000);
    void StopSimulator() { Sim.Stop(); }

    std::string Log() const;  // logUpdate.txt's bytes
    bool LogExists() const;
    std::string Transcript() const;                   // the simulator's command lines
    std::string Saved(int n) const;                   // the simulator's n-th received file
    std::string Path(const std::string& name) const;  // a file of the run directory, full path
    std::string LastStdoutLine() const;

    std::string Dir;     // the test's temp directory
    std::string RunDir;  // the CLI's directory (firmware files, logs)
    std::string ConfigDir;
    std::string LinkPath;
    std::string SlavePath;
    ChildProcess Sim;
    ChildProcess Cli;
    std::map<std::string, std::string> Env;
};

// The log file's bytes for these entries: each followed by CR LF.
std::string LogOf(const std::vector<std::string>& entries);
// A series of log entries, appended in order.
class ExpectedLog {
public:
    ExpectedLog& Add(const std::string& entry)
    {
        Entries.push_back(entry);
        return *this;
    }
    // "Loading firmware", "Loading file: " + path.
    ExpectedLog& Start(const std::string& firstPath);
    // The entries of one file from "l" to the end of its storing, as a receiver that answers
    // "File OK!", "Write Sector" and "ptImage->UnzipedCrc" brings them.
    ExpectedLog& StoredFile();
    ExpectedLog& NextFile(const std::string& path);
    // "Alle Dateien wurden übertragen", "Receiver starten", "Terminated".
    ExpectedLog& Succeeded();
    // "Receiver starten", "Terminated".
    ExpectedLog& Restarted();
    std::string Bytes() const { return LogOf(Entries); }

    std::vector<std::string> Entries;
};

// A readable rendering of a log's bytes for failure messages.
std::string ShowLog(const std::string& bytes);
