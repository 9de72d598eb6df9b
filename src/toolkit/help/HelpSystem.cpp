// SPDX-License-Identifier: MIT
#include "help/HelpSystem.h"

#include "help/HelpManager.h"

void HelpShowTableOfContents()
{
    if (IPtr<IHelpSystem> helpSystem = GetHelpSystem())
        helpSystem->ShowTableOfContents();
}
