// SPDX-License-Identifier: MIT
#include "RunStart.h"

#include "FirmFileSet.h"
#include "FolderLock.h"
#include "Messages.h"
#include "SystemTexts.h"
#include "Win1252.h"

#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstring>

bool TakeRunFolder(FolderLock& lock, const std::string& folder)
{
    switch (lock.Take(folder)) {
    case FolderLock::Result::Taken:
    case FolderLock::Result::Unlocked: return true;
    case FolderLock::Result::Busy:
        MessageBox(Texts::AnotherUpdateRunning, Texts::BoxCaption, MsgIcon::Warning);
        return false;
    case FolderLock::Result::Failed: break;
    }
    MessageBox(FolderLockProblemText(folder, lock.Error()), Texts::BoxCaption, MsgIcon::Warning);
    return false;
}

std::string FolderLockProblemText(const std::string& folder, int error)
{
    std::string shown = folder;
    if (folder == ".") {
        char here[PATH_MAX];
        if (::getcwd(here, sizeof here))
            shown = here;
    }
    const char* meaning = ::strerrordesc_np(error);  // the same words in every locale
    const std::string reason =
        error == EACCES ? "Permission denied; only a folder this user may list can be locked "
                          "against a second update"
        : meaning       ? std::string(meaning)
                        : "error " + std::to_string(error);
    return "Cannot lock the folder " + ToSystemText(FromLocalPath(shown)) +
           " for the update: " + reason + ". Nothing was sent.";
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
