// Salvaging a damaged archive: builds a new, sound archive from the members
// whose data can still be found and checked. Local headers are scanned from
// the start of the file (past damaged stretches to the next header), data
// of unknown length ended at the data descriptor behind it whose sizes and
// CRC it checks out against; what survives of the central directory
// supplies names, times, attributes and comments, and finds members whose
// local header is damaged. The compressed bytes are copied as they are. Data
// in front of the first member (a self-extractor program) is not copied.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelp::zip {

struct SalvageLoss {
    std::string name;    // raw bytes as stored
    std::string reason;  // "CRC mismatch", "data cut short", ...
};

struct SalvageResult {
    bool written = false;  // the new archive was written (never when nothing was found)
    std::string error;     // why not, when the files failed
    uint64_t recovered = 0;
    // Members known to have been in the archive: those found, and those
    // only the central directory still names.
    uint64_t known = 0;
    std::vector<SalvageLoss> lost;
    // Encrypted members kept because their headers and lengths agree; their
    // data cannot be checked without the password.
    std::vector<std::string> keptUnchecked;
    uint64_t droppedPrefix = 0;  // bytes in front of the first member
};

// Called for each member as it is examined (raw name, uncompressed size when
// known); returning false stops the salvage with nothing written.
using SalvageProgress = std::function<bool(std::string_view name, uint64_t size)>;

// Reads `broken` and writes the salvaged archive to `fixed` through an
// atomic file; `broken` is never changed, and `fixed` may not be the same
// file.
SalvageResult SalvageArchive(const std::string& broken, const std::string& fixed,
                             const SalvageProgress& progress = {});

}  // namespace kelp::zip
