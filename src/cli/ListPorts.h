// SPDX-License-Identifier: MIT
// zendrak-cli --list-ports and --forget-port: the serial ports of the port map and of the
// remembered numbers, one line each, and dropping a remembered number.
#pragma once

#include <string>

#include "PortMap.h"

// One line of the listing: "COM<n>  device  identity  description  present|absent", "-" for
// what is not known.
std::string PortListingLine(const SerialPortEntry& port);

// Prints the listed ports, then the remembered numbers of devices that are not there now.
// Returns 0; 1 when no port is listed, the port map has a malformed line or cannot be read
// (said on stderr).
int ListPortsCommand();

// Drops the remembered number. Returns 0; 1 when it was not remembered or the file could not
// be read or written (said on stderr).
int ForgetPortCommand(int number);
