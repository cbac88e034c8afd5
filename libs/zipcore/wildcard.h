// File-specification matching for member and file names: "*" matches any
// run of characters (separators included), "?" exactly one; "\" and "/"
// match either separator. Everything else matches byte for byte: names are
// case-sensitive, in archives as on this file system.
#pragma once

#include <string_view>

namespace kelp::zip {

bool WildcardMatch(std::string_view pattern, std::string_view name);

// True when the text holds "*" or "?".
bool HasWildcard(std::string_view text);

}  // namespace kelp::zip
