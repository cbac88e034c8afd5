#include "member_rows.h"

#include "member_filter.h"

#include <QStringBuilder>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <unordered_map>

namespace kelp {

const QString DirectoryMarker = QChar(0xFF) + QStringLiteral("   <Directory>");

namespace {

const QString kFileIndent = QStringLiteral("     ");
const QString kEncryptedMark = QStringLiteral(" +");

// Characters of the decimal text of n.
qsizetype DecimalLength(int64_t n) {
    qsizetype length = n < 0 ? 2 : 1;
    for (uint64_t u = n < 0 ? 0 - uint64_t(n) : uint64_t(n); u >= 10; u /= 10) ++length;
    return length;
}

// Index of `key`'s text in `texts`, made by `make` the first time.
template <typename Key, typename Make>
uint32_t Shared(std::unordered_map<Key, uint32_t>& ids, std::vector<QString>& texts, const Key& key,
                const Make& make) {
    auto [it, added] = ids.try_emplace(key, uint32_t(texts.size()));
    if (added) texts.push_back(make());
    return it->second;
}

}  // namespace

QString FormatDosDateTime(uint32_t dt) {
    const unsigned date = dt >> 16, time = dt & 0xFFFF;
    char text[32];
    std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u", 1980 + (date >> 9),
                  (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return QString::fromLatin1(text);
}

int64_t CompressionRatio(int64_t packed, int64_t unpacked) {
    if (unpacked == 0) return 0;
    const long double r = (1.0L - static_cast<long double>(packed) / unpacked) * 100.0L;
    return static_cast<int64_t>(r);  // truncates toward zero
}

int64_t MemberRows::Append(const engine::DirEntryList& entries, const QString& archive) {
    const auto archiveId = uint32_t(archives_.size());
    archives_.push_back(archive);
    members_.reserve(members_.size() + entries.size());
    // A UTF-8 byte never becomes more than one UTF-16 unit.
    size_t nameBytes = 0, pathBytes = 0;
    for (const engine::ZipDirEntry& e : entries) {
        nameBytes += e.MemberName().size() - (e.MemberName().find_last_of("/:") + 1);
        pathBytes += e.MemberName().size();
    }
    names_.reserve(names_.size() + qsizetype(nameBytes));
    paths_.reserve(paths_.size() + pathBytes);

    // Folders and type names are texts that many members share.
    std::unordered_map<std::string_view, uint32_t> folderIds, typeIds;
    int64_t total = 0;
    for (size_t index = 0; index < entries.size(); ++index) {
        const engine::ZipDirEntry& e = entries[index];
        // Names are UTF-8, and "/" and ":" are single bytes in it.
        const std::string_view member = e.MemberName();
        const size_t start = member.find_last_of("/:") + 1;  // 0 when none
        const std::string_view name = member.substr(start), folder = member.substr(0, start);
        Member m;
        m.archive = archiveId;
        m.entry = uint32_t(index);
        m.pathStart = paths_.size();
        m.pathLength = uint32_t(member.size());
        paths_ += member;
        if (std::any_of(member.begin(), member.end(), [](char c) { return c & 0x80; }))
            folded_.emplace(uint32_t(members_.size()), MemberFilter::Fold(member));
        m.folder = Shared(folderIds, folders_, folder, [&] {
            return QString::fromUtf8(folder.data(), qsizetype(folder.size()));
        });
        if (!name.empty()) {
            const QString text = QString::fromUtf8(name.data(), qsizetype(name.size()));
            m.nameStart = size_t(names_.size());
            m.nameLength = uint32_t(text.size());
            names_ += text;
            const size_t dot = name.rfind('.');
            m.type =
                Shared(typeIds, types_, dot == std::string_view::npos ? name : name.substr(dot),
                       [&] { return typeName_(text); });
            m.packed = static_cast<int64_t>(e.PackedSize());
            m.unpacked = static_cast<int64_t>(e.UnpackedSize());
            m.dosDateTime = e.DosDateTime();
            m.encrypted = e.IsEncrypted();
            total += m.unpacked;
        }
        members_.push_back(m);
    }
    return total;
}

QString MemberRows::Cell(int col, uint32_t record) const {
    if (record >= members_.size()) return {};
    const Member& m = members_[record];
    if (col == 6) return folders_[m.folder];
    if (col == 7) return archives_[m.archive];
    if (m.nameLength == 0) return col == 0 ? DirectoryMarker : QString();
    switch (col) {
        case 0: {
            const QStringView name(names_.constData() + m.nameStart, m.nameLength);
            return m.encrypted ? QString(kFileIndent % name % kEncryptedMark)
                               : QString(kFileIndent % name);
        }
        case 1:
            return types_[m.type];
        case 2:
            return FormatDosDateTime(m.dosDateTime);
        case 3:
            return QString::number(m.packed);
        case 4:
            return QString::number(m.unpacked);
        case 5:
            return QString::number(CompressionRatio(m.packed, m.unpacked)) + QLatin1Char('%');
        default:
            return {};
    }
}

qsizetype MemberRows::CellLength(int col, uint32_t record) const {
    if (record >= members_.size()) return 0;
    const Member& m = members_[record];
    if (col == 6) return folders_[m.folder].size();
    if (col == 7) return archives_[m.archive].size();
    if (m.nameLength == 0) return col == 0 ? DirectoryMarker.size() : 0;
    switch (col) {
        case 0:
            return kFileIndent.size() + m.nameLength + (m.encrypted ? kEncryptedMark.size() : 0);
        case 1:
            return types_[m.type].size();
        case 2:
            return 19;  // "yyyy/mm/dd hh:mm:ss"; every field fits its digits
        case 3:
            return DecimalLength(m.packed);
        case 4:
            return DecimalLength(m.unpacked);
        case 5:
            return DecimalLength(CompressionRatio(m.packed, m.unpacked)) + 1;
        default:
            return 0;
    }
}

}  // namespace kelp
