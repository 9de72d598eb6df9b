// SPDX-License-Identifier: MIT
// The toolkit's built-in WinHelp viewer. There is no WinHelp engine on this platform, so it
// shows nothing; what matters is what it claims to understand, which a tester can restrict.
#pragma once

#include "help/HelpIntfs.h"

class TWinHelpViewer final : public TInterfacedObject<IExtendedHelpViewer> {
public:
    static constexpr const char* Name = "WinHelp";

    std::string GetViewerName() override { return Name; }
    int32_t UnderstandsKeyword(const std::string& helpString) override;
    std::unique_ptr<TStringList> GetHelpStrings(const std::string& helpString) override;
    bool CanShowTableOfContents() override { return true; }
    void ShowTableOfContents() override {}
    void ShowHelp(const std::string&) override {}
    void NotifyID(int32_t viewerId) override { ViewerId = viewerId; }
    void SoftShutDown() override {}
    void ShutDown() override { HelpManager.Reset(); }

    bool UnderstandsTopic(const std::string& topic) override;
    void DisplayTopic(const std::string&) override {}
    bool UnderstandsContext(int32_t contextId, const std::string& helpFileName) override;
    void DisplayHelpByContext(int32_t, const std::string&) override {}

    void SetHelpManager(const IPtr<IHelpManager>& manager) { HelpManager = manager; }
    int32_t GetViewerId() const { return ViewerId; }

private:
    ~TWinHelpViewer() override = default;
    // The help file a request is about: the manager's, else the tester's default.
    std::string CurrentHelpFile();

    int32_t ViewerId = 0;
    IPtr<IHelpManager> HelpManager;
};

// The tester consulted by the WinHelp viewer (none: it accepts every request).
void SetWinHelpTester(const IPtr<IWinHelpTester>& tester);
IPtr<IWinHelpTester> GetWinHelpTester();
