// SPDX-License-Identifier: MIT
#include "RunStart.h"

#include "FirmFileSet.h"
#include "FolderLock.h"
#include "Messages.h"
#include "SystemTexts.h"
#include "Win1252.h"

bool TakeRunFolder(FolderLock& lock, const std::string& folder)
{
    if (lock.Take(folder) != FolderLock::Result::Busy)
        return true;
    MessageBox(Texts::AnotherUpdateRunning, Texts::BoxCaption, MsgIcon::Warning);
    return false;
}

std::string FirmFileProblemText(const FirmFileProblem& problem)
{
    const std::string what = problem.Path.empty()
                                 ? std::string("the firmware files")
                                 : "the firmware file " + ToSystemText(FromLocalPath(problem.Path));
    return "Cannot use " + what + ": " + problem.Reason + ". Nothing was sent.";
}

void ShowFirmFileProblem(const FirmFileProblem& problem)
{
    MessageBox(FirmFileProblemText(problem), Texts::BoxCaption, MsgIcon::Warning);
}
