// SPDX-License-Identifier: MIT
// zendrak-cli's command line: zendrak-cli [-p PORT] [-C DIR] [-q] [--json] [--trace FILE]
// [--check] | --list-ports | --help | --version; the long forms --port, --directory and --quiet
// take their value as the next argument or after "=".
#pragma once

#include <string>
#include <vector>

struct CliOptions {
    enum class Action { Update, ListPorts, Help, Version } Command = Action::Update;
    std::string Port;       // -p, --port: "COM<n>" or a device path; empty: from "Zendrak.dat"
    std::string Directory;  // -C, --directory
    bool Quiet = false;     // -q, --quiet
    bool Json = false;      // --json: JSON events on stdout
    std::string Trace;      // --trace FILE: the line's traffic; empty: none
    bool Check = false;     // --check: the pre-flight, nothing sent
};

struct CliParse {
    CliOptions Options;
    std::string Error;  // not empty: a usage error, one line
};

CliParse ParseCliOptions(const std::vector<std::string>& args);
// True when the arguments ask for JSON output, whatever else is wrong with them.
bool WantsJson(const std::vector<std::string>& args);
std::string CliUsage();
