// SPDX-License-Identifier: MIT
// Starting the window where no window can be shown (no display, a platform that cannot start):
// Qt ends such a program with a fatal message and abort(). While the guard is up, that fatal
// message becomes one line on stderr that says what is missing, and exit status 2; Qt's own
// words about the platform are kept back and follow it, or go out as usual once the window's
// platform has started.
#pragma once

#include <string>

class WindowPlatformGuard {
public:
    explicit WindowPlatformGuard(std::string program);
    ~WindowPlatformGuard();
    WindowPlatformGuard(const WindowPlatformGuard&) = delete;
    WindowPlatformGuard& operator=(const WindowPlatformGuard&) = delete;
};

// What keeps the window from showing, from the variables that choose the platform and the
// display (null when unset): "there is no display: neither DISPLAY nor WAYLAND_DISPLAY is set".
std::string WindowPlatformProblem(const char* platform, const char* display, const char* wayland);
