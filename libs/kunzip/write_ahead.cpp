#include "write_ahead.h"

#include <optional>
#include <string>
#include <unordered_map>
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

}  // namespace

WriteAheadPlan PlanWriteAhead(const std::vector<zip::MemberEntry>& entries,
                              const std::vector<size_t>& selected, int baseFd, bool dirNames,
                              bool freshen) {
    WriteAheadPlan plan;
    plan.baseFd = baseFd;
    plan.dirNames = dirNames;
    if (freshen) return plan;
    std::unordered_map<std::string, int> files;     // path below the target -> members
    std::unordered_set<std::string> folders;        // every folder on a member's way
    std::vector<std::optional<zip::TargetName>> targets(selected.size());
    for (size_t k = 0; k < selected.size(); ++k) {
        const zip::MemberEntry& entry = entries[selected[k]];
        if (entry.IsSymlink()) return plan;
        zip::TargetName target = zip::ResolveMemberName(entry.displayName, dirNames);
        if (!target.ok) continue;
        std::string path;
        for (const std::string& d : target.dirs) {
            AddFolded(path, d);
            folders.insert(path);
            path += '/';
        }
        if (!target.leaf.empty()) {
            AddFolded(path, target.leaf);
            ++files[path];
            targets[k] = std::move(target);
        }
    }
    plan.allowed.assign(entries.size(), false);
    for (size_t k = 0; k < selected.size(); ++k) {
        if (!targets[k]) continue;
        std::string path;
        bool clear = true;
        for (const std::string& d : targets[k]->dirs) {
            AddFolded(path, d);
            clear = clear && !files.count(path);
            path += '/';
        }
        AddFolded(path, targets[k]->leaf);
        plan.allowed[selected[k]] = clear && files[path] == 1 && !folders.count(path);
    }
    return plan;
}

}  // namespace kelp::kunzip
