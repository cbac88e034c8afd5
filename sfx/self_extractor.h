// Extracts the archive appended to the running program into a folder, as
// the settings block in front of the archive says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "archive_reader.h"
#include "engine/sfx_settings_block.h"
#include "member_cipher.h"
#include "safe_path.h"
#include "sfx/console.h"

namespace kelp::sfx {

class SelfExtractor {
  public:
    SelfExtractor(const kelp::zip::ArchiveReader& reader, const engine::SfxSettingsBlock& settings,
                  Console& console)
        : reader_(reader), settings_(settings), console_(console) {}

    // Extracts every member below `folder` (created when missing). Returns
    // false when anything failed; the reasons went to standard error.
    bool ExtractAll(const std::string& folder);
    int Extracted() const { return extracted_; }
    int Skipped() const { return skipped_; }

  private:
    bool HasRoom(const std::string& folder) const;
    bool ExtractMember(int baseFd, const kelp::zip::MemberEntry& entry);
    // Makes a stored symbolic link, only when it points inside the target.
    bool ExtractLink(int baseFd, const kelp::zip::MemberEntry& entry,
                     const kelp::zip::MemberData& data,
                     std::optional<kelp::zip::MemberCipher>& crypto,
                     const kelp::zip::TargetName& target, const kelp::zip::TargetDir& dir);
    bool MayOverwrite(const std::string& name);
    bool Fail(const std::string& name, const std::string& reason);

    const kelp::zip::ArchiveReader& reader_;
    const engine::SfxSettingsBlock& settings_;
    Console& console_;
    std::string password_;
    // An answer "all" or "none" to the overwrite question holds for the rest.
    int overwriteAll_ = 0;  // 1 all, -1 none
    int extracted_ = 0;
    int skipped_ = 0;
};

// The file offset where the archive behind the program starts.
uint64_t ArchiveStart(const kelp::zip::ArchiveReader& reader);

}  // namespace kelp::sfx
