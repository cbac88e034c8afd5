// Which members a call of either library takes: those its specifications
// name. Patterns (what a user typed) go through WildcardMatch; exact names
// (what the window's rows stand for) are compared byte for byte, and an
// exact name ending in "/" also takes every member under that folder.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kelp::zip {

class MemberSelector {
  public:
    // No patterns select every member; no exact names select none.
    MemberSelector(const std::vector<std::string>& specs, bool exactNames);

    bool Selects(std::string_view name) const;
    // Every member, whatever its name: no name needs to be looked at.
    bool SelectsAll() const { return !exactNames_ && patterns_.empty(); }

  private:
    bool exactNames_;
    std::vector<std::string> patterns_;
    // Exact names, looked up in a hash set: a selection of every row of a
    // large archive costs one lookup per member and folder level, not one
    // comparison per pair.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_set<std::string, Hash, std::equal_to<>> exact_;
};

}  // namespace kelp::zip
