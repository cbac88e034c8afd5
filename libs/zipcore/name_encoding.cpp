#include "name_encoding.h"

#include <iconv.h>
#include <unicode/uchar.h>
#include <unicode/ucsdet.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "name_scores.h"
#include "zip_records.h"

namespace kelp::zip {

namespace {

constexpr uint8_t kHostFatByte = 0;

// The code pages Windows computers write names in: the OEM pages of DOS
// consoles and the ANSI pages of Windows itself; the CJK pages are both.
// They are listed by how many archives are written in them: a tie goes to
// the earlier page, so CP437 wins when nothing tells the pages apart.
struct CodePage {
    const char* iconv;
    bool oem;             // an OEM page (what FAT-host tools write)
    bool dbcs;            // double-byte (see Lead)
    const char* icu;      // the detector's name for a double-byte page
    const char* locales;  // languages (and territories) whose users write in it
    LatinFamily family;   // the Latin languages it is made for
    const char* label;    // what the user is shown when choosing
};

constexpr std::array<CodePage, 15> kPages{{
    {"CP437", true, false, nullptr, "en", LatinFamily::Western, "Western, DOS (437)"},
    {"CP850", true, false, nullptr, "de fr es it pt nl da sv no fi", LatinFamily::Western,
     "Western European, DOS (850)"},
    {"CP1252", false, false, nullptr, "de fr es it pt nl da sv no fi en", LatinFamily::Western,
     "Western European, Windows (1252)"},
    {"CP866", true, false, nullptr, "ru uk be bg", LatinFamily::Any, "Cyrillic, DOS (866)"},
    {"CP1251", false, false, nullptr, "ru uk be bg sr mk", LatinFamily::Any,
     "Cyrillic, Windows (1251)"},
    {"CP932", true, true, "Shift_JIS", "ja", LatinFamily::Any, "Japanese, Shift-JIS (932)"},
    {"CP936", true, true, "GB18030", "zh_CN zh_SG", LatinFamily::Any,
     "Chinese Simplified, GBK (936)"},
    {"CP852", true, false, nullptr, "pl cs sk hu sl hr ro", LatinFamily::Central,
     "Central European, DOS (852)"},
    {"CP1250", false, false, nullptr, "pl cs sk hu sl hr ro", LatinFamily::Central,
     "Central European, Windows (1250)"},
    {"CP949", true, true, "EUC-KR", "ko", LatinFamily::Any, "Korean (949)"},
    {"CP950", true, true, "Big5", "zh_TW zh_HK", LatinFamily::Any,
     "Chinese Traditional, Big5 (950)"},
    {"CP737", true, false, nullptr, "el", LatinFamily::Any, "Greek, DOS (737)"},
    {"CP1253", false, false, nullptr, "el", LatinFamily::Any, "Greek, Windows (1253)"},
    {"CP862", true, false, nullptr, "he", LatinFamily::Any, "Hebrew, DOS (862)"},
    {"CP1255", false, false, nullptr, "he", LatinFamily::Any, "Hebrew, Windows (1255)"},
}};

// One iconv descriptor, closed when done.
class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`; on a sequence that does not convert, appends
    // `replacement` (when given, else fails) and goes on after one byte, or
    // after a whole UTF-8 sequence when `skipUtf8` says the input is UTF-8.
    bool Run(std::string_view in, std::string& out, std::string_view replacement, bool skipUtf8) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[1024];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, sizeof buffer - dstLeft);
            if (rc != static_cast<size_t>(-1) || errno == E2BIG) continue;
            if (replacement.empty()) return false;
            out += replacement;
            ++src;
            --srcLeft;
            while (skipUtf8 && srcLeft > 0 && (static_cast<unsigned char>(*src) & 0xC0) == 0x80) {
                ++src;
                --srcLeft;
            }
        }
        return true;
    }

  private:
    iconv_t cd_;
};

// The descriptor for one direction, opened once per thread: opening one
// costs more than converting a name.
Iconv& Converter(const std::string& to, const std::string& from) {
    thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<Iconv>> open;
    auto& slot = open[{to, from}];
    if (!slot) slot = std::make_unique<Iconv>(to.c_str(), from.c_str());
    return *slot;
}

// Bytes of a page to code points; nothing when a byte does not convert.
std::optional<std::u32string> Decode(std::string_view bytes, const char* page) {
    Iconv& cd = Converter("UTF-32LE", page);
    std::string out;
    if (!cd.ok() || !cd.Run(bytes, out, {}, false)) return std::nullopt;
    std::u32string points(out.size() / 4, U'\0');
    std::memcpy(points.data(), out.data(), points.size() * 4);
    return points;
}

// Where the bytes of a double-byte page begin a two-byte character.
bool Lead(const CodePage& page, uint8_t b) {
    if (std::strcmp(page.iconv, "CP932") == 0)
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return b >= 0x81 && b <= 0xFE;
}

// The two-byte code of each character of a double-byte page's decoding
// (0 for a character of one byte), found by walking the bytes beside it.
std::vector<uint16_t> Codes(const CodePage& page, std::string_view raw,
                            const std::u32string& text) {
    std::vector<uint16_t> codes(text.size(), 0);
    size_t at = 0;
    for (size_t i = 0; at < raw.size() && i < text.size(); ++i) {
        const auto b = static_cast<uint8_t>(raw[at]);
        if (Lead(page, b) && at + 1 < raw.size()) {
            codes[i] = static_cast<uint16_t>(b << 8 | static_cast<uint8_t>(raw[at + 1]));
            at += 2;
        } else {
            at += 1;
        }
    }
    return codes;
}

// The detector's confidence (0-100) that `bytes` are text in one of `names`.
double DetectorConfidence(std::string_view bytes, std::initializer_list<std::string_view> names) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, decltype(&ucsdet_close)> detector(ucsdet_open(&status),
                                                                        ucsdet_close);
    if (U_FAILURE(status)) return 0;
    // A few kilobytes give the detector's statistics all they can tell.
    constexpr size_t kDetectorBytes = 4096;
    ucsdet_setText(detector.get(), bytes.data(),
                   static_cast<int32_t>(std::min(bytes.size(), kDetectorBytes)), &status);
    int32_t found = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &found, &status);
    if (U_FAILURE(status)) return 0;
    int32_t best = 0;
    for (int32_t i = 0; i < found; ++i) {
        const char* name = ucsdet_getName(matches[i], &status);
        if (!name) continue;
        for (std::string_view wanted : names)
            if (wanted == name) best = std::max(best, ucsdet_getConfidence(matches[i], &status));
    }
    return best;
}

// The detector's view of a single-byte decoding: the decoded text written
// again in the page the detector knows for its script, so its letter
// statistics judge the language whatever page the bytes came from.
double LanguageConfidence(const std::u32string& text, LatinFamily family) {
    std::array<size_t, 7> counts{};
    for (char32_t c : text)
        if (c >= 0x80 && IsLetter(c)) ++counts[static_cast<size_t>(ScriptOf(c))];
    const auto script =
        static_cast<Script>(std::max_element(counts.begin(), counts.end()) - counts.begin());
    std::string utf8;
    {
        Iconv& cd = Converter("UTF-8", "UTF-32LE");
        // The detector reads no more than its first few kilobytes.
        const size_t points = std::min<size_t>(text.size(), 4096);
        std::string in(reinterpret_cast<const char*>(text.data()), points * 4);
        if (!cd.ok() || !cd.Run(in, utf8, "?", false)) return 0;
    }
    auto judge = [&](const char* page, std::initializer_list<std::string_view> names) {
        return DetectorConfidence(EncodeCharset(utf8, page), names);
    };
    switch (script) {
        case Script::Cyrillic:
            return judge("CP1251", {"windows-1251", "ISO-8859-5", "KOI8-R"});
        case Script::Greek:
            return judge("ISO-8859-7", {"ISO-8859-7", "windows-1253"});
        case Script::Hebrew:
            return judge("ISO-8859-8", {"ISO-8859-8", "ISO-8859-8-I", "windows-1255"});
        case Script::Latin:
            if (family == LatinFamily::Central)
                return judge("ISO-8859-2", {"ISO-8859-2", "windows-1250"});
            return judge("ISO-8859-1", {"ISO-8859-1", "windows-1252"});
        default:
            return 0;
    }
}

bool LocaleWrites(const CodePage& page, std::string_view locale) {
    if (locale.size() < 2) return false;
    const std::string_view pages = page.locales;
    const std::string_view full =
        locale.substr(0, std::min<size_t>(locale.find_first_of(".@"), locale.size()));
    size_t at = 0;
    while (at < pages.size()) {
        size_t end = pages.find(' ', at);
        if (end == std::string_view::npos) end = pages.size();
        const std::string_view code = pages.substr(at, end - at);
        if (code == full || (code.size() == 2 && locale.substr(0, 2) == code)) return true;
        at = end + 1;
    }
    return false;
}

}  // namespace

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<uint8_t>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const size_t n = (b >= 0xC2 && b <= 0xDF)   ? 1
                         : (b >= 0xE0 && b <= 0xEF) ? 2
                         : (b >= 0xF0 && b <= 0xF4) ? 3
                                                    : 0;
        if (n == 0 || s.size() - i <= n) return false;
        uint32_t cp = b & (0x3F >> n);
        for (size_t k = 1; k <= n; ++k) {
            const auto c = static_cast<uint8_t>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = cp << 6 | (c & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

std::string DetectNameCharset(const std::vector<std::string_view>& names, uint8_t hostSystem,
                              std::string_view locale) {
    // A large archive is judged on its first names: enough to tell.
    constexpr size_t kSampleBytes = 16 * 1024;
    std::vector<std::string_view> sample;
    std::string joined;
    for (std::string_view n : names) {
        if (IsAscii(n)) continue;
        sample.push_back(n);
        joined.append(n).push_back('\n');
        if (joined.size() > kSampleBytes) break;
    }
    if (sample.empty()) return "CP437";
    double bestScore = -1e300;
    const CodePage* best = &kPages[0];
    for (const CodePage& page : kPages) {
        double sum = 0;
        size_t counted = 0;
        std::u32string all;
        bool valid = true;
        for (std::string_view n : sample) {
            auto text = Decode(n, page.iconv);
            if (!text) {
                valid = false;
                break;
            }
            sum += NameScore(page.iconv, *text,
                             page.dbcs ? Codes(page, n, *text) : std::vector<uint16_t>{}, counted);
            all.append(*text).push_back(U'\n');
        }
        if (!valid || counted == 0) continue;
        sum -= 0.8 * static_cast<double>(ForeignLatinLetters(all, page.family));
        double score = sum / static_cast<double>(counted);
        // The detector's statistics need text: on a few letters they are noise.
        const double trust = std::min(1.0, static_cast<double>(counted) / 40.0);
        score += trust *
                 (page.dbcs ? DetectorConfidence(joined, {page.icu})
                            : LanguageConfidence(all, page.family)) /
                 100.0;
        if (LocaleWrites(page, locale)) score += 0.3;
        if (page.oem == (hostSystem == kHostFatByte)) score += 0.02;
        // Ties go to the pages more archives are written in.
        score -= 0.01 * static_cast<double>(&page - kPages.data());
        if (score > bestScore) {
            bestScore = score;
            best = &page;
        }
    }
    return best->iconv;
}

std::string ArchiveNameCharset(const std::vector<StoredName>& names, const std::string& chosen) {
    if (!chosen.empty()) return chosen;
    std::vector<std::string_view> legacy;
    uint8_t host = kHostFatByte;
    for (const StoredName& n : names) {
        if ((n.flags & kFlagUtf8) || IsValidUtf8(n.bytes) || FindUnicodePath(n.extra, n.bytes))
            continue;
        if (legacy.empty()) host = n.hostSystem;
        legacy.push_back(n.bytes);
    }
    if (legacy.empty()) return {};
    const char* locale = std::getenv("LC_ALL");
    if (!locale || !*locale) locale = std::getenv("LC_CTYPE");
    if (!locale || !*locale) locale = std::getenv("LANG");
    return DetectNameCharset(legacy, host, locale ? locale : "");
}

std::string DecodeStoredName(const StoredName& name, const std::string& charset, bool chosen) {
    if (name.flags & kFlagUtf8) return std::string(name.bytes);
    if (auto unicode = FindUnicodePath(name.extra, name.bytes)) return *unicode;
    if (charset.empty() || IsAscii(name.bytes) || (!chosen && IsValidUtf8(name.bytes)))
        return std::string(name.bytes);
    return DecodeCharset(name.bytes, charset);
}

std::string DecodeStoredComment(const StoredName& comment, const std::string& charset,
                                bool chosen) {
    if (comment.flags & kFlagUtf8) return std::string(comment.bytes);
    if (auto unicode = FindUnicodeComment(comment.extra, comment.bytes)) return *unicode;
    if (charset.empty() || IsAscii(comment.bytes) || (!chosen && IsValidUtf8(comment.bytes)))
        return std::string(comment.bytes);
    return DecodeCharset(comment.bytes, charset);
}

std::string DecodeCharset(std::string_view bytes, const std::string& charset) {
    if (IsAscii(bytes)) return std::string(bytes);
    Iconv& cd = Converter("UTF-8", charset);
    std::string out;
    if (!cd.ok()) return std::string(bytes);
    cd.Run(bytes, out, "\xEF\xBF\xBD", false);
    return out;
}

std::string EncodeCharset(std::string_view text, const std::string& charset) {
    if (IsAscii(text)) return std::string(text);
    Iconv& cd = Converter(charset, "UTF-8");
    std::string out;
    if (!cd.ok()) return std::string(text);
    cd.Run(text, out, "?", true);
    return out;
}

std::vector<CharsetChoice> CandidateCharsets() {
    std::vector<CharsetChoice> out;
    for (const CodePage& page : kPages) out.push_back({page.iconv, page.label});
    return out;
}

bool CharsetKnown(const std::string& charset) {
    return !charset.empty() && Iconv("UTF-8", charset.c_str()).ok();
}

}  // namespace kelp::zip
