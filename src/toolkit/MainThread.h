// SPDX-License-Identifier: MIT
// Running work on the user-interface thread (the thread of the Qt application object).
#pragma once

#include <functional>

// True on the thread that owns the application object, or when there is none yet.
bool IsMainThread();

// Runs `work` on the user-interface thread and returns when it has run. On that thread it runs
// at once; from another thread it is queued to the event loop and the caller waits. An exception
// that `work` raises is raised again in the caller.
void RunOnMainThread(const std::function<void()>& work);
