// SPDX-License-Identifier: MIT
// Shared pieces of the help tests: a recording engine and a guard for the application's
// help file.
#pragma once

#include "QelHtmlHelp.h"

#include "Messages.h"

#include <cstdint>
#include <string>
#include <vector>

struct EngineCall {
    void* Owner;
    bool HasFile;
    std::string File;
    unsigned Command;
    uintptr_t Data;
    std::string Keyword;  // the text behind Data for HH_DISPLAY_INDEX
};

// The calls the recording engine received, in order.
std::vector<EngineCall>& RecordedEngineCalls();
int RecordingEngine(void* owner, const char* file, unsigned command, uintptr_t data);

// Sets Application().HelpFile for a test and restores it afterwards.
class ScopedApplicationHelpFile {
public:
    explicit ScopedApplicationHelpFile(std::string helpFile) : Previous(Application().HelpFile)
    {
        Application().HelpFile = std::move(helpFile);
    }
    ~ScopedApplicationHelpFile() { Application().HelpFile = Previous; }

private:
    std::string Previous;
};
