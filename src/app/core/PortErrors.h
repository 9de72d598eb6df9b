// SPDX-License-Identifier: MIT
// The port's side of the window: telling the user why the port could not be opened, and ending
// the use of the port and the firmware files after an update run.
#pragma once

#include "Messages.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class ECommError;
class TCommPort;

// What tells the user about an ECommError caught while the port was set up and opened, in the
// order shown. `selectedItemText` is the text of the port box's selected item (empty when
// none). Code 8: "Error open, COM " + item; code 10: "Error read, COM " + item; any other code
// first the plain dialog "Comm Error: ", then "Error COM" + item. The box: caption "Corvalt",
// warning icon.
std::vector<MessageBoxRequest> ComErrorBoxes(int code, const std::string& selectedItemText);
// Shows them.
void ShowComError(int code, const std::string& selectedItemText);

// After a run: when the port is open, waits 500 ms (with `pause`) for the receiver to take in
// the last bytes, then closes it. The error when the close failed (the port counts as open,
// and the next close tries again). `port` may be null.
std::optional<ECommError> ClosePortAfterRun(TCommPort* port, bool pause = true);

// After a run: when the port is open, waits 500 ms for the receiver and closes it; releases the
// firmware data; enables the controls again. The files are released and the controls enabled
// even when the close fails (the "COM Error" box tells the user), so the window never stays
// locked. `port` may be null (no run ever started).
void FirmClosePort(TCommPort* port, const std::function<void()>& releaseFiles,
                   const std::function<void(bool enable)>& enableControls);
