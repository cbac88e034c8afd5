#include "member_filter.h"

#include <algorithm>

#include "wildcard.h"

namespace kelp {

MemberFilter::MemberFilter(const QString& text)
    : pattern_(text.toCaseFolded().toStdString()), wildcard_(zip::HasWildcard(pattern_)) {}

std::string MemberFilter::Fold(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toCaseFolded().toStdString();
}

bool MemberFilter::Matches(std::string_view name) const {
    if (pattern_.empty()) return true;
    // ASCII letters are lowered here rather than folded ahead: most names
    // are ASCII, and a keystroke then costs no conversion of them.
    lower_.assign(name);
    std::transform(lower_.begin(), lower_.end(), lower_.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    if (!wildcard_) return lower_.find(pattern_) != std::string::npos;

    // A folder entry's name ends in "/", which its own name leaves out.
    std::string_view whole = lower_;
    if (whole.size() > 1 && whole.back() == '/') whole.remove_suffix(1);
    const std::string_view last = whole.substr(whole.find_last_of('/') + 1);
    return zip::WildcardMatch(pattern_, lower_) || zip::WildcardMatch(pattern_, whole) ||
           zip::WildcardMatch(pattern_, last);
}

}  // namespace kelp
