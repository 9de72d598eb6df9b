// SPDX-License-Identifier: MIT
// zendrak-cli --check: the pre-flight. Lists what an update would send and to which port, with
// the bytes that will go out and the estimated duration, then opens the port with the update's
// settings and closes it again (a port on another machine: connects, agrees the line settings
// with an RFC 2217 server, closes). Sends nothing to the receiver, writes no log, never touches
// "Zendrak.dat".
#pragma once

#include "CliOptions.h"
#include "FirmwareFiles.h"
#include "JsonOutput.h"
#include "PortSpec.h"
#include "TextSink.h"

// `filesUsable`: a file could be read and none is unusable. Returns 0 when an update could
// start, 2 when not. With `json` the plan goes out as one check event, otherwise as lines on
// `out`; the port's problems come on `err` as an update's do.
int RunCheck(const FirmwareFiles& files, bool filesUsable, const PortSpec& port,
             const CliOptions& options, TextSink& out, TextSink& err, JsonOutput* json);
