// SPDX-License-Identifier: MIT
#include "Options.h"

#include <charconv>

namespace {

bool ToInt(const std::string& text, int64_t& value, int64_t min)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty() && value >= min;
}

std::optional<Verdict> VerdictNamed(const std::string& kind)
{
    if (kind == "ok")
        return Verdict::Ok;
    if (kind == "fin")
        return Verdict::Fin;
    if (kind == "wrong")
        return Verdict::Wrong;
    if (kind == "silent")
        return Verdict::Silent;
    return std::nullopt;
}

}  // namespace

std::string HelpText()
{
    return "Usage: zendrak-receiver-sim [OPTION]...\n"
           "Plays a satellite receiver's console on a pseudo-terminal. Prints the path of the\n"
           "serial end (one line), then answers the commands r, l and s (each followed by CR LF).\n"
           "\n"
           "Line:\n"
           "  --link PATH          also make a symlink PATH to the serial end (removed at exit)\n"
           "  --runs N             update runs to play: exit 0 after the N-th \"s\" (default 1)\n"
           "  --linger MS          after the last \"s\", wait up to MS for the other end to close\n"
           "                       the line before exiting (default 10000)\n"
           "  --save DIR           write each received file as DIR/file-1.bin, file-2.bin, ...\n"
           "                       and every command line received to DIR/transcript.txt\n"
           "  --verbose            report events on stderr\n"
           "  --help, --version    show this text or the version\n"
           "\n"
           "Console:\n"
           "  --menu               answer \"r\" with the start menu (\"LOAD  APP\") instead of "
           "the\n"
           "                       start-up output (\"Q9X-SUC\")\n"
           "  --menu-and-control   answer \"r\" with one burst holding the start menu and then "
           "the\n"
           "                       start-up control\n"
           "  --boot-delay MS      time from \"r\" to the first output (default 100)\n"
           "  --burst-gap MS       pause between two bursts of output (default 100)\n"
           "  --binary-prompt      answer \"l\" with \"Send file in binary mode\"\n"
           "  --gap MS             idle time that ends a received file (default 300)\n"
           "  --expect N,N,...     byte counts of the files in order; a file with a count ends\n"
           "                       after that many bytes (later files fall back to the gap)\n"
           "  --verdict KIND[,KIND...]  the answer to a file: ok (\"File OK!\", \"Write Sector\"\n"
           "                       lines, \"ptImage->UnzipedCrc\"), fin, wrong or silent (default "
           "ok);\n"
           "                       a list answers each run in turn (a run ends with \"s\") and its "
           "last\n"
           "                       kind holds for later runs: \"wrong,ok\" refuses the first "
           "attempt only\n"
           "  --verdict-text TEXT  answer each file with TEXT (and CR LF) as one burst instead\n"
           "  --verdict-delay MS   wait MS after a file before the first answer (default 0)\n"
           "  --result-chatter N,N,...  print N bursts without any marker before the verdict,\n"
           "                       per file in order (the last count holds for later files)\n"
           "  --saved-chatter N    print N more \"Write Sector\" lines before "
           "\"ptImage->UnzipedCrc\";\n"
           "                       \"forever\": keep printing them and never send the marker\n"
           "  --startup-delay MS   pause between the last garbage burst and the start-up output\n"
           "                       (default: the burst gap)\n"
           "\n"
           "Production line (one receiver after another on the same line; a receiver whose "
           "file\n"
           "was refused or not answered stays for another attempt):\n"
           "  --own-restart MS     MS after each \"s\" the updated receiver restarts and prints "
           "its\n"
           "                       start-up output again\n"
           "  --next-receiver MS   MS after each \"s\" but the last run's, the next receiver is "
           "switched\n"
           "                       on: its start-up output comes unasked\n"
           "  --replug MS          MS after each \"s\" but the last run's, the device is "
           "unplugged (the\n"
           "                       line closes, the --link goes); MS later the next one is "
           "plugged in\n"
           "                       under the --link, and the path of its serial end is printed "
           "as a\n"
           "                       line of its own\n"
           "\n"
           "Faults:\n"
           "  --silent             never answer anything\n"
           "  --garbage N          answer \"r\" with N unrecognised bursts first\n"
           "  --flash-loop         answer \"r\" and every \"l\" with a text about the flash\n"
           "  --channel-list       answer the first \"r\" with \"Default ChannelList\"\n"
           "  --exit-menu          answer the first \"r\" with a submenu holding\n"
           "                       \"100 Exit to Main Menu\"; the next \"l\" brings the start "
           "menu\n"
           "                       (or, with --binary-prompt, starts a file)\n"
           "  --vanish-after BYTES close the line after BYTES bytes of a file (the device is "
           "gone)\n"
           "  --stall-after BYTES  stop reading after BYTES bytes of a file\n"
           "  --rate BPS           read at most BPS bytes per second (11520: 115200 baud 8N1)\n"
           "\n"
           "While the receiver restarts (after \"r\", until its start-up output) it ignores what "
           "it\n"
           "receives. Commands are recognised only at the console, never inside a file.\n"
           "Exit status: 0 after the last run's \"s\" (or after --vanish-after closed the line),\n"
           "1 when the pseudo-terminal or a saved file fails, 2 for a usage error, 3 when stopped\n"
           "by a signal (SIGTERM, SIGINT, SIGHUP) before the end.\n";
}

