// Stored names: the checks a name must pass to be stored, the short
// upper-case form of forced DOS names, and the UTF-8 test behind general
// purpose flag bit 11.
#pragma once

#include <string>
#include <string_view>

namespace kelp::kzip {

constexpr size_t kMaxNameLength = 65535;

// Makes a name relative (leading "/" dropped, "." and empty components
// removed). Empty when it cannot be stored; why says the reason.
std::string CleanName(std::string_view name, bool isDir, std::string& why);

// Upper-case 8.3 form of every component.
std::string DosName(std::string_view name);

// True for a name that is valid UTF-8 and not plain ASCII.
bool NeedsUtf8Flag(std::string_view name);

// True when the name ends in one of the suffixes (in any letter case).
bool HasSuffix(std::string_view name, std::string_view suffix);

}  // namespace kelp::kzip
