// SPDX-License-Identifier: MIT
#include "Completion.h"

#include "MainThread.h"

#include <QCoreApplication>
#include <QEventLoop>

void Completion::Finish()
{
    std::lock_guard lock(Lock);
    Done = true;
    Changed.notify_all();
    if (Loop)
        QMetaObject::invokeMethod(Loop, &QEventLoop::quit, Qt::QueuedConnection);
}

bool Completion::Finished() const
{
    std::lock_guard lock(Lock);
    return Done;
}

void Completion::Wait()
{
    std::unique_lock lock(Lock);
    if (!QCoreApplication::instance() || !IsMainThread()) {
        Changed.wait(lock, [this] { return Done; });
        return;
    }
    QEventLoop loop;
    while (!Done) {
        Loop = &loop;
        lock.unlock();
        loop.exec();  // until Finish posts its quit (also when it came before exec began)
        lock.lock();
        Loop = nullptr;
    }
}
