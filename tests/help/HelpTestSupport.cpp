// SPDX-License-Identifier: MIT
#include "HelpTestSupport.h"

std::vector<EngineCall>& RecordedEngineCalls()
{
    static std::vector<EngineCall> calls;
    return calls;
}

int RecordingEngine(void* owner, const char* file, unsigned command, uintptr_t data)
{
    EngineCall call{owner, file != nullptr, file ? file : "", command, data, {}};
    if (command == HH_DISPLAY_INDEX && data)
        call.Keyword = reinterpret_cast<const char*>(data);
    RecordedEngineCalls().push_back(call);
    return 0;
}
