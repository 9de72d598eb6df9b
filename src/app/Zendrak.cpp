// SPDX-License-Identifier: MIT
// Zendrak's entry point: the application object, its title and help file, the main window in
// Form1, and the event loop. The program reads no arguments and ends with exit code 0 (1 only
// when it cannot even open /dev/null for a closed standard descriptor).
#include "Messages.h"
#include "QtMessageService.h"
#include "StandardDescriptors.h"
#include "StartUnit.h"
#include "SystemTexts.h"
#include "TApplication.h"
#include "TThread.h"
#include "Win1252.h"
#include "help/HelpManager.h"
#include "QelHtmlHelp.h"

#include <QFont>

int main(int argc, char** argv)
{
    // Before anything is opened: the port must never take the number of stdout or stderr.
    if (!EnsureStandardDescriptors())
        return 1;
    // Qt sees only the program's name: the program takes no options of its own or of Qt's.
    int qtArgc = argc > 0 ? 1 : 0;
    TApplication application(qtArgc, argv);  // initialise the application
    QtMessageService messageBoxes;
    SetMessageService(&messageBoxes);
    try {
        Application().Title = Texts::ApplicationTitle;
        QApplication::setApplicationName(FromSystemText(Texts::ApplicationTitle));
        Application().HelpFile = Texts::HelpFileName;

        // ---- Help viewer start-up --------------------------------------------------------
        // The help viewer registers itself with the help manager here, before the main window
        // is created.
        InitializeQelHtmlHelp();
        // ---- end of help viewer start-up --------------------------------------------------

        TForm1 form;
        Form1 = &form;
        SetHelpOwnerWindow(&form);
        form.show();
        application.exec();

        // No worker outlives the window: closing is refused while one runs, and the last one
        // is done with the window once its done notification has returned.
        TThread::WaitForAll();
        SetHelpOwnerWindow(nullptr);
        Form1 = nullptr;

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
