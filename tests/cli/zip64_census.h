// What an archive's ZIP64 records look like, read with the record codec:
// for the ZIP64 tests, which check that a writer uses ZIP64 records exactly
// where a value passes the limits.
#pragma once

#include <cstdint>
#include <string>

namespace fixtures {

struct Zip64Census {
    bool endRecord = false;  // a ZIP64 end record and its locator
    size_t members = 0;
    size_t centralFields = 0;  // central headers with a ZIP64 field
    size_t localFields = 0;    // local headers with one
};

// Reads the archive (a whole archive, a self-extractor, or the last part of
// a set when `locals` is false) and checks every record against the limits:
// a central ZIP64 field exactly when a size or the offset reaches
// sizeLimit, a local one whenever a size does (a local field reserved for a
// streamed member is allowed only for a member of at least `reserveFrom`
// bytes), and a ZIP64 end record exactly when the count reaches countLimit
// or the directory's size or offset reaches sizeLimit.
Zip64Census CheckZip64Records(const std::string& path, uint64_t sizeLimit = 0xFFFFFFFFu,
                              uint64_t countLimit = 0xFFFF, bool locals = true,
                              uint64_t reserveFrom = 16u << 20);

}  // namespace fixtures
