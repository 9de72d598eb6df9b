// SPDX-License-Identifier: MIT
// TForm1's "Try again" after a failed run: the same update at once, on the same port from the
// same folder, offered only while both can still be used.
#include "StartUnit.h"

#include "ComText.h"
#include "Messages.h"
#include "NetAddress.h"
#include "PortMap.h"
#include "SystemTexts.h"
#include "Win1252.h"

#include <unistd.h>
#include <QDir>
#include <QPushButton>

std::string TForm1::TryAgainObstacle(int portNumber) const
{
    const std::string port = ComText(portNumber);
    const std::optional<std::string> device =
        portNumber > 0 ? ResolveComPort(portNumber) : std::nullopt;
    if (!device)
        return "Cannot try again: " + port + " is no longer in the list of ports.";
    // A port over the network shows whether it is there only when it is opened.
    if (!LooksLikeNetAddress(*device) && ::access(device->c_str(), F_OK) != 0)
        return "Cannot try again: " + port + " (" + ToSystemText(FromLocalPath(*device)) +
               ") is not there now.";
    FirmFileSet files;
    files.Folder = FirmFiles.Folder;
    files.BuildFirmFileList();
    if (files.FirmFileNames[0].empty()) {
        const QString folder =
            files.Folder.empty() ? QDir::currentPath() : FromLocalPath(files.Folder);
        return "Cannot try again: no firmware file (font.app, decoder.app, out.app) in " +
               ToSystemText(QDir::toNativeSeparators(folder)) + ".";
    }
    return {};
}

void TForm1::TryAgain()
{
    if (UpdateRunning || !ButtonStart->isEnabled())
        return;  // a run has been started by other means meanwhile
    // The box may have stood open for a while: what was there then may be gone.
    if (const std::string obstacle = TryAgainObstacle(RunPortNumber); !obstacle.empty()) {
        MessageBox(obstacle, Texts::BoxCaption, MsgIcon::Warning);
        return;
    }
    ButtonStartClick(ButtonStart);
}
