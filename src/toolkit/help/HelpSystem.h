// SPDX-License-Identifier: MIT
// The application's help system, as the window asks it for help.
#pragma once

// Asks the help system to show the table of contents of the application's help file.
void HelpShowTableOfContents();
