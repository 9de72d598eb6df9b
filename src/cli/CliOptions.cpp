// SPDX-License-Identifier: MIT
#include "CliOptions.h"

#include "ComText.h"
#include "PortSpec.h"

#include <cstdlib>
#include <optional>

std::string CliUsage()
{
    // The "Usage:" and "or:" lines are what manual page generators take for the synopsis.
    // The first line is long: a continuation line would leave the synopsis.
    return "Usage: zendrak-cli [-p PORT[,PORT...]]... [-C DIR] [-q] [--json] [--trace FILE] "
           "[--check] [--wait SECONDS] [--loop] [--loop-quiet SECONDS] [--retries N] "
           "[--history]\n"
           "  or:  zendrak-cli --list-ports\n"
           "  or:  zendrak-cli --forget-port COM<n>\n"
           "  or:  zendrak-cli --help | --version\n"
           "\n"
           "Loads the firmware files font.app, decoder.app and out.app of the current directory\n"
           "into the receiver on the serial port, as the window's Start Update does, and writes\n"
           "logUpdate.txt there. The last line on stdout is \"Update OK\" or \"Update Error\".\n"
           "\n"
           "Options:\n"
           "  -p, --port=PORT       the port: COM<n> (n from 1 to 99, through the port map), a\n"
           "                        device path starting with \"/\", or a serial port on\n"
           "                        another machine served by ser2net, rfc2217://HOST:PORT\n"
           "                        (RFC 2217: the line is set from here) or tcp://HOST:PORT\n"
           "                        (raw TCP: the line settings are the server's); without it\n"
           "                        the number saved in Zendrak.dat (1 if none). Several ports\n"
           "                        (-p repeated, or separated by commas; local and network\n"
           "                        ports mixed) are updated at the same time, each run's log in\n"
           "                        a folder named after its port (COM3/logUpdate.txt,\n"
           "                        ttyUSB0/logUpdate.txt, bench-3_3001/logUpdate.txt), with a\n"
           "                        summary at the end; a port named twice is a usage error. With\n"
           "                        --json every event names its port and a summary event ends\n"
           "                        the stream; with --trace FILE each port has its own trace,\n"
           "                        FILE.COM3, FILE.ttyUSB0\n"
           "  -C, --directory=DIR   the working folder (default: the current directory): the\n"
           "                        firmware files, Zendrak.dat and the logs are read and\n"
           "                        written there, and relative paths (--trace) are taken\n"
           "                        there, with one port as with several\n"
           "  -q, --quiet           show no status texts and no progress, only the outcome\n"
           "      --json            write the run as JSON events on stdout, one object per line\n"
           "                        (see \"For scripts\" in the help and the README)\n"
           "      --trace=FILE      write what goes over the line to FILE, time-stamped:\n"
           "                        commands, the receiver's output, pauses, where each file's\n"
           "                        send begins and ends (never the files' contents), log\n"
           "                        entries, the outcome; \"-\" is stderr. FILE must be a\n"
           "                        regular file (or none yet) and none of the run's own files\n"
           "                        (firmware, Zendrak.dat, the logs) nor a device, FIFO or\n"
           "                        socket, not through a link either: anything else is a\n"
           "                        usage error before anything is sent\n"
           "      --check           send nothing: list the files that would be sent (size,\n"
           "                        SHA-256, the bytes that really go out when a 0x02 in a\n"
           "                        file's last 10 bytes ends its send), the missing or empty\n"
           "                        ones, the port and the estimated duration, then open and\n"
           "                        close the port (a network port: connect, agree the line\n"
           "                        settings with an RFC 2217 server, close; a tcp:// port's\n"
           "                        line settings cannot be checked from here, and it says\n"
           "                        so); exit 0 when an update could start\n"
           "      --wait=SECONDS    when a port's device is not there yet, wait up to SECONDS\n"
           "                        for it to appear (an adapter being plugged in; a network\n"
           "                        port's server accepting a connection), then start (with\n"
           "                        --check: then check)\n"
           "      --loop            the production line: after each receiver, each port waits\n"
           "                        for the next one and updates it too, until Ctrl-C (while\n"
           "                        every port waits it ends the session at once, with a\n"
           "                        summary). Nothing is sent while a port waits. The next\n"
           "                        receiver is there when its start-up output comes unasked\n"
           "                        after the line was quiet for --loop-quiet seconds, when the\n"
           "                        port's device was unplugged and is plugged in again, or,\n"
           "                        for receivers that print nothing, when Enter is pressed\n"
           "                        (stdin a terminal: every waiting port starts). The\n"
           "                        firmware files are read anew for each receiver; a run whose\n"
           "                        files change while they are read does not start\n"
           "      --loop-quiet=SECONDS  how long the line must have been quiet before start-up\n"
           "                        output counts as the next receiver (default 10, at least\n"
           "                        1); the updated receiver's own restart comes sooner and\n"
           "                        starts nothing\n"
           "      --retries=N       start an update that failed because of the line or the\n"
           "                        receiver (no connection, line lost, file refused, storing\n"
           "                        not confirmed) again from the restart, up to N more times\n"
           "                        (0 to 99), after 2 seconds; never after \"Update OK\", a\n"
           "                        cancel or files that cannot be used; a port that could not\n"
           "                        be opened only with --wait\n"
           "      --history         keep a record of every run (on with --loop and --retries):\n"
           "                        a line in zendrak-history.csv (start, port, device,\n"
           "                        adapter, folder, each file's size and SHA-256, outcome,\n"
           "                        cause, attempt, duration, kept log) and the run's log also\n"
           "                        as logs/<start UTC>-<port>.txt; a record that cannot be\n"
           "                        written stops the start\n"
           "      --list-ports      list the serial ports, one line each: COM text, device\n"
           "                        path, stable identity, description (\"-\" when none),\n"
           "                        present or absent\n"
           "      --forget-port=COM<n>  drop the number remembered for a detected device\n"
           "  -h, --help            show this text\n"
           "  -V, --version         show the version\n"
           "\n"
           "On a terminal the progress line shows the file, percent, bytes, rate and the time\n"
           "left for the file and the whole run; piped, a line at each 10 %. After each file a\n"
           "line gives its size, time and average rate. After \"Update Error\" stderr says the\n"
           "likely cause (file refused, no connection, line lost, not stored, cancelled).\n"
           "\n"
           "Exit status:\n"
           "  0 after \"Update OK\", 1 after \"Update Error\", 2 for a usage error, when no\n"
           "  firmware file is there or one cannot be used, when another update runs in the\n"
           "  same directory or it cannot be locked, or when the port cannot be set up or\n"
           "  opened (with --check: 0 when an update could start, 2 when not); 130, 131 or 143\n"
           "  when a second Ctrl-C (SIGINT), Ctrl-\\ (SIGQUIT) or SIGTERM within 5 seconds\n"
           "  cancelled the run (a cancel after every file was stored and the receiver told to\n"
           "  start changes nothing). During a run a closed terminal (SIGHUP) and Ctrl-Z do not\n"
           "  stop it, and a first Ctrl-C, Ctrl-\\ or SIGTERM only warns; once cancelled, one\n"
           "  more from a second after the cancel on ends the program at once.\n"
           "  --help, --version, --list-ports and --forget-port exit 1 when their output\n"
           "  cannot be written.\n"
           "  With several ports: 0 when every run ended \"Update OK\", 2 when a port could not\n"
           "  be opened (the others still run), otherwise 1.\n"
           "  With --loop or --retries the last attempt of each receiver counts; with --loop\n"
           "  a Ctrl-C while every port waits is the session's usual end, not a cancel.\n"
           "\n"
           "Zendrak.dat is only read, never written.\n"
           "\n"
           "Environment:\n"
           "  XDG_CONFIG_HOME       the port map is $XDG_CONFIG_HOME/zendrak/ports (default\n"
           "                        ~/.config/zendrak/ports), lines COM<n>=<device>; never\n"
           "                        written\n"
           "  XDG_STATE_HOME        the COM numbers given to detected devices are remembered\n"
           "                        in $XDG_STATE_HOME/zendrak/assigned-ports (default\n"
           "                        ~/.local/state/zendrak/assigned-ports), so that an adapter\n"
           "                        keeps its number wherever it is plugged in; the port map\n"
           "                        comes first\n"
           "  ZENDRAK_NO_PORT_DETECTION  when 1, only the port map's ports are used and no\n"
           "                        number is remembered\n";
}

