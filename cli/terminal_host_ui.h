// The engine's host interface on a terminal: messages go to standard error,
// passwords are read from the terminal with echo off. Without a terminal on
// standard input every prompt is cancelled, so the program never waits.
#pragma once

#include "engine/host_ui.h"

namespace kelp::cli {

class TerminalHostUi : public engine::HostUi {
  public:
    void ShowMessage(const std::string& text) override;
    engine::Answer AskQuestion(const std::string& title, const std::string& text,
                               engine::Buttons buttons) override;
    bool PasswordDialog(const std::string& title, const std::string& prompt,
                        std::string& password) override;
    void SetBusyCursor(bool) override {}
    void ProcessPendingMessages() override {}

    // True (once) when `text` is the message this host showed last, so a
    // log handler does not print it a second time.
    bool TakeShown(const std::string& text);

  private:
    std::string lastShown_;
};

// True when standard input is a terminal.
bool InputIsTerminal();

}  // namespace kelp::cli
