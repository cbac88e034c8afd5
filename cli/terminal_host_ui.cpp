#include "cli/terminal_host_ui.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace kelp::cli {

bool InputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

void TerminalHostUi::ShowMessage(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", text.c_str());
    lastShown_ = text;
}

engine::Answer TerminalHostUi::AskQuestion(const std::string& title, const std::string& text,
                                           engine::Buttons buttons) {
    using engine::Answer;
    if (!InputIsTerminal()) return Answer::Cancel;
    const char* choices = buttons == engine::Buttons::YesNoCancel   ? "[y]es, [n]o, [c]ancel"
                          : buttons == engine::Buttons::RetryCancel ? "[r]etry, [c]ancel"
                                                                    : "[o]k, [c]ancel";
    std::fprintf(stderr, "%s: %s\n%s? ", title.c_str(), text.c_str(), choices);
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line) || line.empty()) return Answer::Cancel;
    switch (line[0]) {
        case 'y':
        case 'Y':
            return buttons == engine::Buttons::YesNoCancel ? Answer::Yes : Answer::Cancel;
        case 'n':
        case 'N':
            return buttons == engine::Buttons::YesNoCancel ? Answer::No : Answer::Cancel;
        case 'r':
        case 'R':
            return buttons == engine::Buttons::RetryCancel ? Answer::Retry : Answer::Cancel;
        case 'o':
        case 'O':
            return buttons == engine::Buttons::OkCancel ? Answer::Ok : Answer::Cancel;
        default:
            return Answer::Cancel;
    }
}

bool TerminalHostUi::TakeShown(const std::string& text) {
    if (lastShown_.empty() || text != lastShown_) return false;
    lastShown_.clear();
    return true;
}

bool TerminalHostUi::PasswordDialog(const std::string& title, const std::string& prompt,
                                    std::string& password) {
    password.clear();
    if (!InputIsTerminal()) return false;
    // Echo goes off before the prompt shows, so nothing typed as soon as it
    // appears can be echoed.
    termios saved{};
    const bool haveTerm = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerm) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::fprintf(stderr, "%s - %s", title.c_str(), prompt.c_str());
    std::fflush(stderr);
    const bool ok = static_cast<bool>(std::getline(std::cin, password));
    if (haveTerm) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fprintf(stderr, "\n");
    return ok;
}

}  // namespace kelp::cli
