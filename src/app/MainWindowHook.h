// SPDX-License-Identifier: MIT
// Called once the main window exists, before it is shown. The program's own build does
// nothing here; a test-only build of the same entry point puts its observers on the window.
#pragma once

class TForm1;

void MainWindowCreated(TForm1& form);
