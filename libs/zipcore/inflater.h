// Raw deflate decompression: whole buffers with libdeflate, streams with
// zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct z_stream_s;

namespace kelp::zip {

enum class InflateStatus {
    Ok,         // the stream ended and produced exactly the expected size
    NeedInput,  // streaming: more input wanted
    TooLong,    // the data inflates past its stored size
    TooShort,   // the stream ended before the stored size was reached
    BadData,    // not valid deflate data
    Truncated,  // the input ended inside the stream
    NoMemory,
};

const char* InflateStatusText(InflateStatus status);

// Inflates a whole member into out, whose size is the stored uncompressed
// size.
InflateStatus InflateWhole(std::span<const uint8_t> in, std::span<uint8_t> out);

// Streaming inflater that never produces more than the expected size.
class StreamInflater {
  public:
    explicit StreamInflater(uint64_t expectedSize);
    ~StreamInflater();
    StreamInflater(const StreamInflater&) = delete;
    StreamInflater& operator=(const StreamInflater&) = delete;

    // Feeds input. Calls sink(data, size) for each piece of output; a sink
    // returning false stops with Ok-so-far semantics reported as
    // `stopped()`. Returns NeedInput when the input is used up, Ok at the
    // end of the stream, or an error. lastInput says no more input follows.
    template <typename Sink>
    InflateStatus Feed(std::span<const uint8_t> in, bool lastInput, Sink&& sink);

    bool stopped() const { return stopped_; }
    uint64_t produced() const { return produced_; }

  private:
    // Runs inflate once over the input into out_. filled: the output room
    // was used up (more output may be pending); stalled: nothing moved.
    InflateStatus Step(std::span<const uint8_t>& in, size_t& outBytes, bool& streamEnd,
                       bool& filled, bool& stalled);

    z_stream_s* stream_ = nullptr;
    uint64_t expected_;
    uint64_t produced_ = 0;
    bool stopped_ = false;
    uint8_t out_[64 * 1024];
};

template <typename Sink>
InflateStatus StreamInflater::Feed(std::span<const uint8_t> in, bool lastInput, Sink&& sink) {
    if (!stream_) return InflateStatus::NoMemory;
    for (;;) {
        size_t outBytes = 0;
        bool streamEnd = false, filled = false, stalled = false;
        InflateStatus status = Step(in, outBytes, streamEnd, filled, stalled);
        if (status != InflateStatus::Ok) return status;
        if (outBytes > 0 && !sink(out_, outBytes)) {
            stopped_ = true;
            return InflateStatus::Ok;
        }
        if (streamEnd) return produced_ == expected_ ? InflateStatus::Ok : InflateStatus::TooShort;
        if (filled) continue;
        if (stalled && !in.empty()) return InflateStatus::BadData;
        if (in.empty()) return lastInput ? InflateStatus::Truncated : InflateStatus::NeedInput;
    }
}

}  // namespace kelp::zip
