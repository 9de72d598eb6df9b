// SPDX-License-Identifier: MIT
// Fault-test support: waiting for a simulator's transcript or saved file, the earlier log that
// a failed run must leave alone, and what a log's bytes may be after a run.
#pragma once

#include "Scenario.h"

#include <gtest/gtest.h>

#include <string>

// A log that an earlier run left behind.
inline const std::string EarlierLog = "Loading firmware\r\nan earlier run\r\nTerminated\r\n";

// Polls until the simulator's transcript starts with `prefix`; false after timeoutMs.
bool WaitForTranscript(const Scenario& s, const std::string& prefix, int timeoutMs = 20000);
// Polls until the simulator has saved its n-th file.
bool WaitForSaved(const Scenario& s, int n, int timeoutMs = 30000);

// The log after a run: still the earlier one, or a whole new one that replaced it.
testing::AssertionResult EarlierLogKeptOrReplacedWhole(const std::string& log);
// What the receiver got is a prefix of the file (nothing at all counts as a prefix).
testing::AssertionResult PrefixOf(const std::string& sent, const std::string& file);
// The run's outcome line is one of the two, and the exit status matches it.
testing::AssertionResult ClearOutcome(const ChildProcess& cli, int status);

// Starts zendrak-cli in the scenario's run directory without waiting for it.
bool StartCli(Scenario& s, ChildProcess& cli,
              const std::vector<std::string>& args = {"-p", "COM1"});
