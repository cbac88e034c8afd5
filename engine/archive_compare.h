// Comparing two archives, or an archive and a folder (whose files stand for
// members, with their CRCs computed): which members were added, removed and
// changed. Members match by their exact names and differ in size or CRC,
// and when asked also in time (by two seconds or more: a DOS time holds
// even seconds) or permission bits. Folder entries of an archive are members
// like the others; a folder on disk contributes its files only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kelp::engine {

struct MemberDifference {
    enum Kind { Added, Removed, Changed };
    Kind kind = Changed;
    std::string name;
    std::vector<std::string> changes;  // "size 3 -> 4", "CRC … -> …", "time", "mode"
};

struct ArchiveComparison {
    std::vector<MemberDifference> differences;  // in name order
    size_t same = 0;
};

// Compares `a` with `b`; nothing, with `error` saying why, when one of them
// cannot be read.
std::optional<ArchiveComparison> CompareArchives(const std::string& a, const std::string& b,
                                                 bool timesToo, std::string& error);

// "added", "removed" or "changed".
const char* DifferenceKindText(MemberDifference::Kind kind);

}  // namespace kelp::engine
