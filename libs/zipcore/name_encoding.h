// Which character set an archive's member names are in. Names flagged UTF-8,
// names with a sound Unicode path field and names that are valid UTF-8 keep
// their text; every other name of the archive is decoded from one code page,
// chosen over all those names together (or named by the user). Both
// directory readers decide through this file, so the engine's names and the
// libraries' names of one archive agree byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelp::zip {

// What the choice is made from: a name (or comment) as stored, and the
// central header values that say how.
struct StoredName {
    std::string_view bytes;
    std::span<const uint8_t> extra;  // for the Unicode path and comment fields
    uint16_t flags = 0;
    uint8_t hostSystem = 0;
};

// True when every byte is below 0x80.
bool IsAscii(std::string_view bytes);
// True when the bytes are valid UTF-8 (plain ASCII included).
bool IsValidUtf8(std::string_view bytes);

// The iconv name of the code page the given names (neither flagged nor valid
// UTF-8, all from one archive) were most likely written in; CP437 when
// nothing fits better. `locale` is the user's locale ("ru_RU.UTF-8"), a hint.
std::string DetectNameCharset(const std::vector<std::string_view>& names, uint8_t hostSystem,
                              std::string_view locale);

// The code page of an archive's names that need one: `chosen` when it is not
// empty, else the detected one; empty when every name keeps its text.
std::string ArchiveNameCharset(const std::vector<StoredName>& names, const std::string& chosen);

// The name as listed: the Unicode path field, the flagged or valid UTF-8
// text, or the bytes decoded from `charset` (see ArchiveNameCharset). With a
// charset the user chose, only the flag and the Unicode field keep the text.
std::string DecodeStoredName(const StoredName& name, const std::string& charset, bool chosen);
// The same for a member comment (the Unicode comment field instead).
std::string DecodeStoredComment(const StoredName& comment, const std::string& charset, bool chosen);

// Bytes of `charset` to UTF-8; a byte that does not convert becomes U+FFFD.
std::string DecodeCharset(std::string_view bytes, const std::string& charset);
// UTF-8 to `charset`; characters it cannot hold become "?".
std::string EncodeCharset(std::string_view text, const std::string& charset);

// The code pages names are judged against, in the order they are judged,
// each with the words a user chooses it by.
struct CharsetChoice {
    std::string charset;  // the iconv name
    std::string label;    // "Cyrillic, DOS (866)"
};
std::vector<CharsetChoice> CandidateCharsets();

// Whether iconv knows the charset (for an option the user typed).
bool CharsetKnown(const std::string& charset);

}  // namespace kelp::zip
