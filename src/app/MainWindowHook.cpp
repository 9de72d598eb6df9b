// SPDX-License-Identifier: MIT
#include "MainWindowHook.h"

void MainWindowCreated(TForm1& /*form*/) {}

void BenchWindowCreated(BenchWindow& /*bench*/) {}
