// SPDX-License-Identifier: MIT
#include "WindowPlatformGuard.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

struct HeldMessage {
    QtMsgType Type;
    std::string File, Function, Category;
    int Line;
    QString Text;
};

std::mutex lock;
QtMessageHandler previous = nullptr;
std::string programName;
std::vector<HeldMessage> held;

bool IsSet(const char* value)
{
    return value && *value;
}

bool FromPlatform(const QMessageLogContext& context)
{
    return context.category && std::strncmp(context.category, "qt.qpa", 6) == 0;
}

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    std::unique_lock guard(lock);
    if (type == QtFatalMsg) {
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        const char* display = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr,
                     "%s: cannot open the window: %s. zendrak-cli runs an update without "
                     "one.\n",
                     programName.c_str(),
                     WindowPlatformProblem(platform, display, wayland).c_str());
        // Qt's details help only where something was tried.
        if (IsSet(platform) || IsSet(display) || IsSet(wayland))
            for (const HeldMessage& message : held)
                std::fprintf(stderr, "  %s\n", message.Text.toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(2);  // nothing of the program has started that would need ending
    }
    if (FromPlatform(context)) {
        held.push_back({type, context.file ? context.file : "",
                        context.function ? context.function : "", context.category, context.line,
                        text});
        return;
    }
    guard.unlock();
    if (previous)
        previous(type, context, text);
}

}  // namespace

WindowPlatformGuard::WindowPlatformGuard(std::string program)
{
    std::lock_guard guard(lock);
    programName = std::move(program);
    held.clear();
    previous = qInstallMessageHandler(OnQtMessage);
}

WindowPlatformGuard::~WindowPlatformGuard()
{
    std::vector<HeldMessage> messages;
    QtMessageHandler restored = nullptr;
    {
        std::lock_guard guard(lock);
        qInstallMessageHandler(previous);
        restored = previous;
        messages.swap(held);
    }
    // The platform started after all: its words go out as they would have.
    for (const HeldMessage& m : messages) {
        const QMessageLogContext context(m.File.c_str(), m.Line, m.Function.c_str(),
                                         m.Category.c_str());
        if (restored)
            restored(m.Type, context, m.Text);
    }
}

std::string WindowPlatformProblem(const char* platform, const char* display, const char* wayland)
{
    if (IsSet(platform))
        return std::string("the platform \"") + platform +
               "\" that QT_QPA_PLATFORM names cannot start";
    if (IsSet(display) && IsSet(wayland))
        return std::string("neither the display ") + display + " (DISPLAY) nor " + wayland +
               " (WAYLAND_DISPLAY) can be reached";
    if (IsSet(display))
        return std::string("the display ") + display + " (DISPLAY) cannot be reached";
    if (IsSet(wayland))
        return std::string("the display ") + wayland + " (WAYLAND_DISPLAY) cannot be reached";
    return "there is no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
}
