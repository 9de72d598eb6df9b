// SPDX-License-Identifier: MIT
// zendrak-cli --list-ports: the serial ports of the port map, one line each.
#pragma once

// Prints "COM<n>  <device>  <description>" lines on stdout. Returns 0; 1 when no port is
// listed, the port map has a malformed line or cannot be read (said on stderr).
int ListPortsCommand();
