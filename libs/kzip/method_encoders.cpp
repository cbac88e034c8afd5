#include "method_encoders.h"

#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>

#include <algorithm>
#include <new>
#include <vector>

#include "kelp_lib_abi.h"
#include "method_decoders.h"
#include "zip_records.h"

namespace kelp::kzip {
namespace {

constexpr size_t kOutPiece = 256 * 1024;
// Input handed to a library in one call (bzip2's counters are 32-bit).
constexpr size_t kMaxCallInput = 1u << 30;

class Bzip2Encoder : public MethodEncoder {
  public:
    explicit Bzip2Encoder(int level) {
        ok_ = BZ2_bzCompressInit(&stream_, std::clamp(level, 1, 9), 0, 0) == BZ_OK;
    }
    ~Bzip2Encoder() override {
        if (ok_) BZ2_bzCompressEnd(&stream_);
    }
    bool ok() const { return ok_; }

    EncodeStatus Encode(std::span<const uint8_t> in, bool last, const EncodedSink& sink) override {
        for (;;) {
            // Running without input is an error to libbz2; what it holds
            // comes out with later input or at the finish.
            if (!last && in.empty()) return EncodeStatus::Ok;
            const size_t chunk = std::min(in.size(), kMaxCallInput);
            const bool finish = last && chunk == in.size();
            stream_.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(in.data()));
            stream_.avail_in = static_cast<unsigned>(chunk);
            stream_.next_out = reinterpret_cast<char*>(out_.data());
            stream_.avail_out = static_cast<unsigned>(out_.size());
            const int rc = BZ2_bzCompress(&stream_, finish ? BZ_FINISH : BZ_RUN);
            if (rc != BZ_RUN_OK && rc != BZ_FINISH_OK && rc != BZ_STREAM_END)
                return EncodeStatus::Failed;
            in = in.subspan(chunk - stream_.avail_in);
            const size_t made = out_.size() - stream_.avail_out;
            if (made > 0 && !sink(out_.data(), made)) return EncodeStatus::WriteFailed;
            if (rc == BZ_STREAM_END) return EncodeStatus::Ok;
        }
    }

  private:
    bz_stream stream_{};
    bool ok_ = false;
    std::vector<uint8_t> out_ = std::vector<uint8_t>(kOutPiece);
};

// LZMA options for a level: liblzma's presets up to 6 (higher ones take
// hundreds of megabytes per thread for a few percent), with the dictionary
// no larger than the data.
lzma_options_lzma LzmaOptions(int level, uint64_t sizeHint) {
    lzma_options_lzma options{};
    lzma_lzma_preset(&options, static_cast<uint32_t>(std::clamp(level, 1, 6)));
    options.dict_size = static_cast<uint32_t>(
        std::clamp<uint64_t>(sizeHint, LZMA_DICT_SIZE_MIN, options.dict_size));
    return options;
}

// Runs an initialised liblzma encoder; the header, if any, goes first.
class LzmaStreamEncoder : public MethodEncoder {
  public:
    ~LzmaStreamEncoder() override { lzma_end(&stream_); }
    bool ok() const { return ok_; }

    EncodeStatus Encode(std::span<const uint8_t> in, bool last, const EncodedSink& sink) override {
        if (!header_.empty()) {
            if (!sink(header_.data(), header_.size())) return EncodeStatus::WriteFailed;
            header_.clear();
        }
        stream_.next_in = in.data();
        stream_.avail_in = in.size();
        for (;;) {
            stream_.next_out = out_.data();
            stream_.avail_out = out_.size();
            const lzma_ret rc = lzma_code(&stream_, last ? LZMA_FINISH : LZMA_RUN);
            if (rc != LZMA_OK && rc != LZMA_STREAM_END) return EncodeStatus::Failed;
            const size_t made = out_.size() - stream_.avail_out;
            if (made > 0 && !sink(out_.data(), made)) return EncodeStatus::WriteFailed;
            if (rc == LZMA_STREAM_END) return EncodeStatus::Ok;
            if (!last && stream_.avail_in == 0 && stream_.avail_out > 0) return EncodeStatus::Ok;
        }
    }

