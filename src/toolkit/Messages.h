// SPDX-License-Identifier: MIT
// The message service: modal boxes with an OK button (and, where a box offers them, buttons
// beside it), the plain message dialog and the standard error report. Front ends install an
// implementation (Qt boxes, stderr lines, or a recorder in tests). All texts are Windows-1252.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class Exception;

enum class MsgIcon { None, Warning, Error, Information };

struct MessageBoxRequest {
    std::string Text;
    std::string Caption;
    MsgIcon Icon = MsgIcon::None;
    std::string Details;  // optional explanation offered with the box (may be empty)
    // Buttons offered beside OK, in order (e.g. "Try again"); OK stays the default button.
    std::vector<std::string> ExtraButtons = {};
};

class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows the box and returns when the user has closed it.
    virtual void Show(const MessageBoxRequest& request) = 0;
    // Shows the box and returns the extra button the user pressed (its text), or an empty text
    // for OK and for a box closed any other way. A service that offers no choice shows the box
    // and answers OK.
    virtual std::string Ask(const MessageBoxRequest& request)
    {
        Show(request);
        return {};
    }
    // True when Show must run on the user-interface thread (real windows).
    virtual bool NeedsMainThread() const { return false; }
};

// Installs the service used from now on (nullptr: stderr lines). Returns the previous one.
MessageService* SetMessageService(MessageService* service);

// A modal box with text, caption and icon. Asked for on another thread, a service that needs
// the user-interface thread shows it there while the asking thread waits.
void MessageBox(const std::string& text, const std::string& caption, MsgIcon icon,
                const std::string& details = {});
// A box that may offer buttons beside OK: the extra button pressed, empty for OK. Shown as
// MessageBox shows its boxes.
std::string AskMessageBox(const MessageBoxRequest& request);
// The plain message dialog: the application's title as caption, no icon.
void ShowMessage(const std::string& text);
// The standard error report: the error's text and a full stop, the title, the error icon.
void ShowException(const Exception& error);

// The application's title and help file (set at start-up).
struct ApplicationSettings {
    std::string Title;
    std::string HelpFile;
};
ApplicationSettings& Application();

// Writes each box as one line on stderr: its text (front ends print their own advice).
class StderrMessageService : public MessageService {
public:
    void Show(const MessageBoxRequest& request) override;

private:
    std::mutex Lock;
};

// Keeps every box for tests to inspect; thread-safe. Boxes that offer extra buttons are
// answered from a list the test gives, in order (OK once it is used up).
class RecordingMessageService : public MessageService {
public:
    void Show(const MessageBoxRequest& request) override;
    std::string Ask(const MessageBoxRequest& request) override;
    std::vector<MessageBoxRequest> Boxes() const;
    std::vector<std::string> Texts() const;
    void Clear();
    // The button pressed in the next box that offers extra buttons ("" for OK).
    void Answer(const std::string& button);

private:
    mutable std::mutex Lock;
    std::vector<MessageBoxRequest> Recorded;
    std::deque<std::string> Answers;
};

// The answer a scripted test service gives: the first of `answers` (taken from it) when the
// box offers that button, else OK. A box without extra buttons takes no answer.
std::string TakeScriptedAnswer(const MessageBoxRequest& request, std::deque<std::string>& answers);

// Installs a service for the lifetime of the guard (tests).
class ScopedMessageService {
public:
    explicit ScopedMessageService(MessageService& service) : Previous(SetMessageService(&service))
    {
    }
    ~ScopedMessageService() { SetMessageService(Previous); }

private:
    MessageService* Previous;
};
