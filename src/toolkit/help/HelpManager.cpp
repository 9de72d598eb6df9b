// SPDX-License-Identifier: MIT
#include "help/HelpManager.h"

#include "help/WinHelpViewer.h"

#include "TStringList.h"

#include <algorithm>

THelpManager::~THelpManager()
{
    UnloadViewers();
}

QObject* THelpManager::GetHandle()
{
    return OwnerWindow.data();
}

std::string THelpManager::GetHelpFile()
{
    return HelpFile;
}

void THelpManager::Release(int32_t viewerId)
{
    auto it = std::find_if(Viewers.begin(), Viewers.end(),
                           [&](const Entry& e) { return e.Id == viewerId; });
    if (it == Viewers.end())
        return;
    Entry gone = std::move(*it);  // the viewer may go with it: only after the list is sound
    Viewers.erase(it);
}

IPtr<IHelpManager> THelpManager::RegisterViewer(const IPtr<ICustomHelpViewer>& viewer)
{
    if (!viewer)
        return {};
    const int32_t id = NextId++;
    Viewers.push_back({id, viewer, Supports<IExtendedHelpViewer>(viewer)});
    viewer->NotifyID(id);
    return IPtr<IHelpManager>(this);
}

int THelpManager::ExtendedViewerCount() const
{
    return static_cast<int>(
        std::count_if(Viewers.begin(), Viewers.end(), [](const Entry& e) { return e.Extended; }));
}

void THelpManager::SoftShutDownViewers()
{
    std::vector<Entry> viewers = Viewers;  // a viewer may release itself meanwhile
    for (auto& e : viewers)
        e.Viewer->SoftShutDown();
}

void THelpManager::UnloadViewers()
{
    std::vector<Entry> viewers;
    viewers.swap(Viewers);
    for (auto& e : viewers)
        e.Viewer->ShutDown();
}

void THelpManager::AssignHelpSelector(const IPtr<IHelpSelector>& selector)
{
    Selector = selector;
}

void THelpManager::TakeHelpFile(const std::string& helpFileName)
{
    if (!helpFileName.empty())
        HelpFile = helpFileName;
}

void THelpManager::ShowTableOfContents()
{
    std::vector<IPtr<ICustomHelpViewer>> able;
    for (const auto& e : Viewers)
        if (e.Viewer->CanShowTableOfContents())
            able.push_back(e.Viewer);
    if (able.empty())
        return;
    if (able.size() == 1) {
        able.front()->ShowTableOfContents();
        return;
    }
    std::stable_sort(able.begin(), able.end(), [](const auto& a, const auto& b) {
        return a->GetViewerName() < b->GetViewerName();
    });
    TStringList names;
    for (const auto& v : able)
        names.Add(v->GetViewerName());
    const int32_t chosen = Selector ? Selector->TableOfContents(names) : 0;
    if (chosen >= 0 && chosen < static_cast<int32_t>(able.size()))
        able[static_cast<size_t>(chosen)]->ShowTableOfContents();
}

void THelpManager::ShowHelp(const std::string& keyword, const std::string& helpFileName)
{
    TakeHelpFile(helpFileName);
    std::vector<IPtr<ICustomHelpViewer>> able;
    for (const auto& e : Viewers)
        if (e.Viewer->UnderstandsKeyword(keyword) > 0)
            able.push_back(e.Viewer);
    if (able.empty())
        return;
    if (able.size() == 1) {
        able.front()->ShowHelp(keyword);
        return;
    }
    // Every viewer offers its help strings; the selector picks one, whose viewer shows it.
    TStringList strings;
    std::vector<ICustomHelpViewer*> owners;
    for (const auto& v : able) {
        if (std::unique_ptr<TStringList> own = v->GetHelpStrings(keyword)) {
            for (const auto& s : own->Strings) {
                strings.Add(s);
                owners.push_back(v.Get());
            }
        }
    }
    if (strings.Count() == 0)
        return;
    const int32_t chosen = Selector ? Selector->SelectKeyword(strings) : 0;
    if (chosen >= 0 && chosen < strings.Count())
        owners[static_cast<size_t>(chosen)]->ShowHelp(strings[chosen]);
}

void THelpManager::ShowTopicHelp(const std::string& topic, const std::string& helpFileName)
{
    TakeHelpFile(helpFileName);
    std::vector<IPtr<IExtendedHelpViewer>> extended;
    for (const auto& e : Viewers)
        if (e.Extended)
            extended.push_back(e.Extended);
    for (const auto& v : extended) {
        if (v->UnderstandsTopic(topic)) {
            v->DisplayTopic(topic);
            return;
        }
    }
}

void THelpManager::ShowContextHelp(int32_t contextId, const std::string& helpFileName)
{
    TakeHelpFile(helpFileName);
    std::vector<IPtr<IExtendedHelpViewer>> extended;
    for (const auto& e : Viewers)
        if (e.Extended)
            extended.push_back(e.Extended);
    for (const auto& v : extended) {
        if (v->UnderstandsContext(contextId, helpFileName)) {
            v->DisplayHelpByContext(contextId, helpFileName);
            return;
        }
    }
}

THelpManager& ApplicationHelpManager()
{
    // Never destroyed: at program end the viewers have been released (InternalShutdown) and
    // nothing may call into help windows after the application object is gone.
    static THelpManager* manager = [] {
        auto* m = new THelpManager();
        m->AddRef();
        auto* winHelp = new TWinHelpViewer();
        IPtr<ICustomHelpViewer> viewer(winHelp);
        winHelp->SetHelpManager(m->RegisterViewer(viewer));
        return m;
    }();
    return *manager;
}

IPtr<IHelpSystem> GetHelpSystem()
{
    return IPtr<IHelpSystem>(&ApplicationHelpManager());
}

void SetHelpOwnerWindow(QObject* owner)
{
    ApplicationHelpManager().SetOwnerWindow(owner);
}

IPtr<IHelpManager> RegisterViewer(const IPtr<ICustomHelpViewer>& viewer)
{
    return ApplicationHelpManager().RegisterViewer(viewer);
}
