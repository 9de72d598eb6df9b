// SPDX-License-Identifier: MIT
// zendrak-cli --check: the pre-flight. Lists what an update would send and to which port, with
// the estimated duration, then opens the port with the update's settings and closes it again.
// Sends nothing, writes no log, never touches "Zendrak.dat".
#pragma once

#include "CliOptions.h"
#include "JsonOutput.h"
#include "TextSink.h"
#include "UpdateRun.h"

// `filesRead` says whether any firmware file could be read. Returns 0 when an update could
// start, 2 when not. With `json` the plan goes out as one check event, otherwise as lines on
// `out`; the port's errors come on `err` as a failed update's do.
int RunCheck(UpdateRun& run, const CliOptions& options, bool filesRead, TextSink& out,
             TextSink& err, JsonOutput* json);
