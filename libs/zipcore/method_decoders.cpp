#include "method_decoders.h"

#include "deflate64_decoder.h"

#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kelp::zip {
namespace {

// Input handed to a library in one call (their counters are 32-bit).
constexpr size_t kMaxCallInput = 1u << 30;

// bzip2 data may hold several streams one after another; so may Zstandard
// data hold several frames. Between two, the end of the input ends it all.
class Bzip2Decoder : public MethodDecoder {
  public:
    Bzip2Decoder() { ok_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK; }
    ~Bzip2Decoder() override {
        if (ok_) BZ2_bzDecompressEnd(&stream_);
    }
    bool ok() const { return ok_; }

    DecodeStep Run(std::span<const uint8_t>& in, std::span<uint8_t> out, size_t& written,
                   bool lastInput) override {
        written = 0;
        if (betweenStreams_) {
            if (in.empty()) return lastInput ? DecodeStep::End : DecodeStep::Progress;
            BZ2_bzDecompressEnd(&stream_);
            stream_ = bz_stream{};
            ok_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK;
            if (!ok_) return DecodeStep::NoMemory;
            betweenStreams_ = false;
        }
        const size_t chunk = std::min(in.size(), kMaxCallInput);
        stream_.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(in.data()));
        stream_.avail_in = static_cast<unsigned>(chunk);
        stream_.next_out = reinterpret_cast<char*>(out.data());
        stream_.avail_out = static_cast<unsigned>(std::min(out.size(), kMaxCallInput));
        const unsigned room = stream_.avail_out;
        const int rc = BZ2_bzDecompress(&stream_);
        in = in.subspan(chunk - stream_.avail_in);
        written = room - stream_.avail_out;
        switch (rc) {
            case BZ_OK:
                return DecodeStep::Progress;
            case BZ_STREAM_END:
                if (in.empty() && lastInput) return DecodeStep::End;
                betweenStreams_ = true;
                return DecodeStep::Progress;
            case BZ_MEM_ERROR:
                return DecodeStep::NoMemory;
            default:
                return DecodeStep::BadData;
        }
    }

  private:
    bz_stream stream_{};
    bool ok_ = false;
    bool betweenStreams_ = false;
};

DecodeStep FromLzma(lzma_ret rc) {
    switch (rc) {
        case LZMA_OK:
        case LZMA_BUF_ERROR:  // no progress: the caller sees it
            return DecodeStep::Progress;
        case LZMA_STREAM_END:
            return DecodeStep::End;
        case LZMA_MEM_ERROR:
        case LZMA_MEMLIMIT_ERROR:
            return DecodeStep::NoMemory;
        default:
            return DecodeStep::BadData;
    }
}

// Runs an initialised liblzma stream over the input.
class LzmaStreamDecoder : public MethodDecoder {
  public:
    ~LzmaStreamDecoder() override { lzma_end(&stream_); }

    DecodeStep Run(std::span<const uint8_t>& in, std::span<uint8_t> out, size_t& written,
                   bool lastInput) override {
        written = 0;
        if (!ready_) {
            const DecodeStep step = Start(in);
            if (step != DecodeStep::Progress || !ready_) return step;
        }
        stream_.next_in = in.data();
        stream_.avail_in = in.size();
        stream_.next_out = out.data();
        stream_.avail_out = out.size();
        const lzma_ret rc = lzma_code(&stream_, lastInput ? LZMA_FINISH : LZMA_RUN);
        in = in.subspan(in.size() - stream_.avail_in);
        written = out.size() - stream_.avail_out;
        return FromLzma(rc);
    }

  protected:
    // Sets the stream up, taking any header it needs from the input;
    // ready_ stays false while more header bytes are wanted.
    virtual DecodeStep Start(std::span<const uint8_t>& in) = 0;

    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool ready_ = false;
};

class XzDecoder : public LzmaStreamDecoder {
  protected:
    DecodeStep Start(std::span<const uint8_t>&) override {
        ready_ = true;
        return FromLzma(lzma_stream_decoder(&stream_, kDecoderMemoryLimit, 0));
    }
};

// LZMA as ZIP stores it: version (2 bytes), size of the properties
// (2 bytes, little-endian), the properties (5 bytes), then raw LZMA1 data.
// General purpose bit 1 says an end marker ends the data; without it the
// stated size does (a marker there is accepted too, as some writers add one).
class LzmaDecoder : public LzmaStreamDecoder {
  public:
    LzmaDecoder(uint16_t flags, uint64_t expectedSize)
        : endMarker_(flags & 0x0002), expected_(expectedSize) {}

