// SPDX-License-Identifier: MIT
// Test support: a program run as a child process with its own arguments, environment additions
// and working directory; stdout and stderr are collected; a generous time-out kills it.
#pragma once

#include <sys/types.h>
#include <map>
#include <string>
#include <vector>

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts program with args; env entries are added to (or replace) the test's environment;
    // an empty dir keeps the test's working directory. False when it cannot be started.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}, const std::string& dir = {});
    // The first line of stdout (without its newline); empty when none came in time.
    std::string ReadLine(int timeoutMs);
    // Waits for the exit; returns the exit status, or -1 after the time-out (the child is then
    // killed) or when it died from a signal.
    int Wait(int timeoutMs);
    // Asks the child to stop (SIGTERM) and waits for it.
    void Stop();
    // Sends `signal` to the running child; false when it is not running.
    bool Signal(int signal);
    // True while the child has not exited (reaps it when it has).
    bool Running();

    std::string Out;  // all of stdout (after Wait)
    std::string Err;  // all of stderr (after Wait)

private:
    void Drain(int timeoutMs);

    pid_t Pid = -1;
    int OutFd = -1;
    int ErrFd = -1;
    size_t LineTaken = 0;
};
