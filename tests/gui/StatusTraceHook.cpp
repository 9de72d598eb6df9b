// SPDX-License-Identifier: MIT
// The test-only build of the window program: the same entry point, with the window's status
// texts and the place of "Start Update" (or the bench's summary lines) written to stderr, so
// that a test outside the process can click the button and follow the run.
#include "BenchWindow.h"
#include "MainWindowHook.h"
#include "StartUnit.h"

#include <QPushButton>
#include <cstdio>

void MainWindowCreated(TForm1& form)
{
    const QPoint centre = form.ButtonStart->mapTo(&form, form.ButtonStart->rect().center());
    std::fprintf(stderr, "zendrak-start-button: %d %d\n", centre.x(), centre.y());
    std::fflush(stderr);
    form.OnStatusText = [](const QString& text) {
        std::fprintf(stderr, "zendrak-status: %s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
    };
}

void BenchWindowCreated(BenchWindow& bench)
{
    bench.OnSummary = [](const QString& text) {
        std::fprintf(stderr, "zendrak-bench-summary: %s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
    };
}
