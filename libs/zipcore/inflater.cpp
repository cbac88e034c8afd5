#include "inflater.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <new>

namespace kelp::zip {

const char* InflateStatusText(InflateStatus status) {
    switch (status) {
        case InflateStatus::Ok:
            return "ok";
        case InflateStatus::NeedInput:
            return "more input needed";
        case InflateStatus::TooLong:
            return "data inflates past its stored size";
        case InflateStatus::TooShort:
            return "data ends before its stored size";
        case InflateStatus::BadData:
            return "invalid compressed data";
        case InflateStatus::Truncated:
            return "compressed data is truncated";
        case InflateStatus::NoMemory:
            return "out of memory";
    }
    return "unknown";
}

InflateStatus InflateWhole(std::span<const uint8_t> in, std::span<uint8_t> out) {
    // One decompressor per thread: allocating it costs more than a small member.
    thread_local struct Holder {
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        ~Holder() { libdeflate_free_decompressor(d); }
    } holder;
    if (!holder.d) return InflateStatus::NoMemory;
    size_t usedIn = 0;
    switch (libdeflate_deflate_decompress_ex(holder.d, in.data(), in.size(), out.data(), out.size(),
                                             &usedIn, nullptr)) {
        case LIBDEFLATE_SUCCESS:
            return InflateStatus::Ok;
        case LIBDEFLATE_SHORT_OUTPUT:
            return InflateStatus::TooShort;
        case LIBDEFLATE_INSUFFICIENT_SPACE:
            return InflateStatus::TooLong;
        default:
            return InflateStatus::BadData;
    }
}

StreamInflater::StreamInflater(uint64_t expectedSize) : expected_(expectedSize) {
    auto* s = new (std::nothrow) z_stream{};
    if (s && inflateInit2(s, -MAX_WBITS) == Z_OK) {
        stream_ = s;
    } else {
        delete s;
    }
}

StreamInflater::~StreamInflater() {
    if (stream_) {
        inflateEnd(stream_);
        delete stream_;
    }
}

InflateStatus StreamInflater::Step(std::span<const uint8_t>& in, size_t& outBytes, bool& streamEnd,
                                   bool& filled, bool& stalled) {
    // Never offer more output room than the stored size leaves, plus one
    // byte so that data running past the size is noticed.
    uint64_t room = expected_ - produced_ + 1;
    size_t avail = static_cast<size_t>(std::min<uint64_t>(sizeof(out_), room));
    size_t chunkIn = std::min<size_t>(in.size(), 1u << 30);
    stream_->next_in = const_cast<Bytef*>(in.data());
    stream_->avail_in = static_cast<uInt>(chunkIn);
    stream_->next_out = out_;
    stream_->avail_out = static_cast<uInt>(avail);
    int rc = inflate(stream_, Z_NO_FLUSH);
    size_t used = chunkIn - stream_->avail_in;
    in = in.subspan(used);
    outBytes = avail - stream_->avail_out;
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_STREAM_ERROR)
        return InflateStatus::BadData;
    if (rc == Z_MEM_ERROR) return InflateStatus::NoMemory;
    produced_ += outBytes;
    if (produced_ > expected_) return InflateStatus::TooLong;
    streamEnd = rc == Z_STREAM_END;
    filled = outBytes == avail;
    stalled = used == 0 && outBytes == 0;
    return InflateStatus::Ok;
}

}  // namespace kelp::zip
