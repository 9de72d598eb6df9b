// SPDX-License-Identifier: MIT
// What a series of SIGINT and SIGTERM means during a run: a warning, then a cancel only when the
// next one comes within five seconds of the warning.
#include "RunSignals.h"

#include <gtest/gtest.h>

#include <csignal>

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
                    PolicyCase{"NothingMoreOnceCancelling",
                               {{SIGINT, 0, Action::Warn},
                                {SIGINT, 10, Action::Cancel},
                                {SIGTERM, 20, Action::Nothing},
                                {SIGINT, 9000, Action::Nothing}},
                               SIGINT}),
    [](const testing::TestParamInfo<PolicyCase>& info) { return info.param.Name; });

}  // namespace
