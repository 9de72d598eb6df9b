// SPDX-License-Identifier: MIT
// Signals that reach zendrak-cli mid-file at the line rate: a closed terminal, Ctrl-Z or one
// Ctrl-C leave the run to finish with every byte at the receiver; a second Ctrl-C or SIGTERM
// within five seconds cancels it between two 10-byte blocks, sends nothing more and keeps the log.
// A background job whose output makes the terminal send it SIGTTOU is not stopped either.
#include "FaultSupport.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

constexpr int CliTimeoutMs = 150000;

struct SignalCase {
    const char* Name;
    std::vector<int> Signals;  // sent mid-file, a moment apart
    int Exit;
    bool Warns;  // "Update in progress. ..." on stderr
};

void PrintTo(const SignalCase& c, std::ostream* os)
{
    *os << c.Name;
}

class MidFileSignals : public testing::TestWithParam<SignalCase> {};

TEST_P(MidFileSignals, FinishOrCancelCleanly)
{
    const SignalCase& c = GetParam();
    Scenario s;
    // About 5 s at the line rate: every signal arrives while the file is being sent.
    const std::string font = SampleFirmware(60000, 91);
    s.AddFile("font.app", font);
    ASSERT_TRUE(s.StartSimulator({"--rate", "11520"}));
    ASSERT_TRUE(StartCli(s, s.Cli));
    ASSERT_TRUE(WaitForTranscript(s, "r\nl\n")) << s.Transcript();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    for (const int signal : c.Signals) {
        ASSERT_TRUE(s.Cli.Signal(signal));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const int status = s.Cli.Wait(CliTimeoutMs);
    ASSERT_EQ(status, c.Exit) << "stdout:\n" << s.Cli.Out << "stderr:\n" << s.Cli.Err;
    EXPECT_EQ(s.Cli.Err.find(Texts::UpdateInProgress) != std::string::npos, c.Warns) << s.Cli.Err;

    if (c.Exit == 0) {
        EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateOk);
        EXPECT_EQ(s.WaitSimulator(), 0);
        EXPECT_EQ(s.Transcript(), "r\nl\ns\n");
        EXPECT_TRUE(SameBytes(s.Saved(1), font));
        return;
    }
    EXPECT_EQ(s.LastStdoutLine(), Texts::UpdateError);
    const std::string log = s.Log();
    const std::string end = "\r\nUpdate cancelled by the user\r\nTerminated\r\n";
    EXPECT_EQ(log.rfind("Loading firmware\r\n", 0), 0u) << ShowLog(log);
    EXPECT_TRUE(log.size() > end.size() &&
                log.compare(log.size() - end.size(), end.size(), end) == 0)
        << ShowLog(log);
    ASSERT_TRUE(WaitForSaved(s, 1));
    s.StopSimulator();
    const std::string received = s.Saved(1);
    EXPECT_TRUE(PrefixOf(received, font));
    EXPECT_EQ(received.size() % 10, 0u) << received.size() << " bytes";
    EXPECT_GT(received.size(), 0u);
    EXPECT_LT(received.size(), font.size());
    EXPECT_EQ(s.Transcript(), "r\nl\n");  // no start command
}

INSTANTIATE_TEST_SUITE_P(
    Signals, MidFileSignals,
    testing::Values(SignalCase{"OneCtrlCOnlyWarns", {SIGINT}, 0, true},
                    SignalCase{"AClosedTerminalIsIgnored", {SIGHUP}, 0, false},
                    SignalCase{"CtrlZDoesNotStopTheRun", {SIGTSTP, SIGTTOU, SIGTTIN}, 0, true},
                    SignalCase{"TwoCtrlCsCancel", {SIGINT, SIGINT}, 130, true},
                    SignalCase{"TwoSigtermsCancel", {SIGTERM, SIGTERM}, 143, true}),
    [](const testing::TestParamInfo<SignalCase>& info) { return info.param.Name; });

}  // namespace

namespace {

pid_t backgroundCli = 0;

extern "C" void EndBackgroundCli(int)
{
    kill(backgroundCli, SIGKILL);
    _exit(97);
}

// Runs zendrak-cli as a background job of a terminal that has TOSTOP set, its output on that
// terminal; the run's output makes the kernel send it SIGTTOU. Returns the job's exit status,
// 99 when it was stopped, 97 when it did not end in time.
int RunAsBackgroundJob(Scenario& s, int master, const std::string& slavePath)
{
    std::vector<std::string> args = {CliPath(), "-C", s.RunDir, "-p", "COM1"};
    std::vector<std::string> env;
    for (const auto& [name, value] : s.Env)
        env.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t session = fork();
    if (session == 0) {
        // A session of its own whose controlling terminal is the pty; this process stays in the
        // foreground group, the program goes into a background group.
        close(master);
        setsid();
        const int slave = open(slavePath.c_str(), O_RDWR);
        termios settings{};
        tcgetattr(slave, &settings);
        settings.c_lflag |= TOSTOP;
        tcsetattr(slave, TCSANOW, &settings);
        backgroundCli = fork();
        if (backgroundCli == 0) {
            setpgid(0, 0);
            dup2(slave, 1);
            dup2(slave, 2);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        setpgid(backgroundCli, backgroundCli);
        signal(SIGALRM, EndBackgroundCli);
        alarm(120);
        int status = 0;
        waitpid(backgroundCli, &status, WUNTRACED);
        if (WIFSTOPPED(status)) {
            kill(backgroundCli, SIGKILL);
            _exit(99);
        }
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 98);
    }
    // Read the terminal so that it never fills up, until the job's session has ended.
    int status = 0;
    while (waitpid(session, &status, WNOHANG) == 0) {
        pollfd p{master, POLLIN, 0};
        char buffer[4096];
        if (poll(&p, 1, 100) > 0 && read(master, buffer, sizeof buffer) < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BackgroundJob, WritingToATerminalWithTostopNeitherStopsNorHoldsTheRun)
{
    Scenario s;
    const std::string font = SampleFirmware(30000, 92);
    s.AddFile("font.app", font);
    ASSERT_TRUE(s.StartSimulator({"--rate", "11520"}));
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slavePath = ptsname(master);
    EXPECT_EQ(RunAsBackgroundJob(s, master, slavePath), 0);
    close(master);
    EXPECT_EQ(s.WaitSimulator(), 0);
    EXPECT_TRUE(SameBytes(s.Saved(1), font));
}

}  // namespace
