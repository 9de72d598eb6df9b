// SPDX-License-Identifier: MIT
// The window program's command line: --help, --version, --bench with the ports to check on it,
// and an optional firmware folder. Read before anything needs a display, so help and version
// work without one.
#pragma once

#include <string>
#include <vector>

struct ProgramOptions {
    enum class Action { Run, Help, Version, UsageError };
    Action What = Action::Run;
    std::string Folder;  // empty: the current directory
    // Open the bench instead of the main window, with these ports' rows checked (as written).
    bool Bench = false;
    std::vector<std::string> Ports;
    std::string Error;  // for UsageError: one line
};

// `args` without the program's name.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& args);
std::string ProgramHelpText();
std::string ProgramVersionText();

// The firmware folder as an absolute path (links resolved), for the window and the bench to
// work in; the current directory stays as it is. Empty on failure, with `error` set to a line
// naming the folder and the reason.
std::string FirmwareFolderPath(const std::string& folder, std::string& error);
