// SPDX-License-Identifier: MIT
// zendrak-cli with its stdout on a terminal whose output is stopped (Ctrl-S): the line keeps its
// pace, every byte arrives, and once output resumes the run's texts all appear in order.
#include "FaultSupport.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

// zendrak-cli with stdout and stderr on the slave end of a fresh pseudo-terminal.
class CliOnTerminal {
public:
    ~CliOnTerminal()
    {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        if (Master >= 0)
            close(Master);
        if (Slave >= 0)
            close(Slave);
    }

    bool Start(const Scenario& s, const std::vector<std::string>& args)
    {
        if (openpty(&Master, &Slave, nullptr, nullptr, nullptr) != 0)
            return false;
        termios raw{};
        tcgetattr(Slave, &raw);
        cfmakeraw(&raw);  // no CR before each LF: the output as the program wrote it
        tcsetattr(Slave, TCSANOW, &raw);
        // Stopped before the program starts, so the whole run meets a stopped terminal.
        if (tcflow(Slave, TCOOFF) != 0)
            return false;
        std::vector<std::string> all = {CliPath(), "-C", s.RunDir};
        all.insert(all.end(), args.begin(), args.end());
        Pid = fork();
        if (Pid == 0) {
            dup2(Slave, STDOUT_FILENO);
            dup2(Slave, STDERR_FILENO);
            for (const auto& [name, value] : s.Env)
                setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return Pid > 0;
    }

    void Resume() { tcflow(Slave, TCOON); }

    // Reads the terminal until the program has exited and nothing more comes; its exit status.
    int ReadUntilExit(int timeoutMs)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = -1;
        bool exited = false;
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{Master, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                char buffer[4096];
                const ssize_t n = read(Master, buffer, sizeof buffer);
                if (n > 0) {
                    Out.append(buffer, static_cast<size_t>(n));
                    continue;
                }
            }
            if (exited)
                break;
            int raw = 0;
            if (waitpid(Pid, &raw, WNOHANG) == Pid) {
                exited = true;
                Pid = -1;
                status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            }
        }
        return status;
    }

    std::string Out;

private:
    pid_t Pid = -1;
    int Master = -1;
    int Slave = -1;
};

TEST(StoppedTerminal, TheLineKeepsItsPaceAndNoTextIsLost)
{
    // 46,080 bytes: four seconds at the line rate.
    const std::string file = SampleFirmware(46080, 61);
    Scenario s;
    s.AddFile("font.app", file);
    ASSERT_TRUE(s.StartSimulator({"--rate", "11520", "--expect", "46080"}));
    CliOnTerminal cli;
    ASSERT_TRUE(cli.Start(s, {"-p", "COM1"}));

    ASSERT_TRUE(WaitForTranscript(s, "r\nl\n", 30000)) << s.Transcript();
    const auto loaded = std::chrono::steady_clock::now();
    // The line time and a generous margin for a loaded machine; a worker held back by the
    // stopped terminal would not finish the file before output resumes.
    ASSERT_TRUE(WaitForSaved(s, 1, 4000 + 12000));
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - loaded).count();
    RecordProperty("file_seconds", std::to_string(seconds));
    EXPECT_TRUE(SameBytes(s.Saved(1), file));

    cli.Resume();
    EXPECT_EQ(cli.ReadUntilExit(60000), 0) << cli.Out;
    // Every text of the run, in order, and the outcome last.
    const std::vector<std::string> inOrder = {"Sending " + s.Path("font.app"),
                                              "font.app: 46080 bytes in ", "Update OK\n"};
    size_t at = 0;
    for (const auto& text : inOrder) {
        const size_t found = cli.Out.find(text, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << text << "\n"
                                            << cli.Out;
        at = found + text.size();
    }
    EXPECT_EQ(cli.Out.size(), at) << "the outcome is not the last text";
    const size_t statuses = [&] {
        size_t n = 0;
        for (const char* status : {"Speichern beendet", "Receiver starten"})
            n += cli.Out.find(status) != std::string::npos;
        return n;
    }();
    EXPECT_EQ(statuses, 2u) << cli.Out;
    EXPECT_TRUE(SameBytes(s.Log(), ExpectedLog()
                                       .Start(s.Path("font.app"))
                                       .Add(Texts::LogSendRestart)
                                       .Add(Texts::LogFoundStartUpControl)
                                       .StoredFile()
                                       .Succeeded()
                                       .Bytes()));
}

}  // namespace
