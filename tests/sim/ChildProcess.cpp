// SPDX-License-Identifier: MIT
#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point end)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

ChildProcess::~ChildProcess()
{
    if (Pid > 0) {
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
    }
    if (OutFd >= 0)
        close(OutFd);
    if (ErrFd >= 0)
        close(ErrFd);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& dir)
{
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!dir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!env.count(entry.substr(0, entry.find('='))))
            envText.push_back(entry);
    }
    for (const auto& [name, value] : env)
        envText.push_back(name + "=" + value);
    std::vector<char*> envp, argv;
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string prog = program;
    argv.push_back(prog.data());
    std::vector<std::string> argCopy = args;
    for (auto& a : argCopy)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const int rc = posix_spawn(&Pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    OutFd = out[0];
    ErrFd = err[0];
    if (rc != 0) {
        Pid = -1;
        return false;
    }
    return true;
}

void ChildProcess::Drain(int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (OutFd >= 0 || ErrFd >= 0) {
        pollfd fds[2] = {{OutFd, POLLIN, 0}, {ErrFd, POLLIN, 0}};
        const int n = poll(fds, 2, MsLeft(end));
        if (n <= 0)
            return;
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            char buffer[4096];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                (i == 0 ? Out : Err).append(buffer, static_cast<size_t>(got));
            } else {
                close(fds[i].fd);
                (i == 0 ? OutFd : ErrFd) = -1;
            }
        }
        if (timeoutMs == 0)
            return;
    }
}

std::string ChildProcess::ReadLine(int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const size_t nl = Out.find('\n', LineTaken);
        if (nl != std::string::npos) {
            std::string line = Out.substr(LineTaken, nl - LineTaken);
            LineTaken = nl + 1;
            return line;
        }
        if (MsLeft(end) == 0 || OutFd < 0)
            return {};
        pollfd p{OutFd, POLLIN, 0};
        if (poll(&p, 1, MsLeft(end)) <= 0)
            return {};
        char buffer[4096];
        const ssize_t got = read(OutFd, buffer, sizeof buffer);
        if (got <= 0) {
            close(OutFd);
            OutFd = -1;
        } else {
            Out.append(buffer, static_cast<size_t>(got));
        }
    }
}

int ChildProcess::Wait(int timeoutMs)
{
    if (Pid <= 0)
        return -1;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (true) {
        Drain(50);
        const pid_t done = waitpid(Pid, &status, WNOHANG);
        if (done == Pid)
            break;
        if (MsLeft(end) == 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, &status, 0);
            Pid = -1;
            Drain(200);
            return -1;
        }
    }
    Pid = -1;
    Drain(2000);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ChildProcess::Running()
{
    if (Pid <= 0)
        return false;
    int status = 0;
    if (waitpid(Pid, &status, WNOHANG) == Pid) {
        Pid = -1;
        Drain(2000);
        return false;
    }
    return true;
}

void ChildProcess::Stop()
{
    if (Pid > 0) {
        kill(Pid, SIGTERM);
        Wait(5000);
    }
}

bool ChildProcess::Signal(int signal)
{
    return Pid > 0 && kill(Pid, signal) == 0;
}
