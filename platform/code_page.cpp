#include "platform/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace kelp::platform {

namespace {

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One iconv descriptor per direction and thread, opened on first use.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts text; an input sequence that cannot be converted is replaced
    // by `replacement` (or copied when `replacement` is 0) and skipped.
    std::string Run(const std::string& text, char replacement) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return text;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(text.size() * 2);
        char* in = const_cast<char*>(text.data());
        size_t inLeft = text.size();
        char buffer[1024];
        while (inLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t rc = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            out.append(buffer, sizeof buffer - dstLeft);
            if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
                // EILSEQ or EINVAL: one byte that does not convert.
                out += replacement ? replacement : *in;
                ++in;
                --inLeft;
                if (replacement) {
                    // Skip the rest of a multi-byte UTF-8 sequence.
                    while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
                        ++in;
                        --inLeft;
                    }
                }
            }
        }
        return out;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::string OemToAnsi(const std::string& text) {
    if (IsAscii(text)) return text;
    thread_local Converter converter("UTF-8", "CP437");
    return converter.Run(text, 0);
}

std::string AnsiToOem(const std::string& text) {
    if (IsAscii(text)) return text;
    thread_local Converter converter("CP437", "UTF-8");
    return converter.Run(text, '?');
}

}  // namespace kelp::platform