  protected:
    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool ok_ = false;
    std::vector<uint8_t> header_;
    std::vector<uint8_t> out_ = std::vector<uint8_t>(kOutPiece);
};

// LZMA as ZIP stores it: the encoder's version (2 bytes), the size of the
// properties (2 bytes), the properties (5 bytes), then raw LZMA1 data that
// ends with an end marker (general purpose bit 1).
class LzmaEncoder : public LzmaStreamEncoder {
  public:
    LzmaEncoder(int level, uint64_t sizeHint) {
        lzma_options_lzma options = LzmaOptions(level, sizeHint);
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
        header_ = {LZMA_VERSION_MAJOR, LZMA_VERSION_MINOR, 5, 0, 0, 0, 0, 0, 0};
        ok_ = lzma_properties_encode(&filters[0], header_.data() + 4) == LZMA_OK &&
              lzma_raw_encoder(&stream_, filters) == LZMA_OK;
    }
};

class XzEncoder : public LzmaStreamEncoder {
  public:
    XzEncoder(int level, uint64_t sizeHint) {
        lzma_options_lzma options = LzmaOptions(level, sizeHint);
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
        ok_ = lzma_stream_encoder(&stream_, filters, LZMA_CHECK_CRC64) == LZMA_OK;
    }
};

class ZstdEncoder : public MethodEncoder {
  public:
    // Levels 1 to 9 are Zstandard's own levels of the same number.
    explicit ZstdEncoder(int level) : stream_(ZSTD_createCCtx()) {
        ok_ = stream_ &&
              !ZSTD_isError(ZSTD_CCtx_setParameter(stream_, ZSTD_c_compressionLevel, level));
    }
    ~ZstdEncoder() override { ZSTD_freeCCtx(stream_); }
    bool ok() const { return ok_; }

    EncodeStatus Encode(std::span<const uint8_t> in, bool last, const EncodedSink& sink) override {
        ZSTD_inBuffer input{in.data(), in.size(), 0};
        for (;;) {
            ZSTD_outBuffer output{out_.data(), out_.size(), 0};
            const size_t left =
                ZSTD_compressStream2(stream_, &output, &input, last ? ZSTD_e_end : ZSTD_e_continue);
            if (ZSTD_isError(left)) return EncodeStatus::Failed;
            if (output.pos > 0 && !sink(out_.data(), output.pos)) return EncodeStatus::WriteFailed;
            if (last ? left == 0 : input.pos == input.size && output.pos < output.size)
                return EncodeStatus::Ok;
        }
    }

  private:
    ZSTD_CCtx* stream_;
    bool ok_ = false;
    std::vector<uint8_t> out_ = std::vector<uint8_t>(kOutPiece);
};

template <typename Encoder>
std::unique_ptr<MethodEncoder> Made(Encoder* e) {
    std::unique_ptr<Encoder> owned(e);
    if (!owned || !owned->ok()) return nullptr;
    return owned;
}

}  // namespace

std::optional<uint16_t> ZipMethodOf(int32_t kzipMethod) {
    switch (kzipMethod) {
        case KZIP_METHOD_DEFAULT:
        case KZIP_METHOD_DEFLATE:
            return zip::kMethodDeflated;
        case KZIP_METHOD_STORE:
            return zip::kMethodStored;
        case KZIP_METHOD_BZIP2:
            return zip::kMethodBzip2;
        case KZIP_METHOD_LZMA:
            return zip::kMethodLzma;
        case KZIP_METHOD_XZ:
            return zip::kMethodXz;
        case KZIP_METHOD_ZSTD:
            return zip::kMethodZstd;
        default:
            return std::nullopt;
    }
}

uint16_t MethodVersionNeeded(uint16_t method) {
    switch (method) {
        case zip::kMethodStored:
            return 10;
        case zip::kMethodBzip2:
            return 46;
        case zip::kMethodLzma:
        case zip::kMethodXz:
        case zip::kMethodZstd:
            return 63;
        default:
            return 20;
    }
}

uint16_t MethodFlags(uint16_t method, int level) {
    if (method == zip::kMethodLzma) return 0x0002;  // an end marker closes the data
    if (method != zip::kMethodDeflated) return 0;
    // Bits 1 and 2 say how hard deflate tried: maximum, fast, super fast or
    // (neither) normal, so that a rewrite can try as hard again.
    return level >= 8 ? 0x0002 : level == 2 ? 0x0004 : level == 1 ? 0x0006 : 0;
}

const char* MethodWord(uint16_t method) {
    switch (method) {
        case zip::kMethodStored:
            return "stored";
        case zip::kMethodBzip2:
            return "bzip2";
        case zip::kMethodLzma:
            return "LZMA";
        case zip::kMethodXz:
            return "xz";
        case zip::kMethodZstd:
            return "Zstandard";
        default:
            return "deflated";
    }
}

std::unique_ptr<MethodEncoder> MakeMethodEncoder(uint16_t method, int level, uint64_t sizeHint) {
    switch (method) {
        case zip::kMethodBzip2:
            return Made(new (std::nothrow) Bzip2Encoder(level));
        case zip::kMethodLzma:
            return Made(new (std::nothrow) LzmaEncoder(level, sizeHint));
        case zip::kMethodXz:
            return Made(new (std::nothrow) XzEncoder(level, sizeHint));
        case zip::kMethodZstd:
            return Made(new (std::nothrow) ZstdEncoder(level));
        default:
            return nullptr;
    }
}

}  // namespace kelp::kzip
