// SPDX-License-Identifier: MIT
// TForm1's "Try again" after a failed run: the same update at once, on the same port from the
// same folder, offered only while both can still be used.
#include "StartUnit.h"

#include "FirmFileSet.h"
#include "Messages.h"
#include "PortSpec.h"
#include "SystemTexts.h"
#include "Win1252.h"

#include <QDir>
#include <QPushButton>

std::string TForm1::TryAgainObstacle(int portNumber) const
{
    const PortSpec port = PortSpec::Com(portNumber);
    const PortResolution resolution = port.Resolve();
    if (portNumber <= 0 || !resolution.Device)
        return "Cannot try again: " + port.Text() + " is no longer in the list of ports.";
    // The window does not wait for a server here: the open tells.
    if (!port.Present(false))
        return "Cannot try again: " + port.Text() + " (" +
               ToSystemText(FromLocalPath(*resolution.Device)) + ") is not there now.";
    FirmFileSet files;
    files.Folder = Folder;
    files.BuildFirmFileList();
    if (files.FirmFileNames[0].empty())
        return "Cannot try again: no firmware file (font.app, decoder.app, out.app) in " +
               ToSystemText(QDir::toNativeSeparators(FromLocalPath(Folder))) + ".";
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
