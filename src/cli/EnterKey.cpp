// SPDX-License-Identifier: MIT
#include "EnterKey.h"

#include <QSocketNotifier>

#include <unistd.h>
#include <algorithm>
#include <cerrno>

EnterKey::EnterKey(std::function<void()> pressed) : Pressed(std::move(pressed))
{
    if (::isatty(STDIN_FILENO) != 1)
        return;
    Notifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(Notifier.get(), &QSocketNotifier::activated, [this] { Read(); });
}

EnterKey::~EnterKey() = default;

void EnterKey::Read()
{
    char typed[256];
    ssize_t count;
    do {
        count = ::read(STDIN_FILENO, typed, sizeof typed);
    } while (count < 0 && errno == EINTR);
    if (count <= 0) {
        // The end of the input (Ctrl-D), a closed terminal, or a background job's read: the
        // terminal stays readable and would call again at once.
        Notifier->setEnabled(false);
        return;
    }
    if (std::find(typed, typed + count, '\n') != typed + count)
        Pressed();
}
