// Standard output in large blocks, and member names kept to one line.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace kelp::cli {

// Collects output and writes it in large blocks.
class Output {
  public:
    ~Output() { Flush(); }
    Output& operator<<(const std::string& s) { return Append(s.data(), s.size()); }
    Output& operator<<(const char* s) { return Append(s, std::char_traits<char>::length(s)); }
    Output& operator<<(char c) { return Append(&c, 1); }
    Output& operator<<(uint64_t n) {
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        return Append(digits, static_cast<size_t>(end - digits));
    }
    Output& Append(const char* data, size_t size) {
        buffer_.append(data, size);
        if (buffer_.size() >= kBlock) Flush();
        return *this;
    }
    void Flush() {
        std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
        buffer_.clear();
    }

  private:
    static constexpr size_t kBlock = 1 << 16;
    std::string buffer_;
};

// Appends a name so that it stays on one line: tabs, line breaks and other
// control characters are written as C escapes, and so is the backslash that
// starts them, so the text maps back to exactly one name.
void AppendEscaped(Output& out, std::string_view text);

// Appends a JSON string: quotes, backslashes and control characters escaped.
void AppendJsonString(Output& out, const std::string& text);

}  // namespace kelp::cli
