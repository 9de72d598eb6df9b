// SPDX-License-Identifier: MIT
// The help manager: keeps the registered viewers under their numbers, routes the
// application's help requests to them (with the selector choosing when several could serve
// one) and closes or unloads them. The application's one manager is its help system.
#pragma once

#include "help/HelpIntfs.h"

#include <QPointer>

#include <string>
#include <vector>

class THelpManager final : public TInterfacedObject<IHelpManager, IHelpSystem> {
public:
    THelpManager() = default;

    // IHelpManager
    QObject* GetHandle() override;
    std::string GetHelpFile() override;
    void Release(int32_t viewerId) override;
    using TInterfacedObject::Release;

    // IHelpSystem
    void ShowHelp(const std::string& keyword, const std::string& helpFileName) override;
    void ShowContextHelp(int32_t contextId, const std::string& helpFileName) override;
    void ShowTableOfContents() override;
    void ShowTopicHelp(const std::string& topic, const std::string& helpFileName) override;
    void AssignHelpSelector(const IPtr<IHelpSelector>& selector) override;

    // Gives the viewer the next number (through NotifyID) and returns the manager reference
    // that the viewer keeps.
    IPtr<IHelpManager> RegisterViewer(const IPtr<ICustomHelpViewer>& viewer);
    // Asks every viewer to close its windows.
    void SoftShutDownViewers();
    // Asks every viewer to shut down and forgets them all.
    void UnloadViewers();

    void SetOwnerWindow(QObject* owner) { OwnerWindow = owner; }
    // The current help file: the file of the latest request that named one.
    void SetHelpFile(const std::string& helpFile) { HelpFile = helpFile; }

    int ViewerCount() const { return static_cast<int>(Viewers.size()); }
    int ExtendedViewerCount() const;
    IPtr<IHelpSelector> HelpSelector() const { return Selector; }

private:
    ~THelpManager() override;

    struct Entry {
        int32_t Id;
        IPtr<ICustomHelpViewer> Viewer;
        IPtr<IExtendedHelpViewer> Extended;  // set when the viewer offers it
    };
    void TakeHelpFile(const std::string& helpFileName);

    std::vector<Entry> Viewers;
    IPtr<IHelpSelector> Selector;
    QPointer<QObject> OwnerWindow;
    std::string HelpFile;
    int32_t NextId = 1;
};

// The application's help manager, created on first use with the built-in WinHelp viewer
// registered, as the application object's help system.
THelpManager& ApplicationHelpManager();
IPtr<IHelpSystem> GetHelpSystem();
// The window that help windows belong to; the main window sets itself after its creation.
void SetHelpOwnerWindow(QObject* owner);
// Registers a viewer with the application's manager (see THelpManager::RegisterViewer).
IPtr<IHelpManager> RegisterViewer(const IPtr<ICustomHelpViewer>& viewer);
