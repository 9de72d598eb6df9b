// SPDX-License-Identifier: MIT
#include "CliOptions.h"

#include <cctype>
#include <cstdlib>

std::string CliUsage()
{
    return "Usage: zendrak-cli [-p PORT[,PORT...]]... [-C DIR] [-q] [--json] [--trace FILE]\n"
           "                   [--check] [--wait SECONDS]\n"
           "       zendrak-cli --list-ports\n"
           "       zendrak-cli --forget-port COM<n>\n"
           "       zendrak-cli --help | --version\n"
           "\n"
           "Loads the firmware files font.app, decoder.app and out.app of the current directory\n"
           "into the receiver on the serial port, as the window's Start Update does, and writes\n"
           "logUpdate.txt there. The last line on stdout is \"Update OK\" or \"Update Error\".\n"
           "\n"
           "  -p PORT       the port: COM<n> (through the port map) or a device path starting\n"
           "                with \"/\"; without -p the number saved in Zendrak.dat (1 if none).\n"
           "                Several ports (-p repeated, or separated by commas) are updated at\n"
           "                the same time, each run's log in a folder named after its port\n"
           "                (COM3/logUpdate.txt, ttyUSB0/logUpdate.txt), with a summary at the\n"
           "                end; a port named twice is a usage error. With --json every\n"
           "                event names its port and a summary event ends the stream; with\n"
           "                --trace FILE each port has its own trace, FILE.COM3, FILE.ttyUSB0\n"
           "  -C DIR        change into DIR first (firmware files, Zendrak.dat, logUpdate.txt)\n"
           "  -q            show no status texts and no progress, only the outcome\n"
           "  --json        write the run as JSON events on stdout, one object per line\n"
           "                (see \"For scripts\" in the help and the README)\n"
           "  --trace FILE  write what goes over the line to FILE, time-stamped: commands,\n"
           "                the receiver's output, pauses, where each file's send begins\n"
           "                and ends (never the files' contents), log entries, the outcome\n"
           "  --check       send nothing: list the files that would be sent (size, SHA-256),\n"
           "                the missing or empty ones, the port and the estimated duration,\n"
           "                then open and close the port; exit 0 when an update could start\n"
           "  --wait SECONDS  when a port's device is not there yet, wait up to SECONDS for it\n"
           "                to appear (an adapter being plugged in), then start\n"
           "  --list-ports  list the serial ports, one line each: COM text, device path, stable\n"
           "                identity, description (\"-\" when none), present or absent\n"
           "  --forget-port COM<n>  drop the number remembered for a detected device\n"
           "  --help        show this text\n"
           "  --version     show the version\n"
           "\n"
           "On a terminal the progress line shows the file, percent, bytes, rate and the time\n"
           "left for the file and the whole run; piped, a line at each 10 %. After each file a\n"
           "line gives its size, time and average rate.\n"
           "\n"
           "Exit status: 0 after \"Update OK\", 1 after \"Update Error\", 2 for a usage error,\n"
           "when no firmware file is there or one cannot be used, when another update runs in\n"
           "the same directory, or when the port cannot be set up or opened (with --check: 0\n"
           "when an update could start, 2 when not).\n"
           "With several ports: 0 when every run ended \"Update OK\", 2 when a port could not be\n"
           "opened (the others still run), otherwise 1.\n"
           "Zendrak.dat is only read, never written.\n"
           "\n"
           "Environment:\n"
           "  XDG_CONFIG_HOME  the port map is $XDG_CONFIG_HOME/zendrak/ports (default\n"
           "                ~/.config/zendrak/ports), lines COM<n>=<device>; never written\n"
           "  XDG_STATE_HOME   the COM numbers given to detected devices are remembered in\n"
           "                $XDG_STATE_HOME/zendrak/assigned-ports (default\n"
           "                ~/.local/state/zendrak/assigned-ports), so that an adapter keeps its\n"
           "                number wherever it is plugged in; the port map comes first\n";
}

