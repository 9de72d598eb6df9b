// SPDX-License-Identifier: MIT
// Called once the main window (or with --bench the bench) exists, before it is shown. The
// program's own build does nothing here; a test-only build of the same entry point puts its
// observers on the window.
#pragma once

class BenchWindow;
class TForm1;

void MainWindowCreated(TForm1& form);
void BenchWindowCreated(BenchWindow& bench);
