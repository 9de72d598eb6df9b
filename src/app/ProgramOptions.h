// SPDX-License-Identifier: MIT
// The window program's command line: --help, --version and an optional firmware folder. Read
// before anything needs a display, so help and version work without one.
#pragma once

#include <string>
#include <vector>

struct ProgramOptions {
    enum class Action { Run, Help, Version, UsageError };
    Action What = Action::Run;
    std::string Folder;  // empty: stay in the current directory
    std::string Error;   // for UsageError: one line
};

// `args` without the program's name.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& args);
std::string ProgramHelpText();
std::string ProgramVersionText();

// Makes `folder` the current directory. On failure returns false and sets `error` to a line
// naming the folder and the reason.
bool EnterFolder(const std::string& folder, std::string& error);
