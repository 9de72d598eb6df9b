// SPDX-License-Identifier: MIT
// bench_window_run: one update run through the main window, as a press of "Start Update" makes
// it, then the process's peak memory. Run it in a directory that holds the firmware files and
// a "Zendrak.dat" naming a COM port of the port map (QT_QPA_PLATFORM=offscreen needs no
// display). Prints the status bar's last text and the peak resident size (VmHWM) in KiB.
// Exit status 0 after "Update OK".
#include "Messages.h"
#include "StartUnit.h"
#include "TApplication.h"
#include "TThread.h"

#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

long PeakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    int qtArgc = argc > 0 ? 1 : 0;
    TApplication application(qtArgc, argv);
    // Boxes go to stderr: a failed run must not wait for a click no one makes.
    StderrMessageService messages;
    SetMessageService(&messages);
    int result = 1;
    {
        TForm1 form;
        Form1 = &form;
        form.show();
        bool started = false;
        QTimer::singleShot(0, &form, [&] {
            form.ButtonStartClick(form.ButtonStart);
            started = form.UpdateRunning;
            if (!started)
                QApplication::quit();
        });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (started && !form.UpdateRunning)
                QApplication::quit();
        });
        poll.start(50);
        application.exec();
        TThread::WaitForAll();
        const QString status = form.StatusText();
        std::printf("status=%s\n", status.toUtf8().constData());
        result = form.UpdateSucceeded ? 0 : 1;
        Form1 = nullptr;
    }
    std::printf("vmhwm_kib=%ld\n", PeakResidentKiB());
    SetMessageService(nullptr);
    return result;
}
