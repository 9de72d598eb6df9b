// SPDX-License-Identifier: MIT
#include "PortErrors.h"

#include "Messages.h"
#include "PortErrorAdvice.h"
#include "Sleep.h"
#include "SystemTexts.h"
#include "comm_port.h"

std::vector<MessageBoxRequest> ComErrorBoxes(int code, const std::string& selectedItemText)
{
    if (code == 8)
        return {{Texts::ErrorOpenCom + selectedItemText, Texts::BoxCaption, MsgIcon::Warning, {}}};
    if (code == 10)
        return {{Texts::ErrorReadCom + selectedItemText, Texts::BoxCaption, MsgIcon::Warning, {}}};
    return {{Texts::CommErrorDialog, Application().Title, MsgIcon::None, {}},
            {Texts::ErrorCom + selectedItemText, Texts::BoxCaption, MsgIcon::Warning, {}}};
}

void ShowComError(int code, const std::string& selectedItemText)
{
    for (const MessageBoxRequest& box : ComErrorBoxes(code, selectedItemText))
        MessageBox(box.Text, box.Caption, box.Icon, box.Details);
}

std::optional<ECommError> ClosePortAfterRun(TCommPort* port, bool pause)
{
    try {
        if (port != nullptr && port->PortOpen) {
            if (pause)
                Sleep(500);  // lets the receiver take in the last bytes before the line goes
            port->CloseCommPort();
        }
    } catch (const ECommError& error) {
        return error;  // code 11: the port counts as open and the next close tries again
    }
    return std::nullopt;
}

void FirmClosePort(TCommPort* port, const std::function<void()>& releaseFiles,
                   const std::function<void(bool enable)>& enableControls)
{
    if (const std::optional<ECommError> error = ClosePortAfterRun(port))
        MessageBox(Texts::ComErrorBoxText, Texts::ComErrorBoxCaption, MsgIcon::Warning,
                   PortErrorAdvice(*error));
    if (releaseFiles)
        releaseFiles();
    if (enableControls)
        enableControls(true);
}
