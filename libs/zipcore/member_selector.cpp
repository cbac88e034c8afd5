#include "member_selector.h"

#include <algorithm>

#include "wildcard.h"

namespace kelp::zip {

MemberSelector::MemberSelector(const std::vector<std::string>& specs, bool exactNames)
    : exactNames_(exactNames) {
    if (!exactNames) {
        patterns_ = specs;
        return;
    }
    for (const std::string& name : specs)
        if (!name.empty()) exact_.insert(name);
}

bool MemberSelector::Selects(std::string_view name) const {
    if (exactNames_) {
        if (exact_.contains(name)) return true;
        // A selected folder "a/b/" takes "a/b/c" and "a/b/c/d": look up each
        // folder the name lies in.
        for (size_t slash = name.find('/');
             slash != std::string_view::npos && slash + 1 < name.size();
             slash = name.find('/', slash + 1))
            if (exact_.contains(name.substr(0, slash + 1))) return true;
        return false;
    }
    if (patterns_.empty()) return true;
    return std::any_of(patterns_.begin(), patterns_.end(),
                       [&](const std::string& p) { return WildcardMatch(p, name); });
}

}  // namespace kelp::zip
