// SPDX-License-Identifier: MIT
#include "CliLines.h"

#include "Win1252.h"

#include <cctype>

bool NamesPort(const std::string& text, const std::string& port)
{
    if (port.empty())
        return false;
    for (size_t at = text.find(port); at != std::string::npos; at = text.find(port, at + 1)) {
        const size_t end = at + port.size();
        // A folder named after the port ("/work/COM7") is a path, not the port.
        const bool starts = at == 0 || (text[at - 1] != '/' &&
                                        !std::isalnum(static_cast<unsigned char>(text[at - 1])));
        if (starts && (end == text.size() || !std::isalnum(static_cast<unsigned char>(text[end]))))
            return true;
    }
    return false;
}

std::string ComplaintLine(const std::string& text, const std::string& port)
{
    const std::string subject = port.empty() || NamesPort(text, port) ? "" : port + ": ";
    return "zendrak-cli: " + subject + text + "\n";
}

std::string BoxLine(const std::string& text, const std::string& port)
{
    return (port.empty() ? "" : port + ": ") + ToTerminalText(text) + "\n";
}