namespace {

// The options that take a value, in their short (if any) and long forms.
struct ValueOption {
    const char* Short;
    const char* Long;
    std::string CliOptions::*Member;
};
// --port, --wait, --forget-port, --loop-quiet and --retries are read by ParseCliOptions
// itself (no member).
constexpr ValueOption ValueOptions[] = {{"-p", "--port", nullptr},
                                        {"-C", "--directory", &CliOptions::Directory},
                                        {nullptr, "--trace", &CliOptions::Trace},
                                        {nullptr, "--wait", nullptr},
                                        {nullptr, "--forget-port", nullptr},
                                        {nullptr, "--loop-quiet", nullptr},
                                        {nullptr, "--retries", nullptr}};

constexpr int MostRetries = 99;

// The numbers --forget-port takes: those the port map and the remembered numbers hold.
constexpr int FirstForgettable = 1;
constexpr int LastForgettable = 99;

// Seconds as a plain decimal number from 0 to a day; -1 when the text is anything else.
double SecondsOf(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return -1;
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
        if (comma == std::string::npos)
            return ports;
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
    bool quietGiven = false, retriesGiven = false;
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
            const std::string name = valued->Long;
            if (name == "--port") {
                for (const std::string& port : PortsOf(*value)) {
                    std::string error;
                    if (!PortSpec::Parse(port, &error)) {
                        result.Error = error;
                        return result;
                    }
                    o.Ports.push_back(port);
                }
            } else if (name == "--wait") {
                o.WaitSeconds = SecondsOf(*value);
                if (o.WaitSeconds < 0) {
                    result.Error = "--wait: not a number of seconds from 0 to 86400: " + *value;
                    return result;
                }
            } else if (name == "--loop-quiet") {
                o.LoopQuiet = SecondsOf(*value);
                quietGiven = true;
                if (o.LoopQuiet < 1) {
                    result.Error =
                        "--loop-quiet: not a number of seconds from 1 to 86400: " + *value;
                    return result;
                }
            } else if (name == "--retries") {
                const bool digits = value->size() <= 2 &&
                                    value->find_first_not_of("0123456789") == std::string::npos;
                o.Retries = digits ? std::stoi(*value) : -1;
                retriesGiven = true;
                if (o.Retries < 0 || o.Retries > MostRetries) {
                    result.Error = "--retries: not a number from 0 to " +
                                   std::to_string(MostRetries) + ": " + *value;
                    return result;
                }
            } else if (name == "--forget-port") {
                o.ForgetNumber = ComNumberOfText(*value).value_or(0);
                if (o.ForgetNumber < FirstForgettable || o.ForgetNumber > LastForgettable) {
                    result.Error = "--forget-port: not a port COM1 to COM99: " + *value;
                    return result;
                }
                if (single) {
                    result.Error = "only one of --list-ports, --forget-port, --help, --version";
                    return result;
                }
                single = true;
                o.Command = CliOptions::Action::ForgetPort;
                continue;
            } else {
                o.*(valued->Member) = *value;
            }
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
        } else if (arg == "--loop") {
            o.Loop = true;
            update = true;
        } else if (arg == "--history") {
            o.History = true;
            update = true;
        } else if (arg == "--list-ports" || arg == "--help" || arg == "-h" || arg == "--version" ||
                   arg == "-V") {
            if (single) {
                result.Error = "only one of --list-ports, --forget-port, --help, --version";
                return result;
            }
            single = true;
            o.Command = arg == "--list-ports"               ? CliOptions::Action::ListPorts
                        : arg == "--version" || arg == "-V" ? CliOptions::Action::Version
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
    if (o.Check && (o.Loop || retriesGiven || o.History)) {
        result.Error = "--check sends nothing: --loop, --retries and --history need an update";
        return result;
    }
    if (quietGiven && !o.Loop) {
        result.Error = "--loop-quiet is the loop's: it needs --loop";
        return result;
    }
    // The record is kept whenever a run may be one of several.
    o.History = o.History || o.Loop || retriesGiven;
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
