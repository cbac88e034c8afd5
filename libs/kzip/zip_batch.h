// One call of the compression library: adds files to an archive (creating
// it when needed), deletes members from it or renames them. Either way the result is
// written to a new temporary file, with unchanged members copied as raw
// bytes, and renamed over the archive only when complete; after an error
// or a cancel the archive is left exactly as it was.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive_reader.h"
#include "compress_pool.h"
#include "member_compressor.h"
#include "output_archive.h"
#include "reporter.h"
#include "source_scanner.h"
#include "zip_request.h"

namespace kelp::kzip {

class ZipBatch {
  public:
    explicit ZipBatch(const ZipRequest& request);
    ~ZipBatch();

    // Returns the number of members added or deleted; 0 when the archive
    // was not changed.
    int32_t Run();

  private:
    // One member of the new archive, in order.
    struct Planned {
        std::optional<size_t> entry;  // an existing member copied unchanged
        SourceItem source;            // else a file or folder to store
        std::string name;
        MemberSource member;
        std::future<MemberResult> result;  // compressed by the pool
        uint64_t cost = 0;                 // memory held while pending
    };
    struct Central {
        zip::CentralHeader header;
        std::string name;
        std::vector<uint8_t> extra;
        std::string comment;
        int64_t mtime = 0;
        // Full-width values, put into the header (or its ZIP64 field) when
        // the directory is written.
        uint64_t packed = 0;
        uint64_t unpacked = 0;
        uint64_t offset = 0;
    };
    // Ends the write of the archive with an error (false to pass on).
    enum class Step { Ok, Skipped, Abort };

    int32_t Add();
    int32_t Delete();
    // zip_batch_rename.cpp: renames members, copying their data unchanged.
    int32_t Rename();
    // The new names of the request's renames by member; false (with a
    // message) when a rename is refused.
    bool PlanRenames();
    // The local header of `e` under its new name; nothing when it cannot be read.
    std::optional<std::vector<uint8_t>> RenamedLocalHeader(const zip::MemberEntry& e,
                                                           const zip::MemberData& data,
                                                           const std::string& name);
    static void RenameCentral(Central& c, const std::string& name);
    // Reads the existing archive, if any; false (with a message) when it
    // cannot be changed safely.
    bool OpenArchive();
    bool PlanAdditions(std::vector<SourceItem> sources);
    std::optional<std::string> PasswordFor(size_t spec, const std::string& name);
    // Writes the planned members, the directory and the end record, and
    // puts the new archive in place.
    bool WriteArchive();
    // The compressing threads, started when first needed.
    CompressPool& Pool();
    Step WriteFront();
    Step CopyMember(size_t entry);
    Step StoreFolder(Planned& p);
    Step StoreWhole(Planned& p, MemberResult result);
    Step StoreStreamed(Planned& p);
    bool WriteLocal(const Planned& p, uint16_t method, uint16_t flags, uint32_t crc,
                    uint64_t packed, uint64_t unpacked, uint16_t dosTime, uint16_t dosDate,
                    uint64_t& at, bool reserveZip64 = false);
    // The local header record; sizes that do not fit 32 bits (all of them
    // with reserveZip64) go into its ZIP64 field.
    static std::vector<uint8_t> LocalRecord(const Planned& p, uint16_t method, uint16_t flags,
                                            uint32_t crc, uint64_t packed, uint64_t unpacked,
                                            uint16_t dosTime, uint16_t dosDate, bool reserveZip64);
    void AddCentral(const Planned& p, uint16_t method, uint16_t flags, uint32_t crc,
                    uint64_t packed, uint64_t unpacked, uint64_t at);
    bool Finish();
    // Reads the renamed archive back before it replaces the old one: every
    // member under the name it was given, its local header agreeing, its
    // CRC and sizes those it had. False, with a message, when not.
    bool RenamesReadBack();
    Step WriteFailed();
    Step Cancelled();
    void Warn(int32_t error, const std::string& text);
    void MoveSources();

    const ZipRequest& request_;
    Reporter reporter_;
    zip::ArchiveReader reader_;
    bool exists_ = false;
    bool haveStat_ = false;
    struct stat archiveStat_ {};
    std::vector<Planned> plan_;
    std::deque<size_t> pending_;  // planned members not yet written
    size_t next_ = 0;
    uint64_t inFlight_ = 0;
    std::unique_ptr<CompressPool> pool_;
    OutputArchive out_;
    std::vector<Central> central_;
    std::vector<size_t> written_;                       // planned new members that were stored
    std::vector<std::optional<std::string>> newNames_;  // by member, when renamed
    std::optional<std::string> askedPassword_;
    bool passwordAsked_ = false;
    int32_t changed_ = 0;
    int warnings_ = 0;
};

}  // namespace kelp::kzip
