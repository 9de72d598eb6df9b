// SPDX-License-Identifier: MIT
// The end of a command that updated several receivers: one table row per port and the exit
// status of the whole command.
#pragma once

#include <string>
#include <vector>

struct BenchResult {
    enum class Outcome { Ok, Error, NotOpened };
    std::string Port;    // "COM3" or a device path
    std::string Device;  // the device opened ("" when unknown)
    Outcome End = Outcome::Error;
    double Seconds = 0;  // from the command's start of this port's run to its end
    int FilesSent = 0;   // files sent whole and stored by the receiver
    int Files = 0;       // files to send
};

// A table with a header line: port, device, outcome, duration, files sent ("2/3").
std::string BenchSummaryTable(const std::vector<BenchResult>& results);

// 0 when every run ended "Update OK"; 2 when a port could not be opened; otherwise 1.
int BenchExitCode(const std::vector<BenchResult>& results);
