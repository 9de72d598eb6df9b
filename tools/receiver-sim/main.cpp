// SPDX-License-Identifier: MIT
// zendrak-receiver-sim: a satellite receiver's console on a pseudo-terminal, for tests and the
// demo. See --help.
#include "Options.h"
#include "Simulator.h"
#include "StandardDescriptors.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Before anything is opened: the pseudo-terminal must never take the number of stdout.
    if (!EnsureStandardDescriptors())
        return 2;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = ParseOptions(args);
    if (!parsed.Error.empty()) {
        std::fprintf(stderr, "zendrak-receiver-sim: %s\nTry 'zendrak-receiver-sim --help'.\n",
                     parsed.Error.c_str());
        return 2;
    }
    if (parsed.ShowVersion) {
        std::printf("zendrak-receiver-sim %s\n", ZENDRAK_VERSION);
        return 0;
    }
    if (parsed.ShowHelp) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    return RunSimulator(parsed.Options);
}
