// Which members of an extraction the workers may write to disk ahead of
// their turn, on every core: new files whose outcome cannot depend on the
// members in front of them. The calling thread still reports each in turn
// and removes it when the batch is cancelled before it.
#pragma once

#include <cstddef>
#include <vector>

#include "archive_reader.h"

namespace kelp::kunzip {

struct WriteAheadPlan {
    int baseFd = -1;            // the target folder
    bool dirNames = true;       // members keep their folders
    std::vector<bool> allowed;  // by member index; empty: none
};

// None when freshening (only existing files are touched) or when the batch
// makes symbolic links (a link made in turn could redirect a later member's
// folder). Else every file member but those whose place another member of
// the batch also takes (ASCII case aside), as a file or as a folder on its
// way.
WriteAheadPlan PlanWriteAhead(const zip::MemberList& entries, const std::vector<size_t>& selected,
                              int baseFd, bool dirNames, bool freshen);

}  // namespace kelp::kunzip
