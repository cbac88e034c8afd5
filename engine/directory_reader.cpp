#include "engine/directory_reader.h"

#include <algorithm>

#include "engine/ezip_engine.h"
#include "engine/message_ids.h"
#include "libs/zipcore/name_encoding.h"
#include "libs/zipcore/oem_names.h"
#include "libs/zipcore/zip_records.h"

namespace engine {

namespace zip = kelp::zip;

namespace {

void FillEntry(ZipDirEntry& entry, const zip::CentralRecord& r) {
    const zip::CentralHeader& h = r.header;
    entry.VersionMadeBy = h.versionMadeBy;
    entry.HostSystem = h.hostSystem;
    entry.VersionNeeded = h.versionNeeded;
    entry.GeneralFlags = h.flags;
    entry.Method = h.method;
    entry.DosDateTime = static_cast<uint32_t>(h.dosDate) << 16 | h.dosTime;
    entry.Crc = h.crc;
    entry.PackedSize = r.packedSize;
    entry.UnpackedSize = r.unpackedSize;
    entry.NameLength = h.nameLength;
    entry.ExtraLength = h.extraLength;
    entry.CommentLength = h.commentLength;
    entry.DiskStart = r.diskStart;
    entry.InternalAttributes = h.internalAttributes;
    entry.ExternalAttributes = h.externalAttributes;
    entry.LocalHeaderOffset = r.localOffset;
    entry.IsEncrypted = (h.flags & zip::kFlagEncrypted) != 0;
    entry.DataMethod = h.method;
    if (h.method == zip::kMethodAes)
        if (const auto aes = zip::FindAesExtra(r.extra)) {
            entry.DataMethod = aes->method;
            entry.AesStrength = aes->strength;
        }
}

}  // namespace

bool NamesAreOem(CodePageOpts codePage, uint8_t host, uint8_t version) {
    return codePage == cpOEM ||
           (zip::IsOemHost(host, version) && (codePage != cpNone || host != zip::kHostFat));
}

static bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void DirectoryReader::Read(const EocdRecord& eocd, bool oneDisk, int64_t end,
                           std::vector<ZipDirEntry>& entries,
                           const std::function<void(int, const ZipDirEntry&)>& onEntry,
                           std::string& countMismatch) {
    std::vector<uint8_t> record;
    // Names are decided over the whole directory, so each entry holds its
    // stored name, and each record its extra field and comment, until all
    // are read; a directory that breaks off names what it read before the
    // error goes on. The extra fields and comments wait in one byte arena,
    // one after the other in entry order (their lengths are the entries').
    std::vector<uint8_t> stored;
    const size_t first = entries.size();
    auto NameAll = [&] {
        // Only names that are not plain ASCII can need a code page (see
        // ArchiveNameCharset): the choice is made over those.
        std::vector<zip::StoredName> names;
        size_t at = 0;
        for (size_t i = first; i < entries.size(); ++i) {
            const ZipDirEntry& e = entries[i];
            if (!IsAscii(e.MemberName))
                names.push_back({e.MemberName,
                                 {stored.data() + at, e.ExtraLength},
                                 e.GeneralFlags,
                                 e.HostSystem});
            at += e.ExtraLength + e.CommentLength;
        }
        charset_ = zip::ArchiveNameCharset(names, chosenCharset_);
        at = 0;
        for (size_t i = first; i < entries.size(); ++i) {
            ZipDirEntry& entry = entries[i];
            const std::span<const uint8_t> extra(stored.data() + at, entry.ExtraLength);
            const std::string_view comment(
                reinterpret_cast<const char*>(stored.data()) + at + entry.ExtraLength,
                entry.CommentLength);
            at += entry.ExtraLength + entry.CommentLength;
            // cpNone leaves FAT names as stored.
            const bool convert = codePage_ != cpNone ||
                                 NamesAreOem(codePage_, entry.HostSystem, entry.VersionMadeBy);
            const std::string& charset = convert ? charset_ : std::string();
            // Most names are ASCII without a Unicode path field: they stay as
            // stored, with no copy made.
            const bool keep = chosenCharset_.empty() && IsAscii(entry.MemberName) &&
                              !zip::FindExtraField(extra, zip::kExtraUnicodePath);
            if (!keep)
                entry.MemberName = zip::DecodeStoredName(
                    {entry.MemberName, extra, entry.GeneralFlags, entry.HostSystem}, charset,
                    !chosenCharset_.empty());
            if (!comment.empty())
                entry.MemberComment =
                    zip::DecodeStoredComment({comment, extra, entry.GeneralFlags, entry.HostSystem},
                                             charset, !chosenCharset_.empty());
            if (onEntry) onEntry(static_cast<int>(i - first + 1), entry);
        }
        std::vector<uint8_t>().swap(stored);
    };
    uint64_t n = 0;
    try {
        for (;; ++n) {
            if (oneDisk &&
                reader_.Position() + static_cast<int64_t>(zip::kCentralHeaderSize) > end) {
                // Fewer headers than the end record counts: the directory is damaged.
                if (n < eocd.TotalEntries) throw EZipEngine(MsgId::CentralHeaderReadError, true);
                break;
            }
            if (!oneDisk && n >= eocd.TotalEntries) break;
            zip::CentralRecord r;
            RecordRead read = ReadCentralRecord(reader_, record, r);
            // A header never spans parts: a short one starts the next part.
            if (read == RecordRead::ShortFixedPart && !oneDisk && nextPart_ && nextPart_())
                read = ReadCentralRecord(reader_, record, r);
            if (read == RecordRead::ShortFixedPart)
                throw EZipEngine(MsgId::CentralHeaderReadError, true);
            if (read == RecordRead::NotAHeader) {
                // Bytes behind the counted members that are no header end the directory.
                if (oneDisk && n >= eocd.TotalEntries) break;
                throw EZipEngine(MsgId::CentralSignatureWrong, true);
            }
            if (read == RecordRead::ShortFields)
                throw EZipEngine(r.header.nameLength > 0 ? MsgId::CentralNameReadError
                                                         : MsgId::FileCommentReadError,
                                 true);

            // The bytes go in first: an entry never lacks its own.
            stored.insert(stored.end(), r.extra.begin(), r.extra.end());
            stored.insert(stored.end(), r.comment.begin(), r.comment.end());
            ZipDirEntry& entry = entries.emplace_back();
            FillEntry(entry, r);
            lastVersion_ = entry.VersionMadeBy;
            lastHost_ = entry.HostSystem;
            lastFlags_ = entry.GeneralFlags;
            entry.MemberName.assign(r.name);
        }
    } catch (...) {
        NameAll();
        throw;
    }
    NameAll();
    if (n != eocd.TotalEntries) {
        // More headers than the end record counts: every member is listed,
        // and the archive is still reported damaged.
        countMismatch = "\n" + std::to_string(n) + " members in the central directory, " +
                        std::to_string(eocd.TotalEntries) + " in the end record";
    }
}

}  // namespace engine
