// SPDX-License-Identifier: MIT
#include "ConsoleHost.h"

#include "MainThread.h"

ConsoleHost::ConsoleHost(TCommPort& port, FirmFileSet& files, ProgressView& view)
    : Port(port), Files(files), View(view)
{
    // The name of the file being sent: asked for on the worker, shown on the main thread.
    Files.ShowStatusText = [this](const std::string& name) {
        RunOnMainThread([this, name] { View.ShowFileName(name); });
    };
}

void ConsoleHost::SetProgressPosition(int position)
{
    RunOnMainThread([this, position] { View.ShowProgress(position); });
}

void ConsoleHost::ShowStatusText(const std::string& statusText)
{
    RunOnMainThread([this, statusText] { View.ShowStatus(statusText); });
}
