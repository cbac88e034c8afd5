// What the engine needs from the user interface that hosts it. The desktop
// shell implements it with dialogs, the command line on the terminal, tests
// with scripted answers.
#pragma once

#include <string>

namespace kelp::engine {

// The buttons of a question box and the answers it can give; None means the
// box could not be shown.
enum class Buttons { OkCancel, YesNoCancel, RetryCancel };
enum class Answer { None, Ok, Yes, No, Retry, Cancel };

class HostUi {
  public:
    virtual ~HostUi() = default;

    // A question box with `title`, `text` and `buttons`; the button pressed.
    virtual Answer AskQuestion(const std::string& title, const std::string& text, Buttons buttons) {
        (void)title, (void)text, (void)buttons;
        return Answer::None;
    }
    // The same question with `defaultAnswer` as the button that Enter (or a
    // plain confirmation) gives; a host without default buttons asks as above.
    virtual Answer AskQuestion(const std::string& title, const std::string& text, Buttons buttons,
                               Answer defaultAnswer) {
        (void)defaultAnswer;
        return AskQuestion(title, text, buttons);
    }

    // A simple message box with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // The modal password dialog: `title` as its caption, `prompt` above an
    // edit that hides what is typed. True when closed with OK; `password` is
    // then the text entered.
    virtual bool PasswordDialog(const std::string& title, const std::string& prompt,
                                std::string& password) = 0;
    // Switches between the busy and the normal mouse cursor.
    virtual void SetBusyCursor(bool busy) = 0;
    // Lets the interface handle its pending events once (repaint, cancel).
    virtual void ProcessPendingMessages() = 0;
};

// Keeps the host's busy cursor up for the lifetime of the object.
class BusyCursor {
  public:
    explicit BusyCursor(HostUi& host) : host_(host) { host_.SetBusyCursor(true); }
    ~BusyCursor() { host_.SetBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    HostUi& host_;
};

// A host that shows nothing and cancels every prompt; the engine's default.
class SilentHostUi : public HostUi {
  public:
    void ShowMessage(const std::string&) override {}
    bool PasswordDialog(const std::string&, const std::string&, std::string& password) override {
        password.clear();
        return false;
    }
    void SetBusyCursor(bool) override {}
    void ProcessPendingMessages() override {}
};

}  // namespace kelp::engine
