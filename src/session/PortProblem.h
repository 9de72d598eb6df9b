// SPDX-License-Identifier: MIT
// A port problem as a value: the port could not be opened (not in the port map, held by another
// program, missing, refused), or it failed during a run (gone, a read or write that failed).
// Made from the port's error where it is caught; each front end tells its user: the window's
// boxes, a line on stderr, a JSON event. Nothing is shown where the problem is found.
#pragma once

#include "Messages.h"
#include "PortOpeners.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class ECommError;
class PortSpec;
class TCommPort;

struct PortProblem {
    enum class Kind { NotMapped, Held, CannotOpen, Vanished, ReadFailed, WriteFailed, Other };

    Kind What = Kind::Other;
    std::string Port;  // as messages name it ("COM3", "/dev/ttyUSB0")
    uint8_t Code = 0;  // the port error's code
    uint32_t LastError = 0;
    std::vector<PortHolder> Holders;
    // What was tried and what the system said, with advice, as one or two sentences (UTF-8):
    // "COM3 (/dev/ttyUSB0): Permission denied. ...", or why COM3 names no device.
    std::string Description;
    bool WhileOpening = true;  // false: during a run
};

PortProblem PortProblemOf(const PortSpec& port, const ECommError& error, bool whileOpening);

// The boxes that tell a user of the window about it, in their order: "COM Error" (caption
// "error", the description as its details); then, for a failed open, what the window has
// always said: "Error open, COM " / "Error read, COM " + the port, or for other codes the
// plain dialog "Comm Error: " and "Error COM" + the port. Texts in Windows-1252.
std::vector<MessageBoxRequest> PortProblemBoxes(const PortProblem& problem);

// Sets the port up for the receiver and opens it. Nothing when it is open; else the problem
// (the port stays closed). With `settle`, a device that has only just appeared is given that
// long to become usable (SettlingOpen.h), or until `stop` says so.
std::optional<PortProblem> OpenReceiverPort(TCommPort& port, const PortSpec& named,
                                            std::chrono::milliseconds settle = {},
                                            const std::function<bool()>& stop = {});
