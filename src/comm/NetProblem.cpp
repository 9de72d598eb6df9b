// SPDX-License-Identifier: MIT
#include "NetProblem.h"

#include "PortErrorAdvice.h"

#include <cerrno>

namespace NetProblem {
namespace {

std::string Quoted(const std::string& said)
{
    return said.empty() ? std::string() : " (it said \"" + said + "\")";
}

std::string Seconds(std::chrono::milliseconds limit)
{
    const auto tenths = limit.count() / 100;
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") +
           " s";
}

}  // namespace

std::string NotAnAddress(const std::string& text, const std::string& why)
{
    return "'" + text + "' is no network address: " + why + ".";
}

std::string UnknownHost(const NetAddress& address, const std::string& reason)
{
    return address.Text() + ": the host " + address.Host + " cannot be found (" + reason +
           "). Check the name, or write the server's IP address.";
}

std::string NotConnected(const NetAddress& address, int error)
{
    std::string text = address.Text() + ": " + ErrorMeaning(error) + ".";
    const std::string port = std::to_string(address.Port);
    switch (error) {
    case ECONNREFUSED:
        return text + " Nothing accepts connections on port " + port + " of " + address.Host +
               ": start ser2net there, or check the port number in its configuration.";
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ETIMEDOUT:
        return text + " " + address.Host +
               " cannot be reached: check that it is switched on and on this network, and that "
               "no firewall blocks port " +
               port + ".";
    default: return text;
    }
}

bool SaysInUse(const std::string& said)
{
    return said.find("in use") != std::string::npos;
}

std::string ClosedAtOpen(const NetAddress& address, const std::string& said)
{
    if (SaysInUse(said))
        return address.Text() + ": the port is in use on that server" + Quoted(said) +
               ": another client is connected to it. Close that client, or wait until its run "
               "has ended, and try again.";
    return address.Text() + ": the server closed the connection at once" + Quoted(said) +
           ". Check the serial device in the server's configuration.";
}

std::string Refused(const NetAddress& address, const std::string& what)
{
    return address.Text() + ": the server refused " + what +
           ", so the line cannot be set from here. Serve the port with the accepter "
           "telnet(rfc2217) in ser2net's configuration, or use a raw port set to 115200 8N1 by "
           "the server as tcp://" +
           address.Server() + ".";
}

std::string NoAnswer(const NetAddress& address, std::chrono::milliseconds limit, bool heard,
                     bool sawData, const std::string& unanswered)
{
    const std::string within = " within " + Seconds(limit);
    if (!heard)
        return address.Text() + ": the server did not answer the telnet negotiation" + within +
               (sawData ? ": it sent data instead, as a raw TCP port does. A raw port is "
                          "written tcp://"
                        : ". Is it an RFC 2217 port? A raw TCP port is written tcp://") +
               address.Server() + ".";
    if (unanswered.empty())
        return address.Text() +
               ": the server did not agree to binary transmission and the COM-PORT-OPTION" +
               within + ".";
    return address.Text() + ": the server did not confirm " + unanswered + within + ".";
}

std::string NotConfirmed(const NetAddress& address, const std::string& mismatch)
{
    return address.Text() + ": the server did not confirm the line settings: it set " + mismatch +
           ". Check that its serial device can run at that rate.";
}

std::string Lost(const NetAddress& address, int error)
{
    const std::string how = error == 0 ? "the server closed the connection"
                                       : "the connection was lost (" + ErrorMeaning(error) + ")";
    return address.Text() + ": " + how +
           ": the server, its serial device or the network went away. Check them and repeat "
           "the update.";
}

std::string Stalled(const NetAddress& address)
{
    return address.Text() +
           ": the connection took no more data in time: the receiver, the server or the "
           "network has stalled. Check them and repeat the update.";
}

}  // namespace NetProblem
