// File-specification matching for member names: "*" matches any run of
// characters (separators included), "?" exactly one; "\" and "/" match
// either separator; ASCII letters match in either case unless foldCase is
// false (names on a case-sensitive file system).
#pragma once

#include <string_view>

namespace kelp::zip {

bool WildcardMatch(std::string_view pattern, std::string_view name, bool foldCase = true);

// True when the text holds "*" or "?".
bool HasWildcard(std::string_view text);

}  // namespace kelp::zip
