// SPDX-License-Identifier: MIT
// zendrak-cli: the update run from the command line, over the same engine as the window.
#include "CliOptions.h"
#include "ExitStatus.h"
#include "JsonOutput.h"
#include "ListPorts.h"
#include "Messages.h"
#include "StandardDescriptors.h"
#include "SystemTexts.h"
#include "UpdateCommand.h"

#include <QCoreApplication>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>

#ifdef ZENDRAK_CLI_TEST_BUILD
#include "CliTestBuild.h"  // tests/cli: limits the tests shorten; never in the shipped program
#endif

int main(int argc, char** argv)
{
    // Before anything is opened: the port must never take the number of stdout or stderr.
    if (!EnsureStandardDescriptors())
        return ExitStatus::Usage;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CliParse parsed = ParseCliOptions(args);
    if (!parsed.Error.empty()) {
        if (WantsJson(args))
            std::fputs(UsageErrorEvent().c_str(), stdout);
        std::fflush(stdout);
        std::fprintf(stderr, "zendrak-cli: %s\nTry 'zendrak-cli --help'.\n", parsed.Error.c_str());
        return ExitStatus::Usage;
    }
    // A closed stdout (zendrak-cli | head -1) must not kill a run halfway through a file, and
    // a command that only prints says that its output was lost rather than vanish.
    std::signal(SIGPIPE, SIG_IGN);
    // Each exits 1 when its output could not be written.
    const auto printed = [](int code) { return FinishStandardOutput("zendrak-cli") ? code : 1; };
    switch (parsed.Options.Command) {
    case CliOptions::Action::Help:
        std::fputs(CliUsage().c_str(), stdout);
        return printed(ExitStatus::Ok);
    case CliOptions::Action::Version:
        std::printf("zendrak-cli %s\n", ZENDRAK_VERSION);
        return printed(ExitStatus::Ok);
    case CliOptions::Action::ListPorts: return printed(ListPortsCommand());
    case CliOptions::Action::ForgetPort:
        return printed(ForgetPortCommand(parsed.Options.ForgetNumber));
    case CliOptions::Action::Update: break;
    }
    QCoreApplication app(argc, argv);
    Application().Title = Texts::ApplicationTitle;
#ifdef ZENDRAK_CLI_TEST_BUILD
    const std::optional<std::chrono::milliseconds> waitSavedLimit = TestWaitSavedLimit();
#else
    const std::optional<std::chrono::milliseconds> waitSavedLimit;
#endif
    // One port or several: a session for each, all at once.
    return RunUpdateCommand(parsed.Options, waitSavedLimit);
}
