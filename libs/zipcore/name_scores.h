// How much a decoded member name looks like a name a person typed: the
// rules that pick an archive's code page where names are too short for
// letter statistics. Higher is more likely; see name_encoding.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelp::zip {

enum class Script { None, Latin, Cyrillic, Greek, Hebrew, Cjk, Other };

// The Latin languages a code page is made for: Western European (CP437,
// CP850, CP1252), Central European (CP852, CP1250), or any (the others,
// whose Latin letters are a misreading anyway).
enum class LatinFamily { Western, Central, Any };

Script ScriptOf(char32_t c);
bool IsLetter(char32_t c);

// The sum over the characters of a decoded name that are not ASCII (their
// number is added to `counted`): letters of a language count up to 1, signs
// that names never hold count below 0, and neighbours tell more (a capital
// after a small letter, two scripts in one word, a word without a vowel).
// For a double-byte page (CP932, CP936, CP949, CP950) `codes` holds each
// character's two-byte code (0 for a single byte), which tells how common
// the character is in that page's language.
double NameScore(std::string_view page, const std::u32string& text,
                 const std::vector<uint16_t>& codes, size_t& counted);

// How many accented Latin letters of `text` the one language of `family`
// that writes most of them does not write: Czech "ř" read as Danish "ø"
// beside "í" and "á", which no one language has together.
size_t ForeignLatinLetters(const std::u32string& text, LatinFamily family);

}  // namespace kelp::zip
