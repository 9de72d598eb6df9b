// SPDX-License-Identifier: MIT
#include "PortErrors.h"

#include "FirmFileSet.h"
#include "Messages.h"
#include "Sleep.h"
#include "SystemTexts.h"
#include "comm_port.h"

void ShowComError(int code, const std::string& selectedItemText)
{
    std::string message;
    if (code == 8) {
        message = Texts::ErrorOpenCom + selectedItemText;
    } else if (code == 10) {
        message = Texts::ErrorReadCom + selectedItemText;
    } else {
        message = Texts::ErrorCom + selectedItemText;
        ShowMessage(Texts::CommErrorDialog);
    }
    MessageBox(message, Texts::BoxCaption, MsgIcon::Warning);
}

void FirmClosePort(TCommPort* port, FirmFileSet& files,
                   const std::function<void(bool enable)>& enableControls)
{
    try {
        if (port != nullptr && port->PortOpen) {
            Sleep(500);  // lets the receiver take in the last bytes before the line goes
            port->CloseCommPort();
        }
    } catch (const ECommError&) {
        // Code 11: its "COM Error" box was shown when it was made; the port counts as open and
        // the next close tries again.
    }
    files.ReleaseFirmFiles();
    if (enableControls)
        enableControls(true);
}
