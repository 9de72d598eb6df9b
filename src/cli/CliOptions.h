// SPDX-License-Identifier: MIT
// zendrak-cli's command line: zendrak-cli [-p PORT[,PORT...]]... [-C DIR] [-q] [--json]
// [--trace FILE] [--check] [--wait SECONDS] [--loop] [--loop-quiet SECONDS] [--retries N]
// [--history] | --list-ports | --forget-port COM<n> | -h, --help | -V, --version; the long
// forms of the options with a value take it as the next argument or after "=".
#pragma once

#include <string>
#include <vector>

struct CliOptions {
    enum class Action { Update, ListPorts, ForgetPort, Help, Version } Command = Action::Update;
    // -p, --port, repeated or comma-separated: "COM<n>" or device paths, in the order given;
    // empty: the one port of "Zendrak.dat".
    std::vector<std::string> Ports;
    std::string Directory;   // -C, --directory
    bool Quiet = false;      // -q, --quiet
    bool Json = false;       // --json: JSON events on stdout
    std::string Trace;       // --trace FILE: the line's traffic; empty: none
    bool Check = false;      // --check: the pre-flight, nothing sent
    double WaitSeconds = 0;  // --wait: how long a port's device may take to appear
    int ForgetNumber = 0;    // --forget-port COM<n>
    // The production line:
    bool Loop = false;      // --loop: one receiver after another on each port
    double LoopQuiet = 10;  // --loop-quiet: quiet time before start-up output counts
    int Retries = 0;        // --retries: further attempts of a failed update
    bool History = false;   // --history, also on with --loop and --retries
};

struct CliParse {
    CliOptions Options;
    std::string Error;  // not empty: a usage error, one line
};

CliParse ParseCliOptions(const std::vector<std::string>& args);
// True when the arguments ask for JSON output, whatever else is wrong with them.
bool WantsJson(const std::vector<std::string>& args);
std::string CliUsage();
