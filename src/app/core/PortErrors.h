// SPDX-License-Identifier: MIT
// The port's side of the window: telling the user why the port could not be opened, and ending
// the use of the port and the firmware files after an update run.
#pragma once

#include <functional>
#include <string>

class TCommPort;
class FirmFileSet;

// Tells the user about an ECommError caught while the port was set up and opened.
// `selectedItemText` is the text of the port box's selected item (empty when none).
// Code 8: "Error open, COM " + item; code 10: "Error read, COM " + item; any other code first
// shows the plain dialog "Comm Error: ", then "Error COM" + item. The box: caption "Corvalt",
// warning icon.
void ShowComError(int code, const std::string& selectedItemText);

// After a run: when the port is open, waits 500 ms for the receiver and closes it; releases the
// firmware data; enables the controls again. The files are released and the controls enabled
// even when the close fails (its "COM Error" box has told the user), so the window never stays
// locked. `port` may be null (no run ever started).
void FirmClosePort(TCommPort* port, FirmFileSet& files,
                   const std::function<void(bool enable)>& enableControls);
