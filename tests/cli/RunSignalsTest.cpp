// SPDX-License-Identifier: MIT
// What a series of SIGINT, SIGTERM and SIGQUIT means during a run: a warning, then a cancel only
// when the next one comes within five seconds of the warning, then, from a second after the
// cancel, the end of the program as the signal ends any program, also while the event loop is
// busy.
#include "RunSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <thread>

namespace {

using Action = CancelPolicy::Action;

struct Delivery {
    int Signal;
    int AtMs;  // since the first
    Action Expected;
};

struct PolicyCase {
    const char* Name;
    std::vector<Delivery> Deliveries;
    int CancelSignal;
};

void PrintTo(const PolicyCase& c, std::ostream* os)
{
    *os << c.Name;
}

class Policy : public testing::TestWithParam<PolicyCase> {};

TEST_P(Policy, WarnsThenCancelsWithinTheWindow)
{
    const PolicyCase& c = GetParam();
    CancelPolicy policy;
    const auto start = CancelPolicy::Clock::now();
    for (const Delivery& d : c.Deliveries)
        EXPECT_EQ(policy.Take(d.Signal, start + std::chrono::milliseconds(d.AtMs)), d.Expected)
            << "at " << d.AtMs << " ms";
    EXPECT_EQ(policy.CancelSignal(), c.CancelSignal);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, Policy,
    testing::Values(PolicyCase{"OneOnlyWarns", {{SIGINT, 0, Action::Warn}}, 0},
                    PolicyCase{"SecondWithinTheWindowCancels",
                               {{SIGINT, 0, Action::Warn}, {SIGINT, 4999, Action::Cancel}},
                               SIGINT},
                    PolicyCase{"TheCancellingSignalCounts",
                               {{SIGINT, 0, Action::Warn}, {SIGTERM, 100, Action::Cancel}},
                               SIGTERM},
                    PolicyCase{"AfterTheWindowItWarnsAgain",
                               {{SIGTERM, 0, Action::Warn},
                                {SIGTERM, 5000, Action::Warn},
                                {SIGTERM, 9000, Action::Cancel}},
                               SIGTERM},
                    PolicyCase{"QuitWarnsAndCancelsAsTheOthers",
                               {{SIGQUIT, 0, Action::Warn}, {SIGQUIT, 300, Action::Cancel}},
                               SIGQUIT},
                    PolicyCase{"AnyTwoOfTheThreeCancel",
                               {{SIGTERM, 0, Action::Warn}, {SIGQUIT, 4000, Action::Cancel}},
                               SIGQUIT},
                    PolicyCase{"AQuickThirdOneKeepsTheCancelGoing",
                               {{SIGINT, 0, Action::Warn},
                                {SIGINT, 10, Action::Cancel},
                                {SIGINT, 20, Action::Nothing},
                                {SIGTERM, 1009, Action::Nothing}},
                               SIGINT},
                    PolicyCase{"ALaterOneEndsTheProgram",
                               {{SIGINT, 0, Action::Warn},
                                {SIGINT, 10, Action::Cancel},
                                {SIGINT, 1010, Action::EndAsUsual},
                                {SIGQUIT, 9000, Action::EndAsUsual}},
                               SIGINT}),
    [](const testing::TestParamInfo<PolicyCase>& info) { return info.param.Name; });

// The real signals in a child: after a cancel, a signal that comes once the grace is over ends
// the program as that signal does, even though the event loop never runs again; one within the
// grace does not.
TEST(AfterCancel, EveryLaterSignalStillWorks)
{
    const struct {
        int Signal;
        int AfterMs;  // after the cancel, the event loop blocked meanwhile
        int EndedBy;  // the signal that ended the child; 0: it ran to its own end
    } cases[] = {{SIGINT, 0, 0}, {SIGINT, 1300, SIGINT}, {SIGTERM, 1300, SIGTERM}};
    for (const auto& c : cases) {
        const pid_t child = ::fork();
        if (child == 0) {
            int argc = 1;
            char name[] = "run-signals-test";
            char* argv[] = {name, nullptr};
            QCoreApplication app(argc, argv);
            RunSignals runSignals([](const std::string&) {}, [] {});
            ::raise(c.Signal);
            ::raise(c.Signal);
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (runSignals.CancelSignal() == 0 && std::chrono::steady_clock::now() < until)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            std::this_thread::sleep_for(std::chrono::milliseconds(c.AfterMs));
            ::raise(c.Signal);
            ::_exit(runSignals.CancelSignal() == c.Signal ? 0 : 3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(WIFSIGNALED(status) ? WTERMSIG(status) : 0, c.EndedBy) << c.AfterMs;
        EXPECT_TRUE(WIFSIGNALED(status) || WEXITSTATUS(status) == 0) << status;
    }
}

}  // namespace
