// SPDX-License-Identifier: MIT
// zendrak-cli's command line: zendrak-cli [-p PORT] [-C DIR] [-q] | --list-ports | --help |
// --version.
#pragma once

#include <string>
#include <vector>

struct CliOptions {
    enum class Action { Update, ListPorts, Help, Version } Command = Action::Update;
    std::string Port;       // -p: "COM<n>" or a device path; empty: from "Zendrak.dat"
    std::string Directory;  // -C
    bool Quiet = false;     // -q
};

struct CliParse {
    CliOptions Options;
    std::string Error;  // not empty: a usage error
};

CliParse ParseCliOptions(const std::vector<std::string>& args);
std::string CliUsage();

// The COM number of "COM<n>" (1..255, any case of "COM"), 0 when the text is not of that form.
int ComNumberOfOption(const std::string& port);
