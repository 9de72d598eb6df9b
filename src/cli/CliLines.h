// SPDX-License-Identifier: MIT
// The command line's lines on stderr, built in one place. Its own complaints read
// "zendrak-cli: TEXT"; the window's boxes become a line of their text. When several ports run,
// a line about one port names it first ("zendrak-cli: COM3: ...", "COM3: COM Error"), unless
// the text names that port already: a port is never named twice in a line.
#pragma once

#include <string>

// `text` is UTF-8; `port` is the port the line is about when several run, else empty.
std::string ComplaintLine(const std::string& text, const std::string& port = {});
// `text` is a box's text (Windows-1252), shown in the terminal's encoding.
std::string BoxLine(const std::string& text, const std::string& port = {});
// True when `text` names `port` as a word of its own ("COM1" is not named by "COM12").
bool NamesPort(const std::string& text, const std::string& port);
