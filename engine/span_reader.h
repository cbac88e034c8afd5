// Joining a multi-part set into one ordinary archive.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "engine/archive_file.h"
#include "engine/host_ui.h"
#include "engine/job_sink.h"
#include "engine/set_volumes.h"
#include "engine/span_records.h"

namespace kelp::engine {

class SpanReader {
  public:
    // Reads the parts through `volumes`; `discard` removes a file the joined
    // archive replaces (false when it stays); `cancel` stops the copy.
    SpanReader(SetVolumes& volumes, HostUi& host, JobSink sink, const std::atomic<bool>& cancel,
               std::function<bool(const std::string&)> discard)
        : volumes_(volumes),
          host_(host),
          sink_(std::move(sink)),
          cancel_(cancel),
          discard_(std::move(discard)) {}

    // Joins the set whose last part is `inFileName` into one archive;
    // `outFilePath` is a folder (ending in "/") or a file path, and holds the
    // joined archive's path on success (else it is emptied). 0 on success,
    // -7 after an engine error, -8 out of memory, -9 any other failure (the
    // partial file is gone).
    int Join(const std::string& inFileName, std::string& outFilePath);

  private:
    bool ReadAcrossParts(BufferedReader& reader, void* buffer, size_t size);
    // The stages of Join, in their order.
    static std::string JoinedPath(const std::string& outFilePath);
    ArchiveEnd FindLastPart();
    std::vector<SpanMember> ReadDirectory(BufferedReader& reader, const EocdRecord& eocd,
                                          uint64_t& byteTotal);
    std::vector<uint64_t> CopyLocalEntries(BufferedReader& reader, BufferedWriter& joined,
                                           const std::vector<SpanMember>& members);
    static void WriteDirectory(BufferedWriter& joined, const std::vector<SpanMember>& members,
                               const std::vector<uint64_t>& joinedOffsets,
                               const std::string& comment);

    SetVolumes& volumes_;
    HostUi& host_;
    JobSink sink_;
    const std::atomic<bool>& cancel_;
    std::function<bool(const std::string&)> discard_;
};

}  // namespace kelp::engine
