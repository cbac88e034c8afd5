#include "member_compressor.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>

#include "block_deflater.h"
#include "crc32.h"
#include "member_encryptor.h"
#include "method_encoders.h"
#include "zip_records.h"

namespace kelp::kzip {
namespace {

// The bytes read at a time from a large file, and the size of the blocks it
// is deflated in: 256 KiB and 4 MiB blocks take the same time, the larger
// ones held three times the memory.
constexpr size_t kChunk = 1u << 20;

// The libdeflate level for a level of 1 to 9: the same number up to 7, and 7
// above. Its levels 8 and 9 take twice the time of 7 for under half a
// percent, and at 7 it already compresses source text within a quarter
// percent of zlib at 9.
int DeflateLevel(int level) {
    return std::min(level, 7);
}

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// One compressor per level and thread, kept for the thread's life.
libdeflate_compressor* Compressor(int level) {
    thread_local std::array<std::unique_ptr<libdeflate_compressor, CompressorFree>, 13> cache;
    int l = DeflateLevel(level);
    if (!cache[l]) cache[l].reset(libdeflate_alloc_compressor(l));
    return cache[l].get();
}

// Reads until size bytes arrived or the file ended; -1 on error.
ssize_t ReadFull(int fd, uint8_t* out, size_t size) {
    size_t got = 0;
    while (got < size) {
        ssize_t n = read(fd, out + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// True when more bytes follow (the file grew while it was read).
bool MoreToRead(int fd) {
    uint8_t extra;
    ssize_t n;
    do n = read(fd, &extra, 1);
    while (n < 0 && errno == EINTR);
    return n > 0;
}

}  // namespace

int OpenSource(const std::string& path, std::string& error) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

namespace {

// The bytes of a source: the file's contents, or a link's target.
bool ReadSource(const MemberSource& source, std::vector<uint8_t>& plain, MemberResult& r) {
    if (source.link) {
        plain.resize(PATH_MAX);
        ssize_t got =
            readlink(source.path.c_str(), reinterpret_cast<char*>(plain.data()), plain.size());
        if (got < 0) {
            r.error = std::strerror(errno);
            return false;
        }
        plain.resize(static_cast<size_t>(got));
        r.changed = plain.size() != source.size;
        return true;
    }
    int fd = OpenSource(source.path, r.error);
    if (fd < 0) return false;
    plain.resize(source.size);
    ssize_t got = ReadFull(fd, plain.data(), plain.size());
    if (got < 0) {
        r.error = std::strerror(errno);
        close(fd);
        return false;
    }
    r.changed = static_cast<uint64_t>(got) != source.size || MoreToRead(fd);
    close(fd);
    plain.resize(static_cast<size_t>(got));
    return true;
}

// Compresses the bytes with the source's method behind `head` bytes of
// room; the method is taken only when the data comes out smaller.
bool EncodeWhole(const MemberSource& source, const std::vector<uint8_t>& plain, size_t head,
                 MemberResult& r) {
    auto encoder = MakeMethodEncoder(source.method, source.level, plain.size());
    if (!encoder) {
        r.error = "out of memory";
        return false;
    }
    r.data.resize(head);
    auto append = [&r](uint8_t* data, size_t size) {
        r.data.insert(r.data.end(), data, data + size);
        return true;
    };
    if (encoder->Encode(plain, true, append) != EncodeStatus::Ok) {
        r.error = "the data could not be compressed";
        return false;
    }
    if (r.data.size() - head < plain.size()) r.method = source.method;
    return true;
}

}  // namespace

MemberResult CompressWhole(const MemberSource& source) {
    MemberResult r;
    std::vector<uint8_t> plain;
    if (!ReadSource(source, plain, r)) return r;
    r.unpacked = plain.size();
    r.crc = zip::Crc32(0, plain.data(), plain.size());

    std::optional<MemberEncryptor> keys;
    if (source.encrypt) {
        keys =
            MemberEncryptor::Start(source.password, source.aes, static_cast<uint8_t>(r.crc >> 24));
        if (!keys) {
            r.error = "no encryption keys could be made";
            return r;
        }
    }
    const size_t head = keys ? keys->header().size() : 0;
    r.method = zip::kMethodStored;
    if (source.level > 0 && !plain.empty() && source.method != zip::kMethodDeflated) {
        if (!EncodeWhole(source, plain, head, r)) return r;
    } else if (source.level > 0 && !plain.empty()) {
        libdeflate_compressor* c = Compressor(source.level);
        if (!c) {
            r.error = "out of memory";
            return r;
        }
        r.data.resize(head + libdeflate_deflate_compress_bound(c, plain.size()));
        size_t packed = libdeflate_deflate_compress(c, plain.data(), plain.size(),
                                                    r.data.data() + head, r.data.size() - head);
        if (packed > 0 && packed < plain.size()) {
            r.method = zip::kMethodDeflated;
            r.data.resize(head + packed);
        }
    }
    if (r.method == zip::kMethodStored) {
        r.data.resize(head + plain.size());
        if (!plain.empty()) std::memcpy(r.data.data() + head, plain.data(), plain.size());
    }
    if (keys) {
        std::memcpy(r.data.data(), keys->header().data(), head);
        keys->Encrypt(r.data.data() + head, r.data.size() - head);
        const auto trailer = keys->Trailer();
        if (!trailer) {
            r.error = "the authentication code could not be made";
            return r;
        }
        r.data.insert(r.data.end(), trailer->begin(), trailer->end());
    }
    r.packed = r.data.size();
    r.ok = true;
    return r;
}

namespace {

// One pass over a streamed source at one level: Start opens the file and
// the encryption, Pump reads it chunk by chunk through deflate (on the
// pool's threads), another method's encoder or none, and Finish writes the
// encryption's trailer. Each stage returns false when the pass failed, with
// the outcome saying how.
class StreamPass {
  public:
    StreamPass(const MemberSource& source, int level, CompressPool& pool, const StreamSink& sink,
               StreamOutcome& out)
        : source_(source), level_(level), pool_(pool), sink_(sink), out_(out), r_(out.result) {}
    ~StreamPass() { CloseSource(); }
    StreamPass(const StreamPass&) = delete;
    StreamPass& operator=(const StreamPass&) = delete;

    bool Run(uint16_t checkTime) { return Start(checkTime) && Pump() && Finish(); }
    bool deflating() const { return level_ > 0; }
    uint64_t packed() const { return packed_; }

  private:
    bool Start(uint16_t checkTime) {
        fd_ = OpenSource(source_.path, r_.error);
        if (fd_ < 0) return false;
        if (source_.encrypt) {
            keys_ = MemberEncryptor::Start(source_.password, source_.aes,
                                           static_cast<uint8_t>(checkTime >> 8));
            if (!keys_) {
                r_.error = "no encryption keys could be made";
                return false;
            }
            packed_ += keys_->header().size();
            if (!sink_.write(keys_->header().data(), keys_->header().size())) return WriteFailed();
        }
        if (deflating() && source_.method == zip::kMethodDeflated) {
            blocks_.emplace(pool_, level_, 2 * pool_.threads());
        } else if (deflating()) {
            encoder_ = MakeMethodEncoder(source_.method, level_, source_.size);
            if (!encoder_) {
                r_.error = "out of memory";
                return false;
            }
        }
        return true;
    }

    bool Pump() {
        for (;;) {
            std::vector<uint8_t> in(kChunk);
            const ssize_t got = ReadFull(fd_, in.data(), in.size());
            if (got < 0) {
                r_.error = std::strerror(errno);
                return false;
            }
            in.resize(static_cast<size_t>(got));
            r_.crc = zip::Crc32(r_.crc, in.data(), in.size());
            r_.unpacked += in.size();
            const bool last = in.size() < kChunk;
            if (blocks_) {
                // The deflated blocks report their own progress.
                blocks_->Push(std::move(in), last);
                if (!WriteBlocks(last)) return false;
            } else {
                if (!Encode(in, last)) return false;
                if (got > 0 && !sink_.progress(in.size())) return Stopped();
            }
            if (last) break;
        }
        CloseSource();
        return true;
    }

    // Stores the chunk or hands it to the method's encoder.
    bool Encode(std::vector<uint8_t>& in, bool last) {
        if (!deflating()) return in.empty() || Emit(in.data(), in.size()) || WriteFailed();
        const EncodeStatus status = encoder_->Encode(
            in, last, [this](uint8_t* data, size_t size) { return Emit(data, size); });
        if (status == EncodeStatus::WriteFailed) return WriteFailed();
        if (status != EncodeStatus::Ok) {
            r_.error = "the data could not be compressed";
            return false;
        }
        return true;
    }

    // Writes the deflated blocks that are due, in order: the oldest while
    // too many are queued, all of them at the end.
    bool WriteBlocks(bool all) {
        while (!blocks_->empty() && (all || blocks_->full())) {
            BlockDeflater::Deflated d = blocks_->Take();
            if (!d.ok) {
                r_.error = "out of memory";
                return false;
            }
            if (!Emit(d.data.data(), d.data.size())) return WriteFailed();
            if (d.plain > 0 && !sink_.progress(d.plain)) return Stopped();
        }
        return true;
    }

    bool Finish() {
        if (!keys_) return true;
        auto trailer = keys_->Trailer();
        if (!trailer) {
            r_.error = "the authentication code could not be made";
            return false;
        }
        packed_ += trailer->size();
        return trailer->empty() || sink_.write(trailer->data(), trailer->size()) || WriteFailed();
    }

    bool Emit(uint8_t* data, size_t size) {
        if (keys_) keys_->Encrypt(data, size);
        packed_ += size;
        return sink_.write(data, size);
    }
    bool WriteFailed() {
        out_.writeFailed = true;
        return false;
    }
    bool Stopped() {
        out_.stopped = true;
        return false;
    }
    void CloseSource() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    const MemberSource& source_;
    const int level_;
    CompressPool& pool_;
    const StreamSink& sink_;
    StreamOutcome& out_;
    MemberResult& r_;
    int fd_ = -1;
    uint64_t packed_ = 0;
    std::optional<MemberEncryptor> keys_;
    std::optional<BlockDeflater> blocks_;
    std::unique_ptr<MethodEncoder> encoder_;
};

}  // namespace

StreamOutcome CompressStream(const MemberSource& source, uint16_t checkTime, CompressPool& pool,
                             const StreamSink& sink) {
    StreamOutcome out;
    MemberResult& r = out.result;
    // First try deflating; when that does not pay, start over and store.
    for (int level : {source.level, 0}) {
        r = MemberResult{};
        StreamPass pass(source, level, pool, sink, out);
        if (!pass.Run(checkTime)) return out;
        r.changed = r.unpacked != source.size;
        r.packed = pass.packed();
        r.method = pass.deflating() ? source.method : zip::kMethodStored;
        r.ok = true;
        const size_t overhead = source.encrypt ? MemberEncryptor::Overhead(source.aes) : 0;
        if (!pass.deflating() || r.packed - overhead < r.unpacked) break;
        if (!sink.rewind()) {
            out.writeFailed = true;
            r.ok = false;
            return out;
        }
    }
    return out;
}

}  // namespace kelp::kzip
