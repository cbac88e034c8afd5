// The self-extractor's dialogue with the user on a terminal. Without a
// terminal on standard input nothing is asked and every question takes the
// answer that changes nothing.
#pragma once

#include <string>

namespace kelp::sfx {

class Console {
  public:
    Console();

    bool Interactive() const { return interactive_; }
    // Prints `question` and reads a line; `fallback` without a terminal, on
    // end of input or for an empty line.
    std::string AskLine(const std::string& question, const std::string& fallback);
    // A yes/no question; `fallback` without a terminal or for an empty line.
    bool AskYesNo(const std::string& question, bool fallback);
    // Reads a password without echoing it; "" without a terminal.
    std::string AskPassword(const std::string& question);

  private:
    bool interactive_;
};

}  // namespace kelp::sfx
