#include "sfx/console.h"

#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <iostream>

namespace kelp::sfx {

Console::Console() : interactive_(isatty(STDIN_FILENO) != 0) {}

std::string Console::AskLine(const std::string& question, const std::string& fallback) {
    if (!interactive_) return fallback;
    std::cout << question << std::flush;
    std::string line;
    if (!std::getline(std::cin, line) || line.empty()) return fallback;
    return line;
}

bool Console::AskYesNo(const std::string& question, bool fallback) {
    const std::string answer = AskLine(question + (fallback ? " [Y/n] " : " [y/N] "), "");
    if (answer.empty()) return fallback;
    return std::tolower(static_cast<unsigned char>(answer[0])) == 'y';
}

std::string Console::AskPassword(const std::string& question) {
    if (!interactive_) return {};
    termios saved{};
    const bool hide = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::cout << question << std::flush;
    std::string line;
    std::getline(std::cin, line);
    if (hide) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::cout << "\n";
    return line;
}

}  // namespace kelp::sfx
