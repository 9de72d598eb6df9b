// SPDX-License-Identifier: MIT
// The help manager's interfaces: the viewers it routes requests to, the selector that picks
// among them, the manager as the viewers see it, the help system as the application sees it,
// and the tester that the built-in WinHelp viewer consults. Texts are Windows-1252.
#pragma once

#include "help/Interfaced.h"

#include <cstdint>
#include <memory>
#include <string>

class QObject;
class TStringList;

class ICustomHelpViewer : public IInterface {
public:
    using Base = IInterface;
    static constexpr InterfaceId IID{"ICustomHelpViewer"};

    virtual std::string GetViewerName() = 0;
    // How many help strings the viewer has for the keyword (0: it does not know it).
    virtual int32_t UnderstandsKeyword(const std::string& helpString) = 0;
    virtual std::unique_ptr<TStringList> GetHelpStrings(const std::string& helpString) = 0;
    virtual bool CanShowTableOfContents() = 0;
    virtual void ShowTableOfContents() = 0;
    virtual void ShowHelp(const std::string& helpString) = 0;
    virtual void NotifyID(int32_t viewerId) = 0;
    virtual void SoftShutDown() = 0;
    virtual void ShutDown() = 0;

protected:
    ~ICustomHelpViewer() = default;
};

class IExtendedHelpViewer : public ICustomHelpViewer {
public:
    using Base = ICustomHelpViewer;
    static constexpr InterfaceId IID{"IExtendedHelpViewer"};

    virtual bool UnderstandsTopic(const std::string& topic) = 0;
    virtual void DisplayTopic(const std::string& topic) = 0;
    virtual bool UnderstandsContext(int32_t contextId, const std::string& helpFileName) = 0;
    virtual void DisplayHelpByContext(int32_t contextId, const std::string& helpFileName) = 0;

protected:
    ~IExtendedHelpViewer() = default;
};

class IHelpSelector : public IInterface {
public:
    using Base = IInterface;
    static constexpr InterfaceId IID{"IHelpSelector"};

    // Index of the chosen entry among the viewers' help strings.
    virtual int32_t SelectKeyword(TStringList& helpStrings) = 0;
    // Index of the chosen name among the sorted viewer names, or -1 for none.
    virtual int32_t TableOfContents(TStringList& viewerNames) = 0;

protected:
    ~IHelpSelector() = default;
};

class IHelpManager : public IInterface {
public:
    using Base = IInterface;
    static constexpr InterfaceId IID{"IHelpManager"};

    // The window that help windows belong to (may be null: the engine then takes the active
    // window). It is a QWidget handed over as its QObject.
    virtual QObject* GetHandle() = 0;
    virtual std::string GetHelpFile() = 0;
    virtual void Release(int32_t viewerId) = 0;

    // Release() above shadows the reference-counting entry; keep both reachable.
    using IInterface::Release;

protected:
    ~IHelpManager() = default;
};

class IHelpSystem : public IInterface {
public:
    using Base = IInterface;
    static constexpr InterfaceId IID{"IHelpSystem"};

    virtual void ShowHelp(const std::string& keyword, const std::string& helpFileName) = 0;
    virtual void ShowContextHelp(int32_t contextId, const std::string& helpFileName) = 0;
    virtual void ShowTableOfContents() = 0;
    virtual void ShowTopicHelp(const std::string& topic, const std::string& helpFileName) = 0;
    virtual void AssignHelpSelector(const IPtr<IHelpSelector>& selector) = 0;

protected:
    ~IHelpSystem() = default;
};

// What the built-in WinHelp viewer asks before it accepts a request.
class IWinHelpTester : public IInterface {
public:
    using Base = IInterface;
    static constexpr InterfaceId IID{"IWinHelpTester"};

    virtual bool CanShowKeyword(const std::string& keyword, const std::string& helpFile) = 0;
    virtual bool CanShowTopic(const std::string& topic, const std::string& helpFile) = 0;
    virtual bool CanShowContext(int32_t contextId, const std::string& helpFile) = 0;
    virtual std::unique_ptr<TStringList> GetHelpStrings(const std::string& keyword) = 0;
    virtual std::string GetHelpPath() = 0;
    virtual std::string GetDefaultHelpFile() = 0;

protected:
    ~IWinHelpTester() = default;
};
