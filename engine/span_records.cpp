#include "engine/span_records.h"

#include <algorithm>

#include "engine/ezip_engine.h"

namespace kelp::engine {

namespace zip = kelp::zip;

bool CentralVariableSize(std::span<const uint8_t> fixed, size_t& size) {
    zip::CentralHeader h;
    if (!zip::ParseCentralHeader(fixed, h)) return false;
    size = size_t{h.nameLength} + h.extraLength + h.commentLength;
    return true;
}

bool LocalVariableSize(std::span<const uint8_t> fixed, size_t& size) {
    zip::LocalHeader h;
    if (!zip::ParseLocalHeader(fixed, h)) return false;
    size = size_t{h.nameLength} + h.extraLength;
    return true;
}

bool ReadSpanMember(std::vector<uint8_t> record, SpanMember& member) {
    zip::CentralRecord r;
    if (!zip::ParseCentralRecord(record, r) || r.recordSize != record.size()) return false;
    member.name.assign(r.name);
    member.disk = r.diskStart;
    member.localOffset = r.localOffset;
    member.packedSize = r.packedSize;
    member.central = std::move(record);
    return true;
}

std::vector<size_t> LocalHeaderOrder(const std::vector<SpanMember>& members) {
    std::vector<size_t> order(members.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto place = [&](size_t i) { return std::pair(members[i].disk, members[i].localOffset); };
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return place(a) < place(b); });
    for (size_t i = 1; i < order.size(); ++i)
        if (place(order[i - 1]) == place(order[i]))
            throw EZipEngine(MsgId::SpanRecordMissing, true);
    return order;
}

LocalPlace CheckLocalRecord(std::span<const uint8_t> record, const SpanMember& member) {
    zip::LocalRecord r;
    if (!zip::ParseLocalRecord(record, r)) throw EZipEngine(MsgId::LocalSignatureWrong, true);
    if (r.name != member.name) throw EZipEngine(MsgId::LocalHeaderMismatch, member.name);
    LocalPlace place;
    place.hasDescriptor = (r.header.flags & zip::kFlagDataDescriptor) != 0;
    place.zip64 = zip::FindExtraField(r.extra, zip::kExtraZip64).has_value();
    return place;
}

bool IsDescriptor(std::span<const uint8_t> bytes, bool zip64) {
    zip::DataDescriptor d;
    return zip::ParseDataDescriptor(bytes, d, zip64) && d.recordSize == bytes.size();
}

void AppendPlacedCentral(std::vector<uint8_t>& out, const SpanMember& member, uint32_t disk,
                         uint64_t offset) {
    zip::CentralRecord r;
    zip::ParseCentralRecord(member.central, r);  // parsed once already
    zip::CentralHeader header = r.header;
    const std::vector<uint8_t> extra =
        zip::PutCentralValues(header, r.extra, r.unpackedSize, r.packedSize, offset, disk);
    zip::AppendCentralHeader(out, header);
    zip::AppendBytes(out, r.name);
    zip::AppendBytes(out, std::span<const uint8_t>(extra));
    zip::AppendBytes(out, r.comment);
}

}  // namespace kelp::engine
