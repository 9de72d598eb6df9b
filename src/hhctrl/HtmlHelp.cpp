// SPDX-License-Identifier: MIT
// The engine's entry point: one help window per help file, created on the first request for
// it and reused by the later ones.
#include "HtmlHelp.h"

#include "ChmFile.h"
#include "HelpWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QThread>

namespace {

QHash<QString, QPointer<HelpWindow>>& Windows()
{
    // Never destroyed: a request at program end must not meet a destroyed table.
    static auto* windows = new QHash<QString, QPointer<HelpWindow>>();
    return *windows;
}

bool OnUserInterfaceThread()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

QWidget* OwnerWidget(void* ownerWindow)
{
    if (ownerWindow)
        if (auto* widget = qobject_cast<QWidget*>(static_cast<QObject*>(ownerWindow)))
            return widget;
    QWidget* active = QApplication::activeWindow();
    // Help windows belong to the program's window, not to each other.
    return active && active->objectName() == HelpWindow::ObjectName ? active->parentWidget()
                                                                    : active;
}

void CloseAll()
{
    const auto windows = Windows().values();
    Windows().clear();
    for (const QPointer<HelpWindow>& window : windows)
        delete window.data();
}

HelpWindow* WindowFor(const QByteArray& localPath, void* ownerWindow)
{
    const QFileInfo info(QFile::decodeName(localPath));
    if (!info.isFile())
        return nullptr;
    const QString key = info.canonicalFilePath();
    if (HelpWindow* open = Windows().value(key))
        return open;
    std::unique_ptr<ChmFile> file = ChmFile::Open(QFile::encodeName(key));
    if (!file)
        return nullptr;
    auto* window =
        new HelpWindow(std::shared_ptr<ChmFile>(std::move(file)), key, OwnerWidget(ownerWindow));
    Windows().insert(key, window);
    return window;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int HtmlHelpA(void* ownerWindow, const char* file,
                                                                unsigned command, uintptr_t data)
{
    if (!OnUserInterfaceThread())
        return 0;
    if (command == HH_CLOSE_ALL) {
        CloseAll();
        return 0;
    }
    if (!file)
        return 0;
    QByteArray path(file);
    QString topic;
    if (const qsizetype split = path.indexOf("::"); split >= 0) {
        topic = QString::fromLocal8Bit(path.mid(split + 2));
        path.truncate(split);
    }
    switch (command) {
    case HH_DISPLAY_TOPIC:
    case HH_DISPLAY_TOC:
    case HH_DISPLAY_INDEX:
    case HH_HELP_CONTEXT: break;
    default: return 0;
    }
    HelpWindow* window = WindowFor(path, ownerWindow);
    if (!window)
        return 0;
    switch (command) {
    case HH_DISPLAY_TOPIC:
        if (topic.isEmpty() || topic == "/")
            window->ShowDefaultTopic();
        else
            window->ShowTopic(topic);
        break;
    case HH_DISPLAY_TOC:
        if (!topic.isEmpty() && topic != "/") {
            window->ShowContents();
            window->ShowTopic(topic);
        } else if (!window->isVisible() || window->CurrentTopic().isEmpty()) {
            window->ShowContents();
            window->ShowDefaultTopic();
        }
        // An open window is only raised: the user keeps the page and the tab they are on.
        break;
    case HH_DISPLAY_INDEX:
        if (window->CurrentTopic().isEmpty())
            window->ShowDefaultTopic();
        window->ShowIndex(data ? QString::fromLocal8Bit(reinterpret_cast<const char*>(data))
                               : QString());
        break;
    case HH_HELP_CONTEXT: window->ShowContext(static_cast<uint32_t>(data)); break;
    }
    window->Present();
    return 1;
}
