// Fuzzes the Deflate64 decoder on raw streams. The first byte chooses where
// the input is split and how little output room is offered at a time; the
// stream is decoded twice, whole and in those pieces, and both runs must
// agree (the decoder stops and resumes at any point).
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "deflate64_decoder.h"

namespace {

// Most output taken from one input: enough for every seed, small enough
// to keep runs fast.
constexpr size_t kOutputLimit = 4u << 20;

struct Outcome {
    kelp::zip::DecodeStep last = kelp::zip::DecodeStep::Progress;
    std::string bytes;
};

Outcome DecodeAll(std::span<const uint8_t> stream, size_t split, size_t room) {
    Outcome o;
    auto decoder = kelp::zip::MakeDeflate64Decoder();
    std::span<const uint8_t> pending = stream.first(split);
    std::span<const uint8_t> rest = stream.subspan(split);
    std::string out(room, '\0');
    for (;;) {
        if (pending.empty() && !rest.empty()) std::swap(pending, rest);
        const size_t before = pending.size();
        size_t written = 0;
        o.last = decoder->Run(pending, {reinterpret_cast<uint8_t*>(out.data()), out.size()},
                              written, rest.empty());
        o.bytes.append(out.data(), written);
        if (o.last != kelp::zip::DecodeStep::Progress || o.bytes.size() > kOutputLimit) return o;
        // Nothing moved: the input is used up (truncated) or stuck.
        if (written == 0 && pending.size() == before && rest.empty()) return o;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::span<const uint8_t> stream(data + 1, size - 1);
    const size_t split = stream.empty() ? 0 : data[0] % stream.size();
    const size_t room = 1 + (data[0] >> 4) * 977;
    const Outcome whole = DecodeAll(stream, stream.size(), 64 * 1024);
    const Outcome pieces = DecodeAll(stream, split, room);
    // Past the output limit the two runs stop at different points.
    if (whole.bytes.size() <= kOutputLimit && pieces.bytes.size() <= kOutputLimit &&
        (whole.last != pieces.last || whole.bytes != pieces.bytes))
        std::abort();
    return 0;
}
