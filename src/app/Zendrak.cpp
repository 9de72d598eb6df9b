// SPDX-License-Identifier: MIT
// Zendrak's entry point: the application object, its title and help file, the main window in
// Form1 (or with --bench the bench alone), and the event loop. It reads --help, --version,
// --bench with its ports and an optional firmware folder; once the window has run it ends with
// exit code 0 (1 when it cannot even open /dev/null for a closed standard descriptor or cannot
// write its help or version; 2 for a usage error, a folder it cannot use, or no display to show
// the window on).
#include "BenchWindow.h"
#include "MainWindowHook.h"
#include "Messages.h"
#include "ProgramOptions.h"
#include "QelHtmlHelp.h"
#include "QtMessageService.h"
#include "StandardDescriptors.h"
#include "StartUnit.h"
#include "SystemTexts.h"
#include "TApplication.h"
#include "Win1252.h"
#include "WindowPlatformGuard.h"
#include "WindowSignals.h"
#include "help/HelpManager.h"

#include <QFont>
#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    // Before anything is opened: the port must never take the number of stdout or stderr.
    if (!EnsureStandardDescriptors())
        return 1;
    // Help and version need no display: they are answered before the application exists.
    const ProgramOptions options =
        ParseProgramOptions(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    // Text that could not be written (a full disk, a closed pipe) ends with exit code 1.
    const auto printed = [] { return FinishStandardOutput("zendrak") ? 0 : 1; };
    switch (options.What) {
    case ProgramOptions::Action::Help:
        std::signal(SIGPIPE, SIG_IGN);
        std::fputs(ProgramHelpText().c_str(), stdout);
        return printed();
    case ProgramOptions::Action::Version:
        std::signal(SIGPIPE, SIG_IGN);
        std::fputs(ProgramVersionText().c_str(), stdout);
        return printed();
    case ProgramOptions::Action::UsageError:
        std::fprintf(stderr, "zendrak: %s\nTry 'zendrak --help'.\n", options.Error.c_str());
        return 2;
    case ProgramOptions::Action::Run: break;
    }

    // Qt sees only the program's name: the program takes no options of Qt's.
    int qtArgc = argc > 0 ? 1 : 0;
    // Without a display Qt would abort: a clear line and exit code 2 instead.
    auto platformGuard = std::make_unique<WindowPlatformGuard>("zendrak");
    TApplication application(qtArgc, argv);  // initialise the application
    platformGuard.reset();
    QtMessageService messageBoxes;
    SetMessageService(&messageBoxes);
    try {
        Application().Title = Texts::ApplicationTitle;
        QApplication::setApplicationName(FromSystemText(Texts::ApplicationTitle));
        Application().HelpFile = Texts::HelpFileName;

        // The firmware folder before anything else: the settings file, the firmware files
        // and the log are taken and written there.
        std::string folder;
        if (!options.Folder.empty()) {
            std::string error;
            folder = FirmwareFolderPath(options.Folder, error);
            if (folder.empty()) {
                std::fprintf(stderr, "zendrak: %s\n", error.c_str());
                ShowMessage(ToSystemText(FromLocalPath(error)));
                SetMessageService(nullptr);
                return 2;
            }
        }

        // ---- Help viewer start-up --------------------------------------------------------
        // The help viewer registers itself with the help manager here, before the main window
        // is created.
        InitializeQelHtmlHelp();
        // ---- end of help viewer start-up --------------------------------------------------

        if (options.Bench) {
            BenchWindow bench(folder, options.Ports);
            messageBoxes.Owner = &bench;
            QApplication::setWindowIcon(bench.windowIcon());
            SetHelpOwnerWindow(&bench);
            const WindowSignals closeRequests(bench, [&bench] { return bench.CloseBySignal(); });
            BenchWindowCreated(bench);
            bench.show();
            if (bench.isVisible())
                application.exec();
            SetHelpOwnerWindow(nullptr);
            messageBoxes.Owner = nullptr;
        } else {
            TForm1 form(nullptr, folder);
            Form1 = &form;
            messageBoxes.Owner = &form;
            QApplication::setWindowIcon(form.windowIcon());  // every box carries it
            SetHelpOwnerWindow(&form);
            const WindowSignals closeRequests(form);
            MainWindowCreated(form);
            form.show();
            if (form.isVisible())  // not closed by a signal while a start-up box was open
                application.exec();
            // No run outlives its window: closing is refused while one lasts, and each one has
            // ended (its thread joined) when its end has been shown.
            SetHelpOwnerWindow(nullptr);
            messageBoxes.Owner = nullptr;
            Form1 = nullptr;
        }

        // ---- Help viewer shut-down -------------------------------------------------------
        // The help viewer's InternalShutdown runs here, at the end of the program.
        FinalizeQelHtmlHelp();
        // ---- end of help viewer shut-down -------------------------------------------------
    } catch (...) {
        Form1 = nullptr;
        TApplication::HandleException(std::current_exception());
    }
    SetMessageService(nullptr);
    return 0;
}
