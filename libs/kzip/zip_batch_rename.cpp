// Renaming members in place: every member is copied as its bytes stand,
// and a renamed one gets new local and central names (the Unicode path
// field, which would name it by its old name, is dropped). The compressed
// and encrypted data never change: neither traditional nor AES encryption
// depends on the name.
#include <algorithm>
#include <set>

#include "name_encoding.h"
#include "record_writer.h"
#include "safe_path.h"
#include "zip_batch.h"

namespace kelp::kzip {
namespace {

// Why `name` cannot be a member's new name; empty when it can.
std::string RefusedName(const std::string& name) {
    if (name.empty() || name == "/") return "the new name is empty";
    const zip::TargetName target = zip::ResolveMemberName(name, true);
    if (!target.ok) return "the new name " + name + " is not allowed (" + target.reason + ")";
    if (name.size() > 0xFFFF) return "the new name is too long";
    return {};
}

}  // namespace

bool ZipBatch::PlanRenames() {
    const auto& entries = reader_.entries();
    newNames_.assign(entries.size(), std::nullopt);
    for (auto [from, to] : request_.renames) {
        // A folder named without its "/" is the folder, when no member has
        // that name itself.
        if (!from.empty() && !from.ends_with('/') &&
            std::none_of(entries.begin(), entries.end(),
                         [&](const auto& e) { return e.displayName == from; }) &&
            std::any_of(entries.begin(), entries.end(),
                        [&](const auto& e) { return e.displayName.starts_with(from + '/'); }))
            from += '/';
        // A folder is renamed as a folder, "docs/" to "papers/".
        if (from.ends_with('/') && !to.empty() && !to.ends_with('/')) to += '/';
        if (const std::string why = RefusedName(to); !why.empty()) {
            reporter_.Message(kErrName, "  error: " + why + "; the archive was not changed");
            return false;
        }
        bool found = false;
        for (size_t i = 0; i < entries.size(); ++i) {
            const std::string name(entries[i].displayName);
            const bool under = from.ends_with('/') && name.starts_with(from);
            if (name != from && !under) continue;
            if (newNames_[i]) {
                reporter_.Message(
                    kErrName,
                    "  error: " + name + " is named by two renames; the archive was not changed");
                return false;
            }
            newNames_[i] = to + name.substr(from.size());
            found = true;
        }
        if (!found) {
            reporter_.Message(kErrNothing, "  error: no member is named " + from +
                                               "; the archive was not changed");
            return false;
        }
    }
    // A new name may not take the place of a member that keeps its name, nor
    // of another renamed one.
    std::set<std::string> taken;
    for (size_t i = 0; i < entries.size(); ++i)
        if (!newNames_[i]) taken.emplace(entries[i].displayName);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!newNames_[i]) continue;
        if (!taken.insert(*newNames_[i]).second) {
            reporter_.Message(kErrName,
                              "  error: " + *newNames_[i] +
                                  " exists already in the archive; the archive was not changed");
            return false;
        }
    }
    return true;
}

int32_t ZipBatch::Rename() {
    if (!OpenArchive()) return 0;
    if (!exists_) {
        reporter_.Message(kErrArchive, "  error: " + request_.archive + " is not a ZIP archive");
        return 0;
    }
    if (!PlanRenames()) return 0;
    int32_t renamed = 0;
    for (size_t i = 0; i < reader_.entries().size(); ++i) {
        plan_.emplace_back();
        plan_.back().entry = i;
        if (!newNames_[i]) continue;
        ++renamed;
        reporter_.Message(kNoError, "  renaming: " + std::string(reader_.entries()[i].displayName) +
                                        " to " + *newNames_[i]);
    }
    reporter_.FileCount(renamed);
    if (reporter_.cancelled()) return Cancelled(), 0;
    if (!WriteArchive()) return 0;
    changed_ = renamed;
    reporter_.Message(kNoError, "  " + std::to_string(changed_) + " member(s) renamed");
    return changed_;
}

bool ZipBatch::RenamesReadBack() {
    const std::string path = out_.ReadablePath();
    zip::ArchiveReader written;
    std::string error = out_.ErrorText();
    auto fail = [&](const std::string& why) {
        reporter_.Message(kErrWrite, "  error: the renamed archive does not read back (" + why +
                                         "); the archive was not changed");
        return false;
    };
    if (path.empty() || !written.Open(path, error)) return fail(error);
    const auto& before = reader_.entries();
    const auto& after = written.entries();
    error.clear();
    if (after.size() != before.size() || written.directoryTruncated())
        return fail(std::to_string(after.size()) + " members instead of " +
                    std::to_string(before.size()));
    for (size_t i = 0; i < after.size(); ++i) {
        const zip::MemberEntry& was = before[i];
        const zip::MemberEntry& is = after[i];
        const std::string expected = newNames_[i] ? *newNames_[i] : std::string(was.name);
        zip::MemberData data;
        zip::LocalHeader local;
        std::string localName;
        if (is.name != expected)
            return fail(std::string(is.name) + " where " + expected + " was written");
        if (!written.Locate(is, data, error, written, &local, &localName) || localName != is.name)
            return fail("the local header of " + expected +
                        (error.empty() ? " differs" : ": " + error));
        if (is.header.crc != was.header.crc || is.packedSize != was.packedSize ||
            is.unpackedSize != was.unpackedSize)
            return fail("the CRC or sizes of " + expected + " changed");
    }
    return true;
}

std::optional<std::vector<uint8_t>> ZipBatch::RenamedLocalHeader(const zip::MemberEntry& e,
                                                                 const zip::MemberData& data,
                                                                 const std::string& name) {
    uint8_t fixed[zip::kLocalHeaderSize];
    zip::LocalHeader header;
    if (!reader_.ReadAt(e.localOffset, fixed, sizeof fixed) ||
        !zip::ParseLocalHeader(fixed, header))
        return std::nullopt;
    const std::basic_string<uint8_t> extra =
        zip::WithoutExtraField(data.localExtra, zip::kExtraUnicodePath);
    header.flags = zip::IsAscii(name) ? header.flags : (header.flags | zip::kFlagUtf8);
    header.nameLength = static_cast<uint16_t>(name.size());
    header.extraLength = static_cast<uint16_t>(extra.size());
    std::vector<uint8_t> out;
    zip::AppendLocalHeader(out, header);
    zip::AppendBytes(out, name);
    zip::AppendBytes(out, std::span<const uint8_t>(extra.data(), extra.size()));
    return out;
}

void ZipBatch::RenameCentral(Central& c, const std::string& name) {
    if (!zip::IsAscii(name)) c.header.flags |= zip::kFlagUtf8;
    c.name = name;
    const std::basic_string<uint8_t> extra =
        zip::WithoutExtraField(c.extra, zip::kExtraUnicodePath);
    c.extra.assign(extra.begin(), extra.end());
}

}  // namespace kelp::kzip
