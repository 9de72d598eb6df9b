// SPDX-License-Identifier: MIT
#include "help/WinHelpViewer.h"

#include "TStringList.h"

namespace {

IPtr<IWinHelpTester>& Tester()
{
    static IPtr<IWinHelpTester>* tester = new IPtr<IWinHelpTester>();  // lives to the end
    return *tester;
}

}  // namespace

void SetWinHelpTester(const IPtr<IWinHelpTester>& tester)
{
    Tester() = tester;
}

IPtr<IWinHelpTester> GetWinHelpTester()
{
    return Tester();
}

std::string TWinHelpViewer::CurrentHelpFile()
{
    std::string file = HelpManager ? HelpManager->GetHelpFile() : std::string();
    if (file.empty())
        if (IPtr<IWinHelpTester> tester = Tester())
            file = tester->GetDefaultHelpFile();
    return file;
}

int32_t TWinHelpViewer::UnderstandsKeyword(const std::string& helpString)
{
    IPtr<IWinHelpTester> tester = Tester();
    if (!tester)
        return 1;
    return tester->CanShowKeyword(helpString, CurrentHelpFile()) ? 1 : 0;
}

std::unique_ptr<TStringList> TWinHelpViewer::GetHelpStrings(const std::string& helpString)
{
    if (IPtr<IWinHelpTester> tester = Tester())
        return tester->GetHelpStrings(helpString);
    auto list = std::make_unique<TStringList>();
    list->Add(std::string(Name) + ": " + helpString);
    return list;
}

bool TWinHelpViewer::UnderstandsTopic(const std::string& topic)
{
    IPtr<IWinHelpTester> tester = Tester();
    return !tester || tester->CanShowTopic(topic, CurrentHelpFile());
}

bool TWinHelpViewer::UnderstandsContext(int32_t contextId, const std::string& helpFileName)
{
    IPtr<IWinHelpTester> tester = Tester();
    return !tester || tester->CanShowContext(contextId, helpFileName);
}
