// SPDX-License-Identifier: MIT
// zendrak-cli's command line: zendrak-cli [-p PORT] [-C DIR] [-q] [--json] [--trace FILE]
// [--check] | --list-ports | --help | --version.
#pragma once

#include <string>
#include <vector>

struct CliOptions {
    enum class Action { Update, ListPorts, Help, Version } Command = Action::Update;
    std::string Port;       // -p: "COM<n>" or a device path; empty: from "Zendrak.dat"
    std::string Directory;  // -C
    bool Quiet = false;     // -q
    bool Json = false;      // --json: JSON events on stdout
    std::string Trace;      // --trace FILE: the line's traffic; empty: none
    bool Check = false;     // --check: the pre-flight, nothing sent
};

struct CliParse {
    CliOptions Options;
    std::string Error;  // not empty: a usage error
};

CliParse ParseCliOptions(const std::vector<std::string>& args);
// True when the arguments ask for JSON output, whatever else is wrong with them.
bool WantsJson(const std::vector<std::string>& args);
std::string CliUsage();

// The COM number of "COM<n>" (1..255, any case of "COM"), 0 when the text is not of that form.
int ComNumberOfOption(const std::string& port);
