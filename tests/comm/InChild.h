// SPDX-License-Identifier: MIT
// Test support: a piece of a test run in a child process, as an ordinary user where it asks so
// and the test runs as root (root passes every permission check), with a bound on its time.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <thread>

// What `work` returned in the child; "timeout" when it did not end within `limit` (it is killed),
// "crash" when it did not end normally. With `asNobody`, a child of root runs as user nobody.
inline std::string InChild(bool asNobody, const std::function<std::string()>& work,
                           std::chrono::seconds limit = std::chrono::seconds(20))
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        const std::string result = work();
        ::_exit(::write(pipeFds[1], result.data(), result.size()) < 0 ? 4 : 0);
    }
    ::close(pipeFds[1]);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ::close(pipeFds[0]);
            return "timeout";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "crash";
    return result;
}
