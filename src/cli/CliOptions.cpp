// SPDX-License-Identifier: MIT
#include "CliOptions.h"

#include "ComText.h"

#include <optional>

std::string CliUsage()
{
    // The "Usage:" and "or:" lines are what manual page generators take for the synopsis.
    return "Usage: zendrak-cli [-p PORT] [-C DIR] [-q] [--json] [--trace FILE] [--check]\n"
           "  or:  zendrak-cli --list-ports\n"
           "  or:  zendrak-cli --help | --version\n"
           "\n"
           "Loads the firmware files font.app, decoder.app and out.app of the current directory\n"
           "into the receiver on the serial port, as the window's Start Update does, and writes\n"
           "logUpdate.txt there. The last line on stdout is \"Update OK\" or \"Update Error\".\n"
           "\n"
           "Options:\n"
           "  -p, --port=PORT       the port: COM<n> (n from 1 to 99, through the port map) or\n"
           "                        a device path starting with \"/\"; without it the number\n"
           "                        saved in Zendrak.dat (1 if none)\n"
           "  -C, --directory=DIR   change into DIR first (firmware files, Zendrak.dat,\n"
           "                        logUpdate.txt)\n"
           "  -q, --quiet           show no status texts and no progress, only the outcome\n"
           "      --json            write the run as JSON events on stdout, one object per line\n"
           "                        (see \"For scripts\" in the help and the README)\n"
           "      --trace=FILE      write what goes over the line to FILE, time-stamped:\n"
           "                        commands, the receiver's output, pauses, where each file's\n"
           "                        send begins and ends (never the files' contents), log\n"
           "                        entries, the outcome\n"
           "      --check           send nothing: list the files that would be sent (size,\n"
           "                        SHA-256), the missing or empty ones, the port and the\n"
           "                        estimated duration, then open and close the port; exit 0\n"
           "                        when an update could start\n"
           "      --list-ports      list the serial ports: COM text, device path, description\n"
           "  -h, --help            show this text\n"
           "      --version         show the version\n"
           "\n"
           "On a terminal the progress line shows the file, percent, bytes, rate and the time\n"
           "left for the file and the whole run; piped, a line at each 10 %. After each file a\n"
           "line gives its size, time and average rate.\n"
           "\n"
           "Exit status:\n"
           "  0 after \"Update OK\", 1 after \"Update Error\", 2 for a usage error, when no\n"
           "  firmware file is there or one cannot be used, when another update runs in the\n"
           "  same directory, or when the port cannot be set up or opened (with --check: 0\n"
           "  when an update could start, 2 when not); 130 or 143 when a second Ctrl-C (SIGINT)\n"
           "  or SIGTERM within 5 seconds cancelled the run. During a run a closed terminal\n"
           "  (SIGHUP) and Ctrl-Z do not stop it, and a first Ctrl-C or SIGTERM only warns.\n"
           "\n"
           "Zendrak.dat is only read, never written. The port map is\n"
           "$XDG_CONFIG_HOME/zendrak/ports (default ~/.config/zendrak/ports), lines\n"
           "COM<n>=<device>.\n";
}

namespace {

// The options that take a value, in their short (if any) and long forms.
struct ValueOption {
    const char* Short;
    const char* Long;
    std::string CliOptions::*Member;
};
constexpr ValueOption ValueOptions[] = {{"-p", "--port", &CliOptions::Port},
                                        {"-C", "--directory", &CliOptions::Directory},
                                        {nullptr, "--trace", &CliOptions::Trace}};

}  // namespace

CliParse ParseCliOptions(const std::vector<std::string>& args)
{
    CliParse result;
    CliOptions& o = result.Options;
    bool single = false;  // --list-ports, --help, --version stand alone
    bool update = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const ValueOption* valued = nullptr;
        std::optional<std::string> value;  // given with "=" in the same argument
        for (const ValueOption& option : ValueOptions) {
            const std::string longName = option.Long;
            if ((option.Short && arg == option.Short) || arg == longName) {
                valued = &option;
            } else if (arg.rfind(longName + "=", 0) == 0) {
                valued = &option;
                value = arg.substr(longName.size() + 1);
            }
        }
        if (valued) {
            if (!value && i + 1 < args.size())
                value = args[++i];
            if (!value || value->empty()) {
                result.Error = "option " + arg.substr(0, arg.find('=')) + " needs a value";
                return result;
            }
            o.*(valued->Member) = *value;
            update = true;
        } else if (arg == "-q" || arg == "--quiet") {
            o.Quiet = true;
            update = true;
        } else if (arg == "--json") {
            o.Json = true;
            update = true;
        } else if (arg == "--check") {
            o.Check = true;
            update = true;
        } else if (arg == "--list-ports" || arg == "--help" || arg == "-h" ||
                   arg == "--version") {
            if (single) {
                result.Error = "only one of --list-ports, --help, --version";
                return result;
            }
            single = true;
            o.Command = arg == "--list-ports" ? CliOptions::Action::ListPorts
                        : arg == "--version"  ? CliOptions::Action::Version
                                              : CliOptions::Action::Help;
        } else {
            result.Error = (arg.size() > 1 && arg[0] == '-' ? "unknown option: "
                                                             : "unexpected argument: ") +
                           arg;
            return result;
        }
    }
    if (single && update) {
        result.Error = "--list-ports, --help and --version take no other options";
        return result;
    }
    if (o.Check && !o.Trace.empty()) {
        result.Error = "--check sends nothing, so --trace would have nothing to record";
        return result;
    }
    if (!o.Port.empty() && o.Port[0] != '/' && !ComNumberOfText(o.Port))
        result.Error = "not a port: " + o.Port + " (COM<n> with n from 1 to 99, or a device path "
                                                 "starting with \"/\")";
    return result;
}

bool WantsJson(const std::vector<std::string>& args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json")
            return true;
        for (const ValueOption& option : ValueOptions)
            if ((option.Short && args[i] == option.Short) || args[i] == option.Long) {
                ++i;  // a value, even one that reads "--json"
                break;
            }
    }
    return false;
}
