// SPDX-License-Identifier: MIT
// NetProblem: what went wrong with a port on another machine, in words that name the server's
// address, give the system's reason and say what to do. A port error carries one of them as
// its details (the "COM Error" box, the command line's message).
#pragma once

#include "NetAddress.h"

#include <chrono>
#include <string>

namespace NetProblem {

std::string NotAnAddress(const std::string& text, const std::string& why);
// The host name cannot be looked up; `reason` is the resolver's.
std::string UnknownHost(const NetAddress& address, const std::string& reason);
// The connection could not be made (errno `error`).
std::string NotConnected(const NetAddress& address, int error);
// True when a server's last words before closing say that the port is taken (ser2net: "Port
// already in use", "Port's device already in use").
bool SaysInUse(const std::string& said);
// The server closed the connection while it was being set up; `said` is the last line of text
// it sent (may be empty).
std::string ClosedAtOpen(const NetAddress& address, const std::string& said);
// The server refused a telnet option this port needs (`what`: "the COM-PORT-OPTION").
std::string Refused(const NetAddress& address, const std::string& what);
// No agreement within `limit`: `heard` whether any telnet command came, `sawData` whether
// data came instead, `unanswered` the first line setting not confirmed (empty: the options
// were not agreed).
std::string NoAnswer(const NetAddress& address, std::chrono::milliseconds limit, bool heard,
                     bool sawData, const std::string& unanswered);
// The server answered a line setting with another value (`mismatch` says which).
std::string NotConfirmed(const NetAddress& address, const std::string& mismatch);
// The connection went away during use (errno `error`; 0: the server closed it).
std::string Lost(const NetAddress& address, int error);
// A write could not be handed to the connection by its deadline.
std::string Stalled(const NetAddress& address);

}  // namespace NetProblem