  protected:
    DecodeStep Start(std::span<const uint8_t>& in) override {
        const size_t take = std::min(in.size(), sizeof(header_) - headerBytes_);
        std::memcpy(header_ + headerBytes_, in.data(), take);
        headerBytes_ += take;
        in = in.subspan(take);
        if (headerBytes_ < sizeof(header_)) return DecodeStep::Progress;
        if ((header_[2] | header_[3] << 8) != 5) return DecodeStep::BadData;

        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
        if (lzma_properties_decode(&filters[0], nullptr, header_ + 4, 5) != LZMA_OK)
            return DecodeStep::BadData;
        auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
        // No match reaches further back than the bytes produced, which never
        // exceed the stated size: a larger dictionary would only take memory.
        options->dict_size = static_cast<uint32_t>(std::clamp<uint64_t>(
            expected_, LZMA_DICT_SIZE_MIN, std::max(options->dict_size, LZMA_DICT_SIZE_MIN)));
        filters[0].id = LZMA_FILTER_LZMA1EXT;
        const uint64_t size = endMarker_ ? UINT64_MAX : expected_;
        options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
        options->ext_size_low = static_cast<uint32_t>(size);
        options->ext_size_high = static_cast<uint32_t>(size >> 32);
        DecodeStep step = DecodeStep::NoMemory;
        if (lzma_raw_decoder_memusage(filters) <= kDecoderMemoryLimit)
            step = FromLzma(lzma_raw_decoder(&stream_, filters));
        std::free(options);
        ready_ = step == DecodeStep::Progress;
        return step;
    }

  private:
    bool endMarker_;
    uint64_t expected_;
    uint8_t header_[9] = {};
    size_t headerBytes_ = 0;
};

class ZstdDecoder : public MethodDecoder {
  public:
    ZstdDecoder() : stream_(ZSTD_createDStream()) {}
    ~ZstdDecoder() override { ZSTD_freeDStream(stream_); }
    bool ok() const { return stream_ != nullptr; }

    DecodeStep Run(std::span<const uint8_t>& in, std::span<uint8_t> out, size_t& written,
                   bool lastInput) override {
        written = 0;
        if (betweenFrames_ && in.empty()) return lastInput ? DecodeStep::End : DecodeStep::Progress;
        ZSTD_inBuffer input{in.data(), in.size(), 0};
        ZSTD_outBuffer output{out.data(), out.size(), 0};
        const size_t rc = ZSTD_decompressStream(stream_, &output, &input);
        in = in.subspan(input.pos);
        written = output.pos;
        if (ZSTD_isError(rc)) {
            const ZSTD_ErrorCode code = ZSTD_getErrorCode(rc);
            return code == ZSTD_error_memory_allocation ||
                           code == ZSTD_error_frameParameter_windowTooLarge
                       ? DecodeStep::NoMemory
                       : DecodeStep::BadData;
        }
        // 0: a frame ended and all its output was handed over.
        betweenFrames_ = rc == 0;
        if (betweenFrames_ && in.empty() && lastInput) return DecodeStep::End;
        return DecodeStep::Progress;
    }

  private:
    ZSTD_DStream* stream_;
    bool betweenFrames_ = false;
};

}  // namespace

bool LibraryMethod(uint16_t method) {
    return method == kMethodDeflate64 || method == kMethodBzip2 || method == kMethodLzma ||
           method == kMethodXz || method == kMethodZstd;
}

std::unique_ptr<MethodDecoder> MakeMethodDecoder(uint16_t method, uint16_t flags,
                                                 uint64_t expectedSize) {
    switch (method) {
        case kMethodDeflate64:
            return MakeDeflate64Decoder();
        case kMethodBzip2: {
            auto d = std::unique_ptr<Bzip2Decoder>(new (std::nothrow) Bzip2Decoder);
            return d && d->ok() ? std::move(d) : nullptr;
        }
        case kMethodLzma:
            return std::unique_ptr<MethodDecoder>(new (std::nothrow)
                                                      LzmaDecoder(flags, expectedSize));
        case kMethodXz:
            return std::unique_ptr<MethodDecoder>(new (std::nothrow) XzDecoder);
        case kMethodZstd: {
            auto d = std::unique_ptr<ZstdDecoder>(new (std::nothrow) ZstdDecoder);
            return d && d->ok() ? std::move(d) : nullptr;
        }
        default:
            return nullptr;
    }
}

}  // namespace kelp::zip
