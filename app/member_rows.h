// The member grid's rows: one small record per member of every listed
// archive, whose cell texts are made when the grid asks for them.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/zip_dir_entry.h"
#include "platform/huge_pages.h"
#include "sort_grid_model.h"

namespace kelp {

// "Filename" cell of a folder entry: sorts after every file cell.
extern const QString DirectoryMarker;

// The grid's date and time text of a DOS date and time.
QString FormatDosDateTime(uint32_t dosDateTime);
// Truncated compression ratio in percent; 0 for an empty member.
int64_t CompressionRatio(int64_t packed, int64_t unpacked);

// Each record is one member: its archive and its place in that archive's
// directory, with the member's name exactly as the directory gives it, so
// that actions name members by their records and never by cell texts.
// Columns: "Filename" (indented name, " +" when encrypted, or the folder
// marker), type name, date and time, packed size, size, ratio, folder
// ("Defpath"), archive. A folder entry has texts in the first and the last
// two columns only.
class MemberRows : public GridRowSource {
  public:
    // `typeName` gives the type name of a file name (by its extension).
    explicit MemberRows(std::function<QString(const QString&)> typeName)
        : typeName_(std::move(typeName)) {}

    // Appends the members of one archive as records Count() onwards and
    // returns the total size of its files.
    int64_t Append(const engine::DirEntryList& entries, const QString& archive);
    uint32_t Count() const { return uint32_t(members_.size()); }

    // The archive of a record, as listed.
    const QString& Archive(uint32_t record) const { return archives_[members_[record].archive]; }
    // The member's name byte for byte; a folder entry's ends in "/".
    std::string_view Name(uint32_t record) const {
        const Member& m = members_[record];
        return std::string_view(paths_).substr(m.pathStart, m.pathLength);
    }
    // The member's index in its archive's directory as listed.
    uint32_t Entry(uint32_t record) const { return members_[record].entry; }
    bool IsFolder(uint32_t record) const { return members_[record].nameLength == 0; }
    // The name the filter field matches: Name(), case-folded when it holds
    // more than ASCII (an ASCII name the filter lowers itself).
    std::string_view MatchName(uint32_t record) const {
        const auto folded = folded_.find(record);
        return folded == folded_.end() ? Name(record) : std::string_view(folded->second);
    }

    QString Cell(int col, uint32_t record) const override;
    qsizetype CellLength(int col, uint32_t record) const override;

  private:
    struct Member {
        int64_t packed = 0;
        int64_t unpacked = 0;
        size_t nameStart = 0;     // in names_
        size_t pathStart = 0;     // in paths_
        uint32_t pathLength = 0;  // bytes
        uint32_t entry = 0;       // index in the archive's directory
        uint32_t nameLength = 0;  // characters; 0 for a folder entry
        uint32_t dosDateTime = 0;
        uint32_t folder = 0;   // index into folders_
        uint32_t type = 0;     // index into types_
        uint32_t archive = 0;  // index into archives_
        bool encrypted = false;
    };

    std::function<QString(const QString&)> typeName_;
    std::vector<Member, platform::LargeBlocks<Member>> members_;
    QString names_;      // the names after the last "/" or ":", back to back
    std::string paths_;  // the members' whole names as stored, back to back
    // Texts that many members share, made once each.
    std::vector<QString> folders_, types_, archives_;
    std::unordered_map<uint32_t, std::string> folded_;  // by record: non-ASCII names folded
};

}  // namespace kelp
