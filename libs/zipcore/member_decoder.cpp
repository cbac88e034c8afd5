#include "member_decoder.h"

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "crc32.h"
#include "inflater.h"
#include "method_decoders.h"

namespace kelp::zip {
namespace {

constexpr size_t kReadChunk = 256 * 1024;
// Pieces handed to the sink from a whole-member buffer, so progress and
// writing proceed in steps.
constexpr size_t kSinkPiece = 1u << 20;
// Output room offered to a streaming decoder at a time.
constexpr size_t kPlainPiece = 64 * 1024;

DecodeResult Fail(DecodeStatus status, std::string detail) {
    DecodeResult r;
    r.status = status;
    r.detail = std::move(detail);
    return r;
}

// Hands bytes to the sink while keeping CRC and count.
struct CountingSink {
    const ByteSink& sink;
    uint32_t crc = 0;
    uint64_t produced = 0;
    bool operator()(const uint8_t* p, size_t n) {
        crc = Crc32(crc, p, n);
        produced += n;
        return sink(p, n);
    }
};

DecodeResult Finish(const CountingSink& out, const MemberData& data) {
    DecodeResult r;
    r.crc = out.crc;
    r.produced = out.produced;
    if (out.crc != data.crc) r.status = DecodeStatus::CrcMismatch;
    return r;
}

DecodeResult DecodeStored(const ByteSource& reader, const MemberData& data, uint64_t offset,
                          uint64_t size, MemberCipher* crypto, CountingSink& out) {
    if (size != data.unpackedSize)
        return Fail(DecodeStatus::BadData, "stored size and uncompressed size differ");
    std::vector<uint8_t> buf(static_cast<size_t>(std::min<uint64_t>(size, kReadChunk)));
    while (size > 0) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(size, buf.size()));
        if (!reader.ReadAt(offset, buf.data(), n))
            return Fail(DecodeStatus::ReadError, "read error");
        if (crypto) crypto->Decrypt(buf.data(), n);
        if (!out(buf.data(), n)) return Fail(DecodeStatus::Stopped, "stopped");
        offset += n;
        size -= n;
    }
    return Finish(out, data);
}

DecodeResult DecodeWhole(const ByteSource& reader, const MemberData& data, uint64_t offset,
                         uint64_t size, MemberCipher* crypto, CountingSink& out) {
    std::unique_ptr<uint8_t[]> in(new (std::nothrow) uint8_t[size + 1]);
    std::unique_ptr<uint8_t[]> plain(new (std::nothrow) uint8_t[data.unpackedSize + 1]);
    if (!in || !plain) return Fail(DecodeStatus::BadData, "out of memory");
    if (!reader.ReadAt(offset, in.get(), size)) return Fail(DecodeStatus::ReadError, "read error");
    if (crypto) crypto->Decrypt(in.get(), size);
    InflateStatus st = InflateWhole({in.get(), size}, {plain.get(), data.unpackedSize});
    if (st != InflateStatus::Ok) return Fail(DecodeStatus::BadData, InflateStatusText(st));
    for (uint64_t at = 0; at < data.unpackedSize; at += kSinkPiece) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(kSinkPiece, data.unpackedSize - at));
        if (!out(plain.get() + at, n)) return Fail(DecodeStatus::Stopped, "stopped");
    }
    return Finish(out, data);
}

DecodeResult DecodeStreamed(const ByteSource& reader, const MemberData& data, uint64_t offset,
                            uint64_t size, MemberCipher* crypto, CountingSink& out) {
    auto inflater = std::make_unique<StreamInflater>(data.unpackedSize);
    std::vector<uint8_t> buf(kReadChunk);
    InflateStatus st = InflateStatus::NeedInput;
    while (st == InflateStatus::NeedInput) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(size, buf.size()));
        if (n > 0 && !reader.ReadAt(offset, buf.data(), n))
            return Fail(DecodeStatus::ReadError, "read error");
        if (crypto) crypto->Decrypt(buf.data(), n);
        offset += n;
        size -= n;
        st = inflater->Feed({buf.data(), n}, size == 0, out);
        if (inflater->stopped()) return Fail(DecodeStatus::Stopped, "stopped");
    }
    if (st != InflateStatus::Ok) return Fail(DecodeStatus::BadData, InflateStatusText(st));
    return Finish(out, data);
}