int ComNumberOfOption(const std::string& port)
{
    if (port.size() < 4 || port.size() > 6)
        return 0;
    for (size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(port[i])) != "COM"[i])
            return 0;
    int number = 0;
    for (size_t i = 3; i < port.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(port[i])))
            return 0;
        number = number * 10 + (port[i] - '0');
    }
    if (port[3] == '0' || number < 1 || number > 255)
        return 0;
    return number;
}

namespace {

// Seconds as a plain decimal number from 0 to a day; -1 when the text is anything else.
double SecondsOf(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return -1;
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && seconds <= 86400 ? seconds : -1;
}

// The names of one -p value, split at commas.
std::vector<std::string> PortsOf(const std::string& value)
{
    std::vector<std::string> ports;
    size_t start = 0;
    while (true) {
        const size_t comma = value.find(',', start);
        ports.push_back(value.substr(start, comma - start));
        if (comma == std::string::npos) return ports;
        start = comma + 1;
    }
}

}  // namespace

CliParse ParseCliOptions(const std::vector<std::string>& args)
{
    CliParse result;
    CliOptions& o = result.Options;
    bool single = false;  // --list-ports, --forget-port, --help, --version stand alone
    bool update = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-p" || arg == "-C" || arg == "--trace" || arg == "--wait" ||
            arg == "--forget-port") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                result.Error = "option " + arg + " needs a value";
                return result;
            }
            const std::string& value = args[++i];
            if (arg == "-p") {
                for (const std::string& port : PortsOf(value)) {
                    if (port.empty() || (port[0] != '/' && ComNumberOfOption(port) == 0)) {
                        result.Error = "-p: not a port: " + port +
                                       " (COM<n> with n from 1 to 255, or a device path "
                                       "starting with \"/\")";
                        return result;
                    }
                    o.Ports.push_back(port);
                }
            } else if (arg == "-C") {
                o.Directory = value;
            } else if (arg == "--trace") {
                o.Trace = value;
            } else if (arg == "--wait") {
                o.WaitSeconds = SecondsOf(value);
                if (o.WaitSeconds < 0) {
                    result.Error = "--wait: not a number of seconds from 0 to 86400: " + value;
                    return result;
                }
            } else {
                o.ForgetNumber = ComNumberOfOption(value);
                if (o.ForgetNumber == 0 || o.ForgetNumber > 99) {
                    result.Error = "--forget-port: not a port COM1 to COM99: " + value;
                    return result;
                }
                if (single) {
                    result.Error = "only one of --list-ports, --forget-port, --help, --version";
                    return result;
                }
                single = true;
                o.Command = CliOptions::Action::ForgetPort;
                continue;
            }
            update = true;
        } else if (arg == "-q") {
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
                result.Error = "only one of --list-ports, --forget-port, --help, --version";
                return result;
            }
            single = true;
            o.Command = arg == "--list-ports" ? CliOptions::Action::ListPorts
                        : arg == "--version"  ? CliOptions::Action::Version
                                              : CliOptions::Action::Help;
        } else {
            result.Error =
                (arg.size() > 1 && arg[0] == '-' ? "unknown option: " : "unexpected argument: ") +
                arg;
            return result;
        }
    }
    if (single && update) {
        result.Error = "--list-ports, --forget-port, --help and --version take no other options";
        return result;
    }
    if (o.Check && o.Ports.size() > 1) {
        result.Error = "--check takes one port";
        return result;
    }
    if (o.Check && !o.Trace.empty()) {
        result.Error = "--check sends nothing, so --trace would have nothing to record";
        return result;
    }
    return result;
}

bool WantsJson(const std::vector<std::string>& args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json")
            return true;
        if (args[i] == "-p" || args[i] == "-C" || args[i] == "--trace" || args[i] == "--wait" ||
            args[i] == "--forget-port")
            ++i;  // a value, even one that reads "--json"
    }
    return false;
}
