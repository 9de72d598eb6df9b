// SPDX-License-Identifier: MIT
#include "ProgramOptions.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <string>

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args)
{
    ProgramOptions options;
    bool onlyFolders = false;  // after "--" every argument is a folder
    for (const std::string& arg : args) {
        if (!onlyFolders && arg == "--") {
            onlyFolders = true;
        } else if (!onlyFolders && (arg == "--help" || arg == "-h")) {
            options.What = ProgramOptions::Action::Help;
            return options;
        } else if (!onlyFolders && (arg == "--version" || arg == "-V")) {
            options.What = ProgramOptions::Action::Version;
            return options;
        } else if (!onlyFolders && arg.size() > 1 && arg[0] == '-') {
            options.What = ProgramOptions::Action::UsageError;
            options.Error = "unknown option '" + arg + "'";
            return options;
        } else if (arg.empty()) {
            options.What = ProgramOptions::Action::UsageError;
            options.Error = "the folder name is empty";
            return options;
        } else if (!options.Folder.empty()) {
            options.What = ProgramOptions::Action::UsageError;
            options.Error =
                "only one folder can be given ('" + options.Folder + "' and '" + arg + "')";
            return options;
        } else {
            options.Folder = arg;
        }
    }
    return options;
}

std::string ProgramHelpText()
{
    return "Usage: zendrak [FOLDER]\n"
           "  or:  zendrak --help | --version\n"
           "Load new firmware into a satellite receiver over a serial line.\n"
           "\n"
           "Zendrak opens its window. Choose the COM port of the receiver and press Start\n"
           "Update: the firmware files font.app, decoder.app and out.app of the firmware folder\n"
           "are sent to the receiver, and the run is written to logUpdate.txt in the same\n"
           "folder. The status bar shows the file being sent and at the end \"Update OK\" or\n"
           "\"Update Error\".\n"
           "\n"
           "Options:\n"
           "  FOLDER         the firmware folder: change into it first, exactly as if Zendrak\n"
           "                 had been started there (default: the current directory; started\n"
           "                 from the desktop menu, that is the home folder)\n"
           "  -h, --help     show this text and exit\n"
           "  -V, --version  show the version and exit\n"
           "\n"
           "Exit status: 0 when the window is closed; 1 when --help or --version cannot write\n"
           "its text; 2 for a usage error, a FOLDER that does not exist or cannot be entered,\n"
           "or when there is no display to show the window on.\n"
           "\n"
           "Environment:\n"
           "  XDG_CONFIG_HOME  where the port map is: $XDG_CONFIG_HOME/zendrak/ports\n"
           "                   (default ~/.config/zendrak/ports)\n"
           "  XDG_STATE_HOME   where the COM numbers given to detected devices are remembered:\n"
           "                   $XDG_STATE_HOME/zendrak/assigned-ports\n"
           "                   (default ~/.local/state/zendrak/assigned-ports)\n"
           "  ZENDRAK_NO_PORT_DETECTION  when 1, only the port map's ports are offered\n"
           "\n"
           "Files:\n"
           "  font.app, decoder.app, out.app  the firmware files, in the firmware folder\n"
           "  Zendrak.dat    the chosen port number (one byte), in the firmware folder\n"
           "  logUpdate.txt  the log of the last update run, in the firmware folder\n"
           "  ~/.config/zendrak/ports  the port map, lines COM<n>=<device>\n"
           // A description's next line starts where its first did: man page generators take
           // a line indented otherwise for a new paragraph.
           "  ~/.local/state/zendrak/assigned-ports  the remembered COM numbers of detected\n"
           "                                         devices, lines COM<n>=<identity>\n"
           "\n"
           "The Help menu opens the full help; zendrak-cli(1) runs an update without the window.\n";
}

std::string ProgramVersionText()
{
    return std::string("zendrak ") + ZENDRAK_VERSION + "\n";
}

bool EnterFolder(const std::string& folder, std::string& error)
{
    if (::chdir(folder.c_str()) == 0)
        return true;
    const int reason = errno;
    const char* meaning = ::strerrordesc_np(reason);
    error = "Cannot use the firmware folder " + folder + ": " +
            (meaning ? std::string(meaning) : "error " + std::to_string(reason)) + ".";
    return false;
}
