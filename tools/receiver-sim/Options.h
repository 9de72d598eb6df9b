// SPDX-License-Identifier: MIT
// The simulator's command line: what kind of receiver to play and which faults to show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class Verdict { Ok, Fin, Wrong, Silent };

struct SimOptions {
    std::string LinkPath;         // --link: symlink to the serial end
    int Runs = 1;                 // --runs: update runs to play ("s" commands to wait for)
    bool Menu = false;            // --menu: answer "r" with the start menu
    bool MenuAndControl = false;  // --menu-and-control: start menu and control in one burst
    bool BinaryPrompt = false;    // --binary-prompt: answer "l" with the binary-mode prompt
    int GapMs = 300;              // --gap: idle time that ends a file
    std::vector<int64_t> Expect;  // --expect: byte counts of the files, in order
    std::vector<Verdict> Verdicts = {Verdict::Ok};  // --verdict: each run's in turn, the last
                                                    // one for all later runs
    std::optional<std::string> VerdictText;  // --verdict-text: one burst instead of the verdict
    int VerdictDelayMs = 0;                  // --verdict-delay
    std::vector<int64_t> ResultChatter;  // --result-chatter: unmarked bursts before the verdict,
                                         // per file (the last count holds for later files)
    int SavedChatter = 0;                // --saved-chatter: extra progress lines; -1 for ever
    int BurstGapMs = 100;                // --burst-gap: pause between two bursts
    int BootDelayMs = 100;               // --boot-delay: from "r" to the first output
    int StartupDelayMs = -1;             // --startup-delay: after the garbage (default: burst gap)
    bool Silent = false;
    int Garbage = 0;
    bool FlashLoop = false;
    bool ChannelList = false;
    bool ExitMenu = false;
    int64_t VanishAfter = -1;  // file bytes, then the line is closed
    int64_t StallAfter = -1;   // file bytes, then nothing more is read
    int64_t Rate = 0;          // bytes per second read at most (0: no limit)
    std::string SaveDir;
    int LingerMs = 10000;  // after the last "s": wait this long for the line to close
    // The production line, each after an "s" (the last two only when more runs are to come):
    int OwnRestartMs = -1;    // --own-restart: the updated receiver's start-up output
    int NextReceiverMs = -1;  // --next-receiver: a new receiver's start-up output, unasked
    int ReplugMs = -1;        // --replug: the device unplugged, and as long again later a new one
    bool Verbose = false;
};

struct ParseResult {
    SimOptions Options;
    bool ShowHelp = false;
    bool ShowVersion = false;
    std::string Error;  // not empty: a usage error
};

ParseResult ParseOptions(const std::vector<std::string>& args);
std::string HelpText();
