// One call of the decompression library: selects the members the
// specifications name, then extracts, tests or copies each into memory,
// reporting through the engine's callback. Members that fail are reported
// and cleaned up; the batch goes on with the next one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive_reader.h"
#include "member_decoder.h"
#include "reporter.h"
#include "safe_path.h"
#include "unzip_request.h"

namespace kelp::kunzip {

class Prefetcher;
struct Prefetched;

class UnzipBatch {
  public:
    explicit UnzipBatch(const UnzipRequest& request);
    ~UnzipBatch();

    // Runs the whole batch; returns the number of members that succeeded.
    int32_t Run();

  private:
    enum class Outcome { Success, Failed, Skipped, Cancelled };

    std::vector<size_t> SelectMembers() const;
    Outcome Process(size_t index);
    Outcome Extract(const zip::MemberEntry& entry, size_t index);
    // Reports a member the workers wrote ahead, as if written in its turn.
    Outcome ReportWritten(const zip::MemberEntry& entry, const Prefetched& ready);
    // Decides on a file or link already at leaf: an outcome to stop with
    // (kept, or a folder in the way), or nothing to go on and replace it.
    std::optional<Outcome> KeepExisting(int dirFd, const std::string& leaf, const std::string& name,
                                        int64_t mtime);
    // Makes a symbolic link member as a link, when it stays inside the
    // target folder.
    Outcome ExtractLink(const zip::MemberEntry& entry, Prefetched* ready,
                        const zip::MemberData& data, std::optional<zip::MemberCipher>& crypto,
                        const zip::TargetName& target, int dirFd, int64_t mtime);
    // Keeps a folder's time and permissions for the end of the batch.
    void RememberFolder(const std::vector<std::string>& dirs, const zip::DirStamp& stamp);
    Outcome Test(const zip::MemberEntry& entry, size_t index);
    // A member's error line: "Error found in NAME: WHY", or when checking
    // "Finding: NAME: WHY".
    std::string MemberError(std::string_view name, const std::string& why) const;
    // Checking: a finding when a symbolic link would lead out of the target.
    void CheckLinkTarget(const zip::MemberEntry& entry, const zip::MemberData& data,
                         zip::MemberCipher* crypto);
    Outcome ToMemory(const zip::MemberEntry& entry);

    // Finds the keys for an encrypted member: the password that worked
    // last, the block's password, then the engine's answers.
    bool ResolvePassword(const zip::MemberEntry& entry, const zip::MemberData& data,
                         std::optional<zip::MemberCipher>& crypto);
    // Whether the password opens the member's data: its first bytes decode
    // (all of a small member's, its CRC checked).
    bool OpensData(const zip::MemberData& data, const std::string& password) const;
    // The member the workers located and decoded, or null when they did not;
    // valid until the member is dropped.
    Prefetched* TakeReady(size_t index);
    // Where a member's data lies: from the workers' result when there is one.
    bool LocateMember(const zip::MemberEntry& entry, const Prefetched* ready, zip::MemberData& data,
                      std::string& error) const;
    // Decodes a member into sink, from the workers' result when there is one.
    zip::DecodeResult Decode(Prefetched* ready, const zip::MemberData& data,
                             zip::MemberCipher* crypto, const zip::ByteSink& sink);
    Outcome Fail(std::string_view name, int32_t error, uint8_t skipType, const std::string& why);
    void Progress(uint64_t bytes);
    void FlushProgress();
    void Summary(size_t selected, bool cancelled);

    const UnzipRequest& request_;
    Reporter reporter_;
    zip::ArchiveReader reader_;
    std::unique_ptr<Prefetcher> prefetcher_;
    int baseFd_ = -1;
    std::unique_ptr<zip::FolderCache> folders_;  // below baseFd_
    std::string lastPassword_;
    std::string provenPassword_;  // opened a member's data in this batch
    std::string line_;            // a member's report, its room kept from member to member
    int32_t successes_ = 0;
    int32_t errors_ = 0;
    int32_t lastError_ = 0;
    int32_t warnings_ = 0;
    int32_t findings_ = 0;  // checking: findings about the structure
    uint64_t pendingBytes_ = 0;
    std::vector<std::pair<std::vector<std::string>, zip::DirStamp>> dirTimes_;
};

}  // namespace kelp::kunzip
