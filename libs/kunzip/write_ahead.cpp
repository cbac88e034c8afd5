#include "write_ahead.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>

#include "safe_path.h"

namespace kelp::kunzip {
namespace {

// Names are compared without ASCII case, as a target folder on a file
// system that ignores case would: a member that might meet another's place
// is left to its turn.
void AddFolded(std::string& path, const std::string& part) {
    for (char c : part) path += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Places are kept by the hash of their folded path, not their text: a
// collision only leaves a member to its turn, which is always safe.
uint64_t PlaceKey(const std::string& path) {
    return std::hash<std::string>{}(path);
}

}  // namespace

WriteAheadPlan PlanWriteAhead(const zip::MemberList& entries, const std::vector<size_t>& selected,
                              int baseFd, bool dirNames, bool freshen) {
    WriteAheadPlan plan;
    plan.baseFd = baseFd;
    plan.dirNames = dirNames;
    if (freshen) return plan;
    for (size_t index : selected)
        if (entries[index].IsSymlink()) return plan;
    // The place of every file below the target, sorted, once per member
    // that takes it: 8 bytes a member, where a map would take some 40.
    std::vector<uint64_t> files;
    std::unordered_set<uint64_t> folders;  // every folder on a member's way
    // A member's place: the folders on its way and its file (none for a
    // folder entry), false when the name is refused. Worked out in each
    // pass rather than kept between them: a batch may hold millions.
    std::vector<uint64_t> ways;
    auto place = [&](size_t index, std::optional<uint64_t>& file) {
        const zip::TargetName target = zip::ResolveMemberName(entries[index].displayName, dirNames);
        if (!target.ok) return false;
        ways.clear();
        std::string path;
        for (const std::string& d : target.dirs) {
            AddFolded(path, d);
            ways.push_back(PlaceKey(path));
            path += '/';
        }
        file.reset();
        if (!target.leaf.empty()) {
            AddFolded(path, target.leaf);
            file = PlaceKey(path);
        }
        return true;
    };
    std::optional<uint64_t> file;
    for (size_t index : selected) {
        if (!place(index, file)) continue;
        folders.insert(ways.begin(), ways.end());
        if (file) files.push_back(*file);
    }
    std::sort(files.begin(), files.end());
    auto takers = [&](uint64_t key) {
        const auto [first, last] = std::equal_range(files.begin(), files.end(), key);
        return last - first;
    };
    plan.allowed.assign(entries.size(), false);
    for (size_t index : selected) {
        if (!place(index, file) || !file) continue;
        bool clear = true;
        for (uint64_t way : ways) clear = clear && takers(way) == 0;
        plan.allowed[index] = clear && takers(*file) == 1 && !folders.count(*file);
    }
    return plan;
}

}  // namespace kelp::kunzip
