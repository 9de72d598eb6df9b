// SPDX-License-Identifier: MIT
#include "ProgramOptions.h"

#include "PortSpec.h"
#include "RunGroup.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace {

// Adds the ports of one -p value ("COM3" or "COM3,/dev/ttyUSB0"); false with `error` set when
// one is not a port.
bool AddPorts(const std::string& value, std::vector<std::string>& ports, std::string& error)
{
    size_t begin = 0;
    while (true) {
        const size_t comma = value.find(',', begin);
        const std::string port = value.substr(begin, comma - begin);
        std::string why;
        if (port.empty()) {
            error = "-p: a port name is empty in '" + value + "'";
            return false;
        }
        if (!PortSpec::Parse(port, &why)) {
            error = "-p: " + why;
            return false;
        }
        ports.push_back(port);
        if (comma == std::string::npos)
            return true;
        begin = comma + 1;
    }
}

}  // namespace

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args)
{
    ProgramOptions options;
    const auto usageError = [&options](const std::string& error) {
        options.What = ProgramOptions::Action::UsageError;
        options.Error = error;
        return options;
    };
    bool onlyFolders = false;  // after "--" every argument is a folder
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!onlyFolders && arg == "--") {
            onlyFolders = true;
        } else if (!onlyFolders && (arg == "--help" || arg == "-h")) {
            options.What = ProgramOptions::Action::Help;
            return options;
        } else if (!onlyFolders && (arg == "--version" || arg == "-V")) {
            options.What = ProgramOptions::Action::Version;
            return options;
        } else if (!onlyFolders && arg == "--bench") {
            options.Bench = true;
        } else if (!onlyFolders && (arg == "-p" || arg == "--port")) {
            if (i + 1 == args.size())
                return usageError("option '" + arg + "' needs a port");
            std::string error;
            if (!AddPorts(args[++i], options.Ports, error))
                return usageError(error);
        } else if (!onlyFolders && (arg.rfind("--port=", 0) == 0 ||
                                    (arg.rfind("-p", 0) == 0 && arg.size() > 2 && arg[2] != '-'))) {
            std::string error;
            if (!AddPorts(arg.substr(arg[1] == '-' ? 7 : 2), options.Ports, error))
                return usageError(error);
        } else if (!onlyFolders && arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '" + arg + "'");
        } else if (arg.empty()) {
            return usageError("the folder name is empty");
        } else if (!options.Folder.empty()) {
            return usageError("only one folder can be given ('" + options.Folder + "' and '" + arg +
                              "')");
        } else {
            options.Folder = arg;
        }
    }
    if (!options.Ports.empty() && !options.Bench)
        return usageError("-p chooses the ports of the bench: use it with --bench");
    return options;
}

std::string ProgramHelpText()
{
    return "Usage: zendrak [FOLDER]\n"
           "  or:  zendrak --bench [-p PORT]... [FOLDER]\n"
           "  or:  zendrak --help | --version\n"
           "Load new firmware into a satellite receiver over a serial line.\n"
           "\n"
           "Zendrak opens its window. Choose the COM port of the receiver and press Start\n"
           "Update: the firmware files font.app, decoder.app and out.app of the firmware folder\n"
           "are sent to the receiver, and the run is written to logUpdate.txt in the same\n"
           "folder. The status bar shows the file being sent and at the end \"Update OK\" or\n"
           "\"Update Error\".\n"
           "\n"
           "The bench (--bench, or Bench... in the window's menu) updates several receivers at\n"
           "once: one row per port, each with its progress and outcome. Start sends the folder's\n"
           "files to every checked port that is present; with more than one port, each port's\n"
           "log goes into a folder of its own named after it (COM3/logUpdate.txt). Its\n"
           "\"Next receiver starts by itself\", \"Retries\" and \"Keep a record\" work as\n"
           "zendrak-cli's --loop, --retries and --history: each port waits for the next\n"
           "receiver on its cable and updates it, a failed update is tried again, and every\n"
           "attempt is recorded in zendrak-history.csv with its log kept under logs/.\n"
           "\n"
           "Options:\n"
           "  FOLDER         the firmware folder, where the firmware files, Zendrak.dat and\n"
           "                 logUpdate.txt are (default: the current directory; started from\n"
           "                 the desktop menu, that is the home folder)\n"
           "  --bench        open the bench instead of the window\n"
           "  -p, --port=PORT\n"
           "                 with --bench: check this port's row: COM<n>, a device path, or\n"
           "                 rfc2217://HOST:PORT or tcp://HOST:PORT; repeat the option or\n"
           "                 separate the ports by commas\n"
           "  -h, --help     show this text and exit\n"
           "  -V, --version  show the version and exit\n"
           "\n"
           "Exit status: 0 when the window is closed; 1 when --help or --version cannot write\n"
           "its text; 2 for a usage error, a FOLDER that does not exist or cannot be used, or\n"
           "when there is no display to show the window on.\n"
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
           "  logUpdate.txt  the log of the last update run, in the firmware folder; the\n"
           "                 bench's runs on several ports write COM3/logUpdate.txt and so on\n"
           "  zendrak-history.csv, logs/  the bench's record of every attempt and their logs\n"
           "                 (with Keep a record), in the firmware folder\n"
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

std::string FirmwareFolderPath(const std::string& folder, std::string& error)
{
    const std::string path = RealWorkFolder(folder);
    if (!path.empty())
        return path;
    const int reason = errno;
    const char* meaning = ::strerrordesc_np(reason);
    error = "Cannot use the firmware folder " + folder + ": " +
            (meaning ? std::string(meaning) : "error " + std::to_string(reason)) + ".";
    return {};
}
