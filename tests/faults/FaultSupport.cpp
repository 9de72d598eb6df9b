// SPDX-License-Identifier: MIT
#include "FaultSupport.h"

#include "SimDriver.h"
#include "SystemTexts.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

bool PollFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool WaitForTranscript(const Scenario& s, const std::string& prefix, int timeoutMs)
{
    return PollFor([&] { return StartsWith(s.Transcript(), prefix); }, timeoutMs);
}

bool WaitForSaved(const Scenario& s, int n, int timeoutMs)
{
    const std::string path = s.Dir + "/saved/file-" + std::to_string(n) + ".bin";
    return PollFor([&] { return std::filesystem::exists(path); }, timeoutMs);
}

testing::AssertionResult EarlierLogKeptOrReplacedWhole(const std::string& log)
{
    if (log == EarlierLog)
        return testing::AssertionSuccess() << "the earlier log";
    const std::string first = std::string(Texts::LogLoadingFirmware) + "\r\n";
    const std::string last = std::string("\r\n") + Texts::LogTerminated + "\r\n";
    if (StartsWith(log, first) && EndsWith(log, last) &&
        log.find("an earlier run") == std::string::npos)
        return testing::AssertionSuccess() << "a whole new log";
    return testing::AssertionFailure()
           << "neither the earlier log nor a whole new one:" << ShowLog(log);
}

testing::AssertionResult PrefixOf(const std::string& sent, const std::string& file)
{
    if (sent.size() <= file.size() && file.compare(0, sent.size(), sent) == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << sent.size() << " bytes received are not a prefix of the "
                                       << file.size() << "-byte file";
}

testing::AssertionResult ClearOutcome(const ChildProcess& cli, int status)
{
    const std::string line = cli.Out.empty() ? std::string() : [&] {
        std::string out = cli.Out;
        if (out.back() == '\n')
            out.pop_back();
        const size_t nl = out.rfind('\n');
        return nl == std::string::npos ? out : out.substr(nl + 1);
    }();
    if ((status == 0 && line == Texts::UpdateOk) || (status == 1 && line == Texts::UpdateError))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "exit status " << status << ", last line \"" << line << "\", stderr:\n"
           << cli.Err;
}

bool StartCli(Scenario& s, ChildProcess& cli, const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"-C", s.RunDir};
    all.insert(all.end(), args.begin(), args.end());
    return cli.Start(CliPath(), all, s.Env);
}
