#include "cli/line_output.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace kelp::cli {

namespace {

constexpr auto kNeedsEscape = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c) table[c] = true;
    table[0x7F] = table['\\'] = true;
    return table;
}();

// Whether any of eight bytes is a control character, DEL or a backslash
// (the usual bit tricks for "has a byte less than" and "has a byte equal to").
bool AnyNeedsEscape(uint64_t x) {
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    auto hasZero = [&](uint64_t v) { return ((v - ones) & ~v & highs) != 0; };
    const bool below20 = ((x - ones * 0x20) & ~x & highs) != 0;
    return below20 || hasZero(x ^ (ones * 0x7F)) || hasZero(x ^ (ones * '\\'));
}

}  // namespace

void AppendEscaped(Output& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    // Most names need nothing: check them eight bytes at a time.
    size_t clean = 0;
    for (uint64_t word; clean + 8 <= text.size(); clean += 8) {
        std::memcpy(&word, text.data() + clean, 8);
        if (AnyNeedsEscape(word)) break;
    }
    size_t plain = 0;  // start of the run not yet written
    for (size_t i = clean; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!kNeedsEscape[c]) continue;
        out.Append(text.data() + plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '\\':
                out << "\\\\";
                break;
            case '\t':
                out << "\\t";
                break;
            case '\n':
                out << "\\n";
                break;
            case '\r':
                out << "\\r";
                break;
            default: {
                const char escape[] = {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
                out.Append(escape, sizeof escape);
            }
        }
    }
    out.Append(text.data() + plain, text.size() - plain);
}

void AppendJsonString(Output& out, const std::string& text) {
    out << '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out << '\\' << char(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out << escape;
        } else {
            out << char(c);
        }
    }
    out << '"';
}

}  // namespace kelp::cli
