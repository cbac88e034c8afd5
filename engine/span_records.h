// The records of a multi-part set as the span reader and writer copy them:
// every member's central record with the place of its local header, the
// local headers paired with them by (disk, offset), and the end records.
// All record bytes go through the codec (zip_records.h, record_writer.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ezip_engine.h"
#include "record_writer.h"  // with the codec's zip_records.h (engine/ has a header of that name)

namespace kelp::engine {

// One member: its central record as stored and the values the codec read
// from it (ZIP64 extra field applied).
struct SpanMember {
    std::vector<uint8_t> central;  // header, name, extra field and comment
    std::string name;
    uint32_t disk = 0;         // part that holds the local header
    uint64_t localOffset = 0;  // offset of the local header in its part
    uint64_t packedSize = 0;
};

// The bytes that follow the fixed part of a central or local header (name,
// extra field and, for a central header, comment); false when the fixed part
// is not such a header.
bool CentralVariableSize(std::span<const uint8_t> fixed, size_t& size);
bool LocalVariableSize(std::span<const uint8_t> fixed, size_t& size);

// Reads a whole central (or local) record through `read` (which fills a
// buffer or fails): the fixed part, then as many bytes as it announces.
template <typename Read>
void ReadWholeRecord(Read&& read, std::vector<uint8_t>& record, bool central) {
    const size_t fixed = central ? kelp::zip::kCentralHeaderSize : kelp::zip::kLocalHeaderSize;
    record.resize(fixed);
    if (!read(record.data(), fixed))
        throw EZipEngine(central ? MsgId::CentralHeaderReadError : MsgId::LocalHeaderReadError,
                         true);
    size_t rest = 0;
    if (!(central ? CentralVariableSize(record, rest) : LocalVariableSize(record, rest)))
        throw EZipEngine(central ? MsgId::CentralSignatureWrong : MsgId::LocalSignatureWrong, true);
    record.resize(fixed + rest);
    if (!read(record.data() + fixed, rest))
        throw EZipEngine(central ? MsgId::CentralNameReadError : MsgId::LocalNameReadError, true);
}

// Fills `member` from a whole central record; false when it does not parse.
bool ReadSpanMember(std::vector<uint8_t> record, SpanMember& member);

// The members in the order of their local headers, by (disk, offset). Two
// members at one place make the set damaged (EZipEngine MsgId::SpanRecordMissing).
std::vector<size_t> LocalHeaderOrder(const std::vector<SpanMember>& members);

// The local header of `member`: parsed from `record` and its name checked
// against the central record's byte for byte (EZipEngine MsgId::LocalHeaderMismatch on a
// mismatch). Tells whether a data descriptor follows the data and how wide
// its sizes are.
struct LocalPlace {
    bool hasDescriptor = false;
    bool zip64 = false;  // the descriptor's sizes are 8 bytes wide
};
LocalPlace CheckLocalRecord(std::span<const uint8_t> record, const SpanMember& member);
// Whether the bytes are a whole data descriptor.
bool IsDescriptor(std::span<const uint8_t> bytes, bool zip64);

// Reads the data descriptor that follows a member's data through `read`.
template <typename Read>
void ReadDescriptor(Read&& read, std::vector<uint8_t>& descriptor, bool zip64) {
    descriptor.resize(4);
    if (!read(descriptor.data(), 4)) throw EZipEngine(MsgId::DataDescriptorError, true);
    descriptor.resize(kelp::zip::DataDescriptorSize(descriptor, zip64));
    if (!read(descriptor.data() + 4, descriptor.size() - 4) || !IsDescriptor(descriptor, zip64))
        throw EZipEngine(MsgId::DataDescriptorError, true);
}

// Appends the member's central record with its local header moved to
// (disk, offset); values that do not fit the header go into a ZIP64 field.
void AppendPlacedCentral(std::vector<uint8_t>& out, const SpanMember& member, uint32_t disk,
                         uint64_t offset);

}  // namespace kelp::engine
