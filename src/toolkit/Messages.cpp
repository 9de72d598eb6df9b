// SPDX-License-Identifier: MIT
#include "Messages.h"

#include "Exceptions.h"
#include "MainThread.h"
#include "Win1252.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

StderrMessageService& DefaultService()
{
    static StderrMessageService service;
    return service;
}

std::atomic<MessageService*> current{nullptr};

MessageService& Current()
{
    MessageService* service = current.load();
    return service ? *service : DefaultService();
}

}  // namespace

MessageService* SetMessageService(MessageService* service)
{
    return current.exchange(service);
}

void MessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                const std::string& details)
{
    AskMessageBox({text, caption, icon, details});
}

std::string AskMessageBox(const MessageBoxRequest& request)
{
    MessageService& service = Current();
    std::string pressed;
    if (service.NeedsMainThread())
        RunOnMainThread([&] { pressed = service.Ask(request); });
    else
        pressed = service.Ask(request);
    return pressed;
}

void ShowMessage(const std::string& text)
{
    MessageBox(text, Application().Title, MsgIcon::None);
}

void ShowException(const Exception& error)
{
    std::string text = error.Message;
    if (!text.empty() && text.back() != '.')
        text += '.';
    MessageBox(text, Application().Title, MsgIcon::Error);
}

ApplicationSettings& Application()
{
    static ApplicationSettings settings;
    return settings;
}

void StderrMessageService::Show(const MessageBoxRequest& request)
{
    std::lock_guard lock(Lock);
    const std::string line = ToTerminalText(request.Text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void RecordingMessageService::Show(const MessageBoxRequest& request)
{
    std::lock_guard lock(Lock);
    Recorded.push_back(request);
}

std::string RecordingMessageService::Ask(const MessageBoxRequest& request)
{
    std::lock_guard lock(Lock);
    Recorded.push_back(request);
    return TakeScriptedAnswer(request, Answers);
}

void RecordingMessageService::Answer(const std::string& button)
{
    std::lock_guard lock(Lock);
    Answers.push_back(button);
}

std::string TakeScriptedAnswer(const MessageBoxRequest& request, std::deque<std::string>& answers)
{
    if (request.ExtraButtons.empty() || answers.empty())
        return {};
    std::string answer = std::move(answers.front());
    answers.pop_front();
    const auto& offered = request.ExtraButtons;
    return std::find(offered.begin(), offered.end(), answer) != offered.end() ? answer
                                                                              : std::string();
}

std::vector<MessageBoxRequest> RecordingMessageService::Boxes() const
{
    std::lock_guard lock(Lock);
    return Recorded;
}

std::vector<std::string> RecordingMessageService::Texts() const
{
    std::lock_guard lock(Lock);
    std::vector<std::string> texts;
    for (const auto& box : Recorded)
        texts.push_back(box.Text);
    return texts;
}

void RecordingMessageService::Clear()
{
    std::lock_guard lock(Lock);
    Recorded.clear();
}