// Decodes a method through its streaming decoder: the output room offered
// never lets more than the stated size (and one byte to notice the excess)
// come out.
DecodeResult DecodeWithLibrary(const ByteSource& reader, const MemberData& data, uint64_t offset,
                               uint64_t size, MemberCipher* crypto, CountingSink& out) {
    std::unique_ptr<MethodDecoder> decoder =
        MakeMethodDecoder(data.method, data.flags, data.unpackedSize);
    if (!decoder) return Fail(DecodeStatus::BadData, InflateStatusText(InflateStatus::NoMemory));
    std::vector<uint8_t> buf(static_cast<size_t>(std::min<uint64_t>(size, kReadChunk)));
    std::vector<uint8_t> plain(kPlainPiece);
    std::span<const uint8_t> in;
    for (;;) {
        if (in.empty() && size > 0) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(size, buf.size()));
            if (!reader.ReadAt(offset, buf.data(), n))
                return Fail(DecodeStatus::ReadError, "read error");
            if (crypto) crypto->Decrypt(buf.data(), n);
            offset += n;
            size -= n;
            in = {buf.data(), n};
        }
        const size_t before = in.size();
        const uint64_t left = data.unpackedSize - out.produced;
        const size_t room = left < plain.size() ? static_cast<size_t>(left) + 1 : plain.size();
        size_t written = 0;
        const DecodeStep step = decoder->Run(in, {plain.data(), room}, written, size == 0);
        if (out.produced + written > data.unpackedSize)
            return Fail(DecodeStatus::BadData, InflateStatusText(InflateStatus::TooLong));
        if (written > 0 && !out(plain.data(), written))
            return Fail(DecodeStatus::Stopped, "stopped");
        switch (step) {
            case DecodeStep::Progress:
                break;
            case DecodeStep::End:
                if (out.produced != data.unpackedSize)
                    return Fail(DecodeStatus::BadData, InflateStatusText(InflateStatus::TooShort));
                return Finish(out, data);
            case DecodeStep::BadData:
                return Fail(DecodeStatus::BadData, InflateStatusText(InflateStatus::BadData));
            case DecodeStep::NoMemory:
                return Fail(DecodeStatus::BadData, "needs more memory than allowed to decode");
        }
        if (written == 0 && in.size() == before) {
            // Nothing moved although input and room were offered.
            if (!in.empty())
                return Fail(DecodeStatus::BadData, InflateStatusText(InflateStatus::BadData));
            if (size == 0)
                return Fail(DecodeStatus::BadData, InflateStatusText(InflateStatus::Truncated));
        }
    }
}

}  // namespace

bool MethodDecodable(uint16_t method) {
    return method == kMethodStored || method == kMethodDeflated || LibraryMethod(method);
}

std::string MethodName(uint16_t method) {
    const char* name = nullptr;
    switch (method) {
        case 0:
            name = "stored";
            break;
        case 1:
            name = "shrunk";
            break;
        case 2:
        case 3:
        case 4:
        case 5:
            name = "reduced";
            break;
        case 6:
            name = "imploded";
            break;
        case 7:
            name = "tokenized";
            break;
        case 8:
            name = "deflate";
            break;
        case 9:
            name = "Deflate64";
            break;
        case 10:
            name = "PKWARE imploding";
            break;
        case 12:
            name = "bzip2";
            break;
        case 14:
            name = "LZMA";
            break;
        case 18:
            name = "IBM TERSE";
            break;
        case 19:
            name = "IBM LZ77";
            break;
        case 93:
            name = "Zstandard";
            break;
        case 95:
            name = "xz";
            break;
        case 96:
            name = "JPEG";
            break;
        case 97:
            name = "WavPack";
            break;
        case 98:
            name = "PPMd";
            break;
        case 99:
            name = "AES encryption";
            break;
        default:
            break;
    }
    const std::string number = "method " + std::to_string(method);
    return name ? std::string(name) + " (" + number + ")" : number;
}

namespace {

// The data between the encryption's header and trailer, decoded by method.
DecodeResult DecodeData(const ByteSource& reader, const MemberData& data, uint64_t offset,
                        uint64_t size, MemberCipher* crypto, CountingSink& out,
                        size_t wholeBudget) {
    switch (data.method) {
        case kMethodStored:
            return DecodeStored(reader, data, offset, size, crypto, out);
        case kMethodDeflated:
            // Deflate expands at most about 1032:1; a stated size beyond
            // that is wrong, and streaming finds out without allocating it.
            if (data.unpackedSize <= wholeBudget && size <= wholeBudget &&
                data.unpackedSize <= size * 1032 + 64)
                return DecodeWhole(reader, data, offset, size, crypto, out);
            return DecodeStreamed(reader, data, offset, size, crypto, out);
        default:
            if (LibraryMethod(data.method))
                return DecodeWithLibrary(reader, data, offset, size, crypto, out);
            return Fail(DecodeStatus::Unsupported,
                        "compression method " + MethodName(data.method) + " is not supported");
    }
}

}  // namespace

DecodeResult DecodeMember(const ByteSource& reader, const MemberData& data, MemberCipher* crypto,
                          const ByteSink& sink, size_t wholeBudget) {
    uint64_t offset = data.dataOffset;
    uint64_t size = data.packedSize;
    if (data.aes && !(crypto && crypto->aes()))
        return Fail(DecodeStatus::BadData,
                    "AES-encrypted data cannot be read without its password");
    if (crypto) {
        const size_t around = crypto->headerSize() + crypto->trailerSize();
        if (size < around) return Fail(DecodeStatus::BadData, "encryption header missing");
        offset += crypto->headerSize();
        size -= around;
    }
    CountingSink out{sink};
    DecodeResult r = DecodeData(reader, data, offset, size, crypto, out, wholeBudget);
    if (!crypto || !crypto->aes()) return r;
    switch (r.status) {
        case DecodeStatus::Ok:
        case DecodeStatus::CrcMismatch:
        case DecodeStatus::BadData:
            if (!crypto->Authenticate(reader, offset, size))
                return Fail(DecodeStatus::BadData,
                            "the authentication code does not match: the data is damaged or "
                            "altered, or the password is wrong");
            // AE-2 stores no CRC: the code vouches for the data.
            if (r.status == DecodeStatus::CrcMismatch && !crypto->crcStored())
                r.status = DecodeStatus::Ok;
            return r;
        default:
            return r;
    }
}

}  // namespace kelp::zip
