// File-specification matching for member names: "*" matches any run of
// characters (separators included), "?" exactly one; "\" and "/" match
// either separator; ASCII letters match in either case.
#pragma once

#include <string_view>

namespace kelp::zip {

bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace kelp::zip
