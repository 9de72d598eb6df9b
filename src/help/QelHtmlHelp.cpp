// SPDX-License-Identifier: MIT
#include "QelHtmlHelp.h"

#include "ProgramLocation.h"

#include "Messages.h"
#include "TStringList.h"
#include "help/WinHelpViewer.h"

#include <dlfcn.h>

TQelHtmlHelpViewer* QelHelpViewer = nullptr;

namespace {

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLower(std::string text)
{
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

}  // namespace

TQelHtmlHelpViewer::TQelHtmlHelpViewer(const std::string& engineLibraryPath)
{
    // RTLD_NODELETE: help windows made by the library may outlive this viewer (they belong
    // to the main window), so its code must stay mapped after the library is released.
    HelpLibrary = dlopen(engineLibraryPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (HelpLibrary)
        HtmlHelpEntry = reinterpret_cast<THtmlHelpAEntry>(dlsym(HelpLibrary, "HtmlHelpA"));
}

TQelHtmlHelpViewer::TQelHtmlHelpViewer(THtmlHelpAEntry engine) : HtmlHelpEntry(engine) {}

TQelHtmlHelpViewer::~TQelHtmlHelpViewer()
{
    if (QelHelpViewer == this)
        QelHelpViewer = nullptr;
    HtmlHelpEntry = nullptr;
    if (HelpLibrary)
        dlclose(HelpLibrary);
}

int32_t TQelHtmlHelpViewer::UnderstandsKeyword(const std::string&)
{
    return IsCompiledHelp() ? 1 : 0;
}

std::unique_ptr<TStringList> TQelHtmlHelpViewer::GetHelpStrings(const std::string& helpString)
{
    auto list = std::make_unique<TStringList>();
    list->Add(ViewerName + ": " + helpString);
    return list;
}

void TQelHtmlHelpViewer::ShowTableOfContents()
{
    const std::string file = GetHelpFileName();
    if (IsChmFile(file))
        CallHtmlHelp(file, HH_DISPLAY_TOC, 0);
}

std::string TQelHtmlHelpViewer::ReduceKeyword(const std::string& helpString)
{
    std::string keyword = helpString;
    if (const size_t colon = keyword.find(':'); colon != std::string::npos)
        keyword.erase(0, colon + 1);
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t first = 0;
    while (first < keyword.size() && blank(keyword[first]))
        ++first;
    size_t last = keyword.size();
    while (last > first && blank(keyword[last - 1]))
        --last;
    return keyword.substr(first, last - first);
}

void TQelHtmlHelpViewer::ShowHelp(const std::string& helpString)
{
    const std::string file = GetHelpFileName();
    if (!IsChmFile(file))
        return;
    const std::string keyword = ReduceKeyword(helpString);
    CallHtmlHelp(file, HH_DISPLAY_INDEX, reinterpret_cast<uintptr_t>(keyword.c_str()));
}

void TQelHtmlHelpViewer::SoftShutDown()
{
    CallHtmlHelp(std::string(), HH_CLOSE_ALL, 0);
}

void TQelHtmlHelpViewer::ShutDown()
{
    SoftShutDown();
    HelpManager.Reset();
}

bool TQelHtmlHelpViewer::UnderstandsTopic(const std::string&)
{
    return IsCompiledHelp();
}

std::string TQelHtmlHelpViewer::TopicAddress(const std::string& topic)
{
    std::string extension;
    const size_t dot = topic.rfind('.');
    // A separator after the last "." means the dot belongs to a folder name, not the topic.
    if (dot != std::string::npos && topic.find_first_of("\\:/", dot) == std::string::npos)
        extension = AsciiLower(topic.substr(dot));
    std::string page = topic;
    if (extension != ".htm" && extension != ".html")
        page += DefaultTopicExt;
    return GetHelpFileName() + "::/" + page;
}

void TQelHtmlHelpViewer::DisplayTopic(const std::string& topic)
{
    if (IsCompiledHelp())
        CallHtmlHelp(TopicAddress(topic), HH_DISPLAY_TOPIC, 0);
}

bool TQelHtmlHelpViewer::UnderstandsContext(int32_t, const std::string& helpFileName)
{
    return IsChmFile(helpFileName);
}

void TQelHtmlHelpViewer::DisplayHelpByContext(int32_t contextId, const std::string&)
{
    const std::string file = GetHelpFileName();
    if (IsChmFile(file))
        CallHtmlHelp(file, HH_HELP_CONTEXT, static_cast<uint32_t>(contextId));
}

int32_t TQelHtmlHelpViewer::SelectKeyword(TStringList& helpStrings)
{
    for (int i = 0; i < helpStrings.Count(); ++i) {
        const std::string& entry = helpStrings[i];
        if (entry.substr(0, entry.find(':')) == ViewerName)
            return i;
    }
    return 0;
}

int32_t TQelHtmlHelpViewer::TableOfContents(TStringList& viewerNames)
{
    return viewerNames.IndexOf(ViewerName);
}

void TQelHtmlHelpViewer::CallHtmlHelp(const std::string& helpFile, unsigned command, uintptr_t data)
{
    if (!HtmlHelpEntry)
        return;
    if (command == HH_CLOSE_ALL) {
        HtmlHelpEntry(nullptr, nullptr, command, data);
        return;
    }
    void* owner = HelpManager ? static_cast<void*>(HelpManager->GetHandle()) : nullptr;
    HtmlHelpEntry(owner, helpFile.c_str(), command, data);
}

std::string TQelHtmlHelpViewer::GetHelpFileName()
{
    std::string name = HelpManager ? HelpManager->GetHelpFile() : std::string();
    if (name.empty())
        name = Application().HelpFile;  // no form of this program has a help file of its own
    if (name.empty())
        return {};
    if (name.find('/') == std::string::npos)
        name = DirectoryPart(ProgramFileName()) + name;
    return name;
}

bool TQelHtmlHelpViewer::IsChmFile(const std::string& fileName)
{
    const size_t dot = fileName.rfind('.');
    return dot != std::string::npos && AsciiLower(fileName.substr(dot)) == ".chm";
}

void TQelHtmlHelpViewer::InternalShutdown()
{
    if (HelpManager) {
        const IPtr<IHelpManager> manager = HelpManager;
        manager->Release(ViewerId);
        HelpManager.Reset();
    }
}

std::unique_ptr<TStringList> TQelWinHelpTester::GetHelpStrings(const std::string& keyword)
{
    auto list = std::make_unique<TStringList>();
    list->Add(": " + keyword);
    return list;
}

void RegisterQelHtmlHelp(THelpManager& manager, TQelHtmlHelpViewer* viewer)
{
    const IPtr<TQelHtmlHelpViewer> keep(viewer);  // the viewer lives through its registration
    QelHelpViewer = viewer;
    viewer->SetHelpManager(manager.RegisterViewer(IPtr<ICustomHelpViewer>(
        static_cast<ICustomHelpViewer*>(static_cast<IExtendedHelpViewer*>(viewer)))));
    manager.AssignHelpSelector(IPtr<IHelpSelector>(static_cast<IHelpSelector*>(viewer)));
    SetWinHelpTester(IPtr<IWinHelpTester>(new TQelWinHelpTester()));
}

void InitializeQelHtmlHelp()
{
    const std::string library = DirectoryPart(ProgramFileName()) + HelpEngineLibraryName;
    RegisterQelHtmlHelp(ApplicationHelpManager(), new TQelHtmlHelpViewer(library));
}

void FinalizeQelHtmlHelp()
{
    if (QelHelpViewer)
        QelHelpViewer->InternalShutdown();
}
