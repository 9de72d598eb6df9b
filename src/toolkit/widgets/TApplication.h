// SPDX-License-Identifier: MIT
// The application object of the window program: a QApplication that never lets an exception
// unwind through Qt's event loop. An error that leaves an event handler is shown by the
// standard error report (its text and a full stop, the application's title, the error icon).
#pragma once

#include <QApplication>
#include <exception>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the standard error report for an exception caught elsewhere (start-up): the
    // toolkit's Exception with its text, std::exception with its text, anything else as an
    // Exception with an empty text.
    static void HandleException(std::exception_ptr error);
};
