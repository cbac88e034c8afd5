#include "archive_check.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "byte_window.h"
#include "safe_path.h"

namespace kelp::zip {

namespace {

std::string Hex(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// Local headers read through a window over the stretch that holds the next
// members' headers: an archive of small members takes one read per stretch
// instead of one or two per member. A member far from the next is read alone.
class HeaderWindow {
  public:
    explicit HeaderWindow(const ArchiveReader& reader) : reader_(reader), window_(reader) {}

    // Where to read the local header of member i from; asked in rising i.
    const ByteSource& For(size_t i) {
        if (i >= loaded_) Load(i);
        return windowed_ ? static_cast<const ByteSource&>(window_) : reader_;
    }

  private:
    static constexpr uint64_t kSpan = 64u << 10;
    static constexpr size_t kMembers = 256;

    void Load(size_t i) {
        const MemberExtent first = reader_.Extent(i);
        const uint64_t start = first.localOffset;
        uint64_t end = start + first.expectedLocalSize;
        size_t k = i + 1;
        for (; k < reader_.entries().size() && k - i < kMembers; ++k) {
            const MemberExtent next = reader_.Extent(k);
            if (next.localOffset < start || next.localOffset - start > kSpan ||
                next.expectedLocalSize > kSpan - (next.localOffset - start))
                break;
            end = std::max(end, next.localOffset + next.expectedLocalSize);
        }
        loaded_ = k;
        windowed_ = k > i + 1;
        end = std::min(end, reader_.fileSize());
        if (windowed_ && end > start) window_.Load(start, static_cast<size_t>(end - start));
    }

    const ArchiveReader& reader_;
    ByteWindow window_;
    size_t loaded_ = 0;  // members before this one are covered
    bool windowed_ = false;
};

// What the local header of `e` says against its central header.
void CompareLocalHeader(const ArchiveReader& reader, const MemberEntry& e, const ByteSource& source,
                        std::vector<std::string>& out) {
    MemberData data;
    std::string error, name;
    LocalHeader local;
    if (!reader.Locate(e, data, error, source, &local, &name)) {
        out.push_back("the local header of " + std::string(e.displayName) +
                      " cannot be used: " + error);
        return;
    }
    // A local name longer than the central one lets expect is read apart.
    if (name.size() != local.nameLength) {
        name.assign(local.nameLength, '\0');
        if (!source.ReadAt(e.localOffset + kLocalHeaderSize, name.data(), name.size())) return;
    }
    auto where = [&] { return "the local header of " + std::string(e.displayName); };
    if (name != e.name) out.push_back(where() + " names it " + name);
    if (local.method != e.header.method)
        out.push_back(where() + " gives method " + std::to_string(local.method) +
                      ", the directory " + std::to_string(e.header.method));
    if ((local.flags ^ e.header.flags) & kFlagEncrypted)
        out.push_back(where() + " and the directory disagree on whether it is encrypted");
    // With a data descriptor the local fields may be zero; else they must agree.
    if (local.flags & kFlagDataDescriptor) return;
    if (local.crc != e.header.crc)
        out.push_back(where() + " gives CRC " + Hex(local.crc) + ", the directory " +
                      Hex(e.header.crc));
    Zip64Values sizes;
    sizes.unpackedSize = local.unpackedSize;
    sizes.packedSize = local.packedSize;
    ApplyZip64Extra(data.localExtra, local.unpackedSize == kFull32, local.packedSize == kFull32,
                    false, false, sizes);
    const uint64_t packed = sizes.packedSize, unpacked = sizes.unpackedSize;
    if (packed != e.packedSize || unpacked != e.unpackedSize)
        out.push_back(where() + " gives sizes " + std::to_string(packed) + "/" +
                      std::to_string(unpacked) + ", the directory " + std::to_string(e.packedSize) +
                      "/" + std::to_string(e.unpackedSize));
}

}  // namespace

bool LinkLeadsOut(std::string_view linkName, std::string_view target) {
    if (target.empty() || target[0] == '/' || target[0] == '\\' ||
        (target.size() >= 2 && target[1] == ':'))
        return true;
    // Depth below the target folder: the link's own folders, then the
    // target's components from there.
    long depth = 0;
    auto walk = [&](std::string_view path, bool lastIsName) {
        size_t start = 0;
        for (size_t i = 0; i <= path.size(); ++i) {
            if (i < path.size() && path[i] != '/' && path[i] != '\\') continue;
            const std::string_view part = path.substr(start, i - start);
            const bool last = i == path.size();
            start = i + 1;
            if (part.empty() || part == "." || (last && lastIsName)) continue;
            depth += part == ".." ? -1 : 1;
            if (depth < 0) return false;
        }
        return true;
    };
    return !walk(linkName, true) || !walk(target, false);
}

std::vector<std::string> StructureFindings(const ArchiveReader& reader) {
    std::vector<std::string> out;
    const auto& entries = reader.entries();
    uint64_t first = reader.centralOffset();
    for (size_t i = 0; i < entries.size(); ++i)
        first = std::min(first, reader.Extent(i).localOffset);
    if (first > 0)
        out.push_back(std::to_string(first) +
                      " bytes stand in front of the first member (a self-extractor "
                      "program or other data)");
    if (reader.offsetShift() != 0)
        out.push_back("the stored offsets do not count the " +
                      std::to_string(reader.offsetShift()) + " bytes in front of the archive");
    const uint64_t end = reader.endRecordOffset() + kEocdSize + reader.comment().size();
    if (end < reader.fileSize())
        out.push_back(std::to_string(reader.fileSize() - end) +
                      " bytes follow the end of the archive");
    if (reader.directoryTruncated())
        out.push_back("the central directory is damaged: only " + std::to_string(entries.size()) +
                      " entries could be read");
    if (reader.countMismatch())
        out.push_back("the end record counts " + std::to_string(reader.declaredEntries()) +
                      " members, the central directory holds " + std::to_string(entries.size()));

    std::unordered_map<std::string_view, size_t> seen;
    std::unordered_map<std::string, size_t> folded;
    seen.reserve(entries.size());
    folded.reserve(entries.size());
    HeaderWindow headers(reader);
    for (size_t i = 0; i < entries.size(); ++i) {
        const MemberEntry e = entries[i];
        const std::string name(e.displayName);
        if (e.overlapsAnother)
            out.push_back(name + " overlaps the data of another member (a zip bomb construction)");
        if (const TargetName target = ResolveMemberName(e.displayName, true); !target.ok)
            out.push_back(name + " is no safe name to extract: " + target.reason);
        if (++seen[e.name] == 2) out.push_back(name + " is stored more than once");
        const auto [twin, added] = folded.try_emplace(AsciiLower(name), i);
        if (!added && entries[twin->second].name != e.name)
            out.push_back(name + " and " + std::string(entries[twin->second].displayName) +
                          " differ only in case");
        CompareLocalHeader(reader, e, headers.For(i), out);
    }
    return out;
}

}  // namespace kelp::zip
