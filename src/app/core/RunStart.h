// SPDX-License-Identifier: MIT
// The checks before a run starts that the window and the command line share: one run per
// folder, and firmware files that can be used whole. Each refusal is a box (a stderr line in the
// command line) and the run does not start: nothing is sent.
#pragma once

#include <string>

class FolderLock;
struct FirmFileProblem;

// Takes the lock on a run's folder. False when another run holds it, after the box "Another
// update is running in this folder.", and when the folder cannot be opened or locked, after a
// box that names it and the reason. A file system without locks lets the run go on unlocked.
bool TakeRunFolder(FolderLock& lock, const std::string& folder = ".");

// The text that says why a folder cannot be locked for a run (Windows-1252); "." is named by
// its full path.
std::string FolderLockProblemText(const std::string& folder, int error);

// The text that says which firmware file cannot be used and why (Windows-1252).
std::string FirmFileProblemText(const FirmFileProblem& problem);
// Shows it in a box.
void ShowFirmFileProblem(const FirmFileProblem& problem);
