// SPDX-License-Identifier: MIT
#include "SessionObserver.h"

void SessionObservers::WaitingForDevice(const std::string& port, double seconds)
{
    Each([&](SessionObserver& o) { o.WaitingForDevice(port, seconds); });
}

void SessionObservers::RunBegins(const RunPlan& plan, const RunIndex& index)
{
    Each([&](SessionObserver& o) { o.RunBegins(plan, index); });
}

void SessionObservers::PortClaimed(const std::string& port, const std::string& device)
{
    Each([&](SessionObserver& o) { o.PortClaimed(port, device); });
}

void SessionObservers::PortProblemFound(const PortProblem& problem)
{
    Each([&](SessionObserver& o) { o.PortProblemFound(problem); });
}

void SessionObservers::Warning(const std::string& text)
{
    Each([&](SessionObserver& o) { o.Warning(text); });
}

void SessionObservers::RunFinished(const RunResult& result)
{
    Each([&](SessionObserver& o) { o.RunFinished(result); });
}

void SessionObservers::RetryComing(const RunResult& failed, const RunIndex& next,
                                   std::chrono::milliseconds pause)
{
    Each([&](SessionObserver& o) { o.RetryComing(failed, next, pause); });
}

void SessionObservers::WaitingForNextReceiver(const std::string& port, const LineCounts& counts)
{
    Each([&](SessionObserver& o) { o.WaitingForNextReceiver(port, counts); });
}

void SessionObservers::SessionEnds(const std::vector<RunResult>& results)
{
    Each([&](SessionObserver& o) { o.SessionEnds(results); });
}