ParseResult ParseOptions(const std::vector<std::string>& args)
{
    ParseResult result;
    SimOptions& o = result.Options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                result.Error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](auto& out, int64_t min) {
            std::string text;
            if (!value(text))
                return false;
            int64_t n = 0;
            if (!ToInt(text, n, min) || n > INT32_MAX) {
                result.Error = arg + ": not a valid number: " + text;
                return false;
            }
            out = static_cast<std::remove_reference_t<decltype(out)>>(n);
            return true;
        };
        auto numberList = [&](std::vector<int64_t>& out) {
            std::string list;
            if (!value(list))
                return false;
            size_t start = 0;
            while (true) {
                const size_t comma = list.find(',', start);
                const std::string item = list.substr(start, comma - start);
                int64_t n = 0;
                if (!ToInt(item, n, 0)) {
                    result.Error = arg + ": not a valid count: " + item;
                    return false;
                }
                out.push_back(n);
                if (comma == std::string::npos)
                    return true;
                start = comma + 1;
            }
        };
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            result.ShowHelp = true;
        } else if (arg == "--version") {
            result.ShowVersion = true;
        } else if (arg == "--link") {
            ok = value(o.LinkPath);
        } else if (arg == "--runs") {
            ok = number(o.Runs, 1);
        } else if (arg == "--linger") {
            ok = number(o.LingerMs, 0);
        } else if (arg == "--save") {
            ok = value(o.SaveDir);
        } else if (arg == "--verbose") {
            o.Verbose = true;
        } else if (arg == "--menu") {
            o.Menu = true;
        } else if (arg == "--menu-and-control") {
            o.MenuAndControl = true;
        } else if (arg == "--boot-delay") {
            ok = number(o.BootDelayMs, 0);
        } else if (arg == "--burst-gap") {
            ok = number(o.BurstGapMs, 0);
        } else if (arg == "--binary-prompt") {
            o.BinaryPrompt = true;
        } else if (arg == "--gap") {
            ok = number(o.GapMs, 1);
        } else if (arg == "--expect") {
            ok = numberList(o.Expect);
        } else if (arg == "--verdict") {
            std::string list;
            ok = value(list);
            o.Verdicts.clear();
            for (size_t start = 0; ok;) {
                const size_t comma = list.find(',', start);
                const std::string kind = list.substr(start, comma - start);
                const std::optional<Verdict> verdict = VerdictNamed(kind);
                if (!verdict) {
                    result.Error = "--verdict: unknown kind: " + kind;
                    ok = false;
                } else {
                    o.Verdicts.push_back(*verdict);
                }
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        } else if (arg == "--verdict-text") {
            std::string text;
            ok = value(text);
            o.VerdictText = text;
        } else if (arg == "--verdict-delay") {
            ok = number(o.VerdictDelayMs, 0);
        } else if (arg == "--result-chatter") {
            ok = numberList(o.ResultChatter);
        } else if (arg == "--saved-chatter") {
            if (i + 1 < args.size() && args[i + 1] == "forever") {
                o.SavedChatter = -1;
                ++i;
            } else {
                ok = number(o.SavedChatter, 0);
            }
        } else if (arg == "--startup-delay") {
            ok = number(o.StartupDelayMs, 0);
        } else if (arg == "--own-restart") {
            ok = number(o.OwnRestartMs, 0);
        } else if (arg == "--next-receiver") {
            ok = number(o.NextReceiverMs, 0);
        } else if (arg == "--replug") {
            ok = number(o.ReplugMs, 0);
        } else if (arg == "--silent") {
            o.Silent = true;
        } else if (arg == "--garbage") {
            ok = number(o.Garbage, 0);
        } else if (arg == "--flash-loop") {
            o.FlashLoop = true;
        } else if (arg == "--channel-list") {
            o.ChannelList = true;
        } else if (arg == "--exit-menu") {
            o.ExitMenu = true;
        } else if (arg == "--vanish-after") {
            ok = number(o.VanishAfter, 0);
        } else if (arg == "--stall-after") {
            ok = number(o.StallAfter, 0);
        } else if (arg == "--rate") {
            ok = number(o.Rate, 1);
        } else {
            result.Error = "unknown option: " + arg;
            ok = false;
        }
        if (!ok)
            return result;
    }
    if (o.StartupDelayMs < 0)
        o.StartupDelayMs = o.BurstGapMs;
    if (o.ReplugMs >= 0 && o.LinkPath.empty())
        result.Error = "--replug needs --link: the next device is found under the link";
    return result;
}
