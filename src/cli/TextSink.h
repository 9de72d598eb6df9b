// SPDX-License-Identifier: MIT
// Where a front end's output goes: texts that are kept in order, and frames (a redrawn progress
// line) that a later frame may replace while they still wait.
#pragma once

#include <string>

class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void Text(std::string text) = 0;
    virtual void Frame(std::string text) = 0;
};
