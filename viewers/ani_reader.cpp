#include "ani_reader.h"

#include <cstring>

namespace kelp::media {

namespace {

// Upper bounds that keep a hostile file from asking for huge allocations.
constexpr uint32_t kMaxFrames = 4096;
constexpr uint32_t kMaxSteps = 65536;

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool Is(const uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

struct Chunk {
    const uint8_t* id;
    const uint8_t* data;
    uint32_t size;
};

// Walks the chunks between `begin` and `end`; false when a chunk's size
// leaves the range.
template <typename Fn>
bool ForEachChunk(const uint8_t* begin, const uint8_t* end, Fn fn) {
    const uint8_t* p = begin;
    while (end - p >= 8) {
        const uint32_t size = Le32(p + 4);
        if (size > uint64_t(end - p) - 8) return false;
        if (!fn(Chunk{p, p + 8, size})) return false;
        p += 8 + size + (size & 1);  // chunks are padded to even sizes
        if (p > end) p = end;
    }
    return true;
}

bool ReadTable(const Chunk& c, std::vector<uint32_t>& table) {
    if (c.size / 4 > kMaxSteps) return false;
    table.resize(c.size / 4);
    for (size_t i = 0; i < table.size(); ++i) table[i] = Le32(c.data + 4 * i);
    return true;
}

}  // namespace

bool ReadAniCursor(const std::vector<uint8_t>& bytes, AniCursor& out, std::string& error) {
    out = AniCursor{};
    if (bytes.size() < 12 || !Is(bytes.data(), "RIFF") || !Is(bytes.data() + 8, "ACON")) {
        error = "not an animated cursor";
        return false;
    }
    const uint8_t* end = bytes.data() + bytes.size();
    const uint64_t riffEnd = 8 + uint64_t(Le32(bytes.data() + 4));
    if (riffEnd < bytes.size()) end = bytes.data() + riffEnd;

    bool haveHeader = false;
    uint32_t stepCount = 0;
    uint32_t flags = 0;
    std::vector<uint32_t> rates, sequence;
    const bool whole = ForEachChunk(bytes.data() + 12, end, [&](const Chunk& c) {
        if (Is(c.id, "anih")) {
            if (c.size < 36) return false;
            stepCount = Le32(c.data + 8);
            out.width = Le32(c.data + 12);
            out.height = Le32(c.data + 16);
            out.displayRate = Le32(c.data + 28);
            flags = Le32(c.data + 32);
            haveHeader = true;
        } else if (Is(c.id, "rate")) {
            return ReadTable(c, rates);
        } else if (Is(c.id, "seq ")) {
            return ReadTable(c, sequence);
        } else if (Is(c.id, "LIST") && c.size >= 4 && Is(c.data, "fram")) {
            return ForEachChunk(c.data + 4, c.data + c.size, [&](const Chunk& f) {
                if (!Is(f.id, "icon")) return true;
                if (out.frames.size() >= kMaxFrames) return false;
                out.frames.emplace_back(f.data, f.data + f.size);
                return true;
            });
        }
        return true;
    });
    if (!whole || !haveHeader) {
        error = haveHeader ? "damaged animated cursor" : "animated cursor without a header";
        return false;
    }
    if (out.frames.empty()) {
        error = "animated cursor without frames";
        return false;
    }
    // Bit 1 of the flags says a sequence is given; without one the frames
    // play in order.
    const bool sequenced = (flags & 2) && !sequence.empty();
    size_t steps = sequenced ? sequence.size() : out.frames.size();
    if (stepCount != 0 && stepCount < steps) steps = stepCount;
    for (size_t i = 0; i < steps; ++i) {
        AniCursor::Step s;
        s.frame = sequenced ? sequence[i] : uint32_t(i);
        s.rate = i < rates.size() ? rates[i] : out.displayRate;
        if (s.frame >= out.frames.size()) {
            error = "animated cursor step names a missing frame";
            return false;
        }
        out.steps.push_back(s);
    }
    return true;
}

}  // namespace kelp::media
