// Writing one archive as a multi-part set.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/archive_file.h"
#include "engine/host_ui.h"
#include "engine/job_sink.h"
#include "engine/set_volumes.h"
#include "engine/span_records.h"

namespace kelp::engine {

class SpanWriter {
  public:
    // Writes the parts through `volumes` (its settings give the part sizes);
    // `cancel` stops the copy.
    SpanWriter(SetVolumes& volumes, HostUi& host, JobSink sink, const std::atomic<bool>& cancel)
        : volumes_(volumes), host_(host), sink_(std::move(sink)), cancel_(cancel) {}

    // Copies the archive `inFileName` into a set of parts named after
    // `outFileName`. 0 on success, -7 after an engine error, -8 out of
    // memory, -9 any other failure; parts finished before a failure stay.
    int Write(const std::string& inFileName, const std::string& outFileName);

  private:
    void SplitWrite(const unsigned char* buffer, size_t length, size_t unit);
    void OpenNextPart();
    bool ClosePart();
    void NextPart();
    void CopyToSplit(BufferedReader& reader, uint64_t count, int errorId);
    // Where a local header went: its part and offset there.
    struct Place {
        uint32_t disk = 0;
        uint64_t offset = 0;
    };
    // The stages of Write, in their order.
    std::vector<SpanMember> ReadSourceDirectory(const ArchiveEnd& source, int64_t& centralAt,
                                                int64_t& shift);
    std::vector<Place> CopyLocalEntries(const std::vector<SpanMember>& members, int64_t centralAt,
                                        int64_t shift);
    void WriteDirectory(const std::vector<SpanMember>& members, const std::vector<Place>& places,
                        const EocdRecord& eocd, const std::string& comment);

    SetVolumes& volumes_;
    HostUi& host_;
    JobSink sink_;
    const std::atomic<bool>& cancel_;

    ArchiveFile source_;
    std::string target_;  // the set's name
    ArchiveFile part_;    // the part being written
    BufferedWriter partOut_{part_};
    std::string partPath_;
    int64_t partFree_ = 0;  // bytes the part can still take
    int64_t bytesOnPart_ = 0;
    time_t sourceDate_ = 0;  // the source's modification time, stamped on every part
    bool showProgress_ = false;
};

}  // namespace kelp::engine
