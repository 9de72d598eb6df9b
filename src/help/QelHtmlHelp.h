// SPDX-License-Identifier: MIT
// QelHtmlHelp: the program's help viewer. It serves the help manager's requests with the
// compiled-HTML help engine (loaded at run time from beside the executable), picks itself
// when several viewers could serve a request, and makes the WinHelp viewer decline all.
#pragma once

#include "help/HelpManager.h"

#include <cstdint>
#include <memory>
#include <string>

class TStringList;

// The engine's entry: owner window, file text, command number, data. Its result is ignored.
using THtmlHelpAEntry = int (*)(void* ownerWindow, const char* file, unsigned command,
                                uintptr_t data);

// Engine commands, numbered as in the published HTML Help interface.
inline constexpr unsigned HH_DISPLAY_TOPIC = 0;
inline constexpr unsigned HH_DISPLAY_TOC = 1;
inline constexpr unsigned HH_DISPLAY_INDEX = 2;
inline constexpr unsigned HH_HELP_CONTEXT = 15;
inline constexpr unsigned HH_CLOSE_ALL = 18;

// The engine library's file name, looked for in the executable's directory.
inline constexpr const char* HelpEngineLibraryName = "libhhctrl.so";

class TQelHtmlHelpViewer final : public TInterfacedObject<IExtendedHelpViewer, IHelpSelector> {
public:
    // Loads the engine library from the path and looks up its entry; without either, every
    // display request does nothing.
    explicit TQelHtmlHelpViewer(const std::string& engineLibraryPath);
    // Uses the given entry without loading a library (tests give a recording engine).
    explicit TQelHtmlHelpViewer(THtmlHelpAEntry engine);

    // ICustomHelpViewer
    std::string GetViewerName() override { return ViewerName; }
    int32_t UnderstandsKeyword(const std::string& helpString) override;
    std::unique_ptr<TStringList> GetHelpStrings(const std::string& helpString) override;
    bool CanShowTableOfContents() override { return true; }
    void ShowTableOfContents() override;
    void ShowHelp(const std::string& helpString) override;
    void NotifyID(int32_t viewerId) override { ViewerId = viewerId; }
    void SoftShutDown() override;
    void ShutDown() override;

    // IExtendedHelpViewer
    bool UnderstandsTopic(const std::string& topic) override;
    void DisplayTopic(const std::string& topic) override;
    bool UnderstandsContext(int32_t contextId, const std::string& helpFileName) override;
    void DisplayHelpByContext(int32_t contextId, const std::string& helpFileName) override;

    // IHelpSelector
    int32_t SelectKeyword(TStringList& helpStrings) override;
    int32_t TableOfContents(TStringList& viewerNames) override;

    void CallHtmlHelp(const std::string& helpFile, unsigned command, uintptr_t data);
    std::string GetHelpFileName();
    static bool IsChmFile(const std::string& fileName);
    void InternalShutdown();

    // Registration keeps the manager reference handed back here.
    void SetHelpManager(const IPtr<IHelpManager>& manager) { HelpManager = manager; }
    IPtr<IHelpManager> GetHelpManager() const { return HelpManager; }
    int32_t GetViewerId() const { return ViewerId; }
    bool HasEngine() const { return HtmlHelpEntry != nullptr; }
    bool HasLibrary() const { return HelpLibrary != nullptr; }

    // The address of a topic inside the resolved help file ("<file>::/<topic>").
    std::string TopicAddress(const std::string& topic);
    // The keyword that a help string stands for (its text after the first ":", trimmed).
    static std::string ReduceKeyword(const std::string& helpString);

private:
    ~TQelHtmlHelpViewer() override;
    bool IsCompiledHelp() { return IsChmFile(GetHelpFileName()); }

    int32_t ViewerId = 0;
    std::string ViewerName = "QelHtmlHelp";
    THtmlHelpAEntry HtmlHelpEntry = nullptr;
    void* HelpLibrary = nullptr;
    IPtr<IHelpManager> HelpManager;
    std::string DefaultTopicExt = ".htm";
};

// Makes the toolkit's WinHelp viewer decline every keyword, topic and context.
class TQelWinHelpTester final : public TInterfacedObject<IWinHelpTester> {
public:
    bool CanShowKeyword(const std::string&, const std::string&) override { return false; }
    bool CanShowTopic(const std::string&, const std::string&) override { return false; }
    bool CanShowContext(int32_t, const std::string&) override { return false; }
    std::unique_ptr<TStringList> GetHelpStrings(const std::string& keyword) override;
    std::string GetHelpPath() override { return {}; }
    std::string GetDefaultHelpFile() override { return {}; }

private:
    ~TQelWinHelpTester() override = default;
};

// The one registered viewer; owns nothing (the manager's references keep it alive).
extern TQelHtmlHelpViewer* QelHelpViewer;

// Registers the viewer with a manager: its number and manager reference, the manager's
// selector, and the tester of the WinHelp viewer.
void RegisterQelHtmlHelp(THelpManager& manager, TQelHtmlHelpViewer* viewer);
// At program start, before the main window: the viewer with the engine library from the
// executable's directory, registered with the application's help manager.
void InitializeQelHtmlHelp();
// At program end: releases the viewer from its manager if it is still registered.
void FinalizeQelHtmlHelp();
