// A stretch of the archive read in one call, so that a run of small members
// is located and decoded from memory instead of with a few reads each.
// Reads that fall outside the stretch go to the archive.
#pragma once

#include <cstdint>
#include <vector>

#include "archive_reader.h"

namespace kelp::zip {

class ByteWindow : public ByteSource {
  public:
    explicit ByteWindow(const ArchiveReader& reader) : reader_(reader) {}

    // Reads [start, start + size) of the archive; on failure the window is
    // left empty (every read then goes to the archive, which reports it).
    void Load(uint64_t start, size_t size);

    bool ReadAt(uint64_t offset, void* buffer, size_t size) const override;

  private:
    const ArchiveReader& reader_;
    uint64_t start_ = 0;
    std::vector<uint8_t> bytes_;
};

}  // namespace kelp::zip
