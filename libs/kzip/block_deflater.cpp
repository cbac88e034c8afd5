#include "block_deflater.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace kelp::kzip {
namespace {

constexpr size_t kWindow = 32u << 10;

// A raw deflate stream kept for the worker thread's life and reset for
// each block; made again when the level changes.
class ThreadStream {
  public:
    ~ThreadStream() { End(); }
    z_stream* For(int level) {
        if (ready_ && level_ == level) {
            if (deflateReset(&z_) == Z_OK) return &z_;
            End();
        }
        End();
        z_ = z_stream{};
        if (deflateInit2(&z_, level, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
            return nullptr;
        ready_ = true;
        level_ = level;
        return &z_;
    }

  private:
    void End() {
        if (ready_) deflateEnd(&z_);
        ready_ = false;
    }
    z_stream z_{};
    bool ready_ = false;
    int level_ = 0;
};

// Deflates one block with the bytes before it as the dictionary. A sync
// flush ends it on a byte boundary (the stream goes on in the next block);
// the last block ends the stream.
BlockDeflater::Deflated DeflateBlock(int level, const std::vector<uint8_t>& window,
                                     std::vector<uint8_t> in, bool last) {
    thread_local ThreadStream stream;
    BlockDeflater::Deflated out;
    out.plain = in.size();
    z_stream* z = stream.For(level);
    if (!z) return out;
    if (!window.empty() &&
        deflateSetDictionary(z, window.data(), static_cast<uInt>(window.size())) != Z_OK)
        return out;
    // Room for all of it, and for the flush marker or end code behind.
    out.data.resize(deflateBound(z, in.size()) + 16);
    z->next_in = in.data();
    z->avail_in = static_cast<uInt>(in.size());
    size_t done = 0;
    for (;;) {
        z->next_out = out.data.data() + done;
        z->avail_out = static_cast<uInt>(out.data.size() - done);
        const int rc = deflate(z, last ? Z_FINISH : Z_SYNC_FLUSH);
        done = out.data.size() - z->avail_out;
        if (rc == Z_STREAM_END || (!last && rc == Z_OK && z->avail_out > 0)) break;
        // Anything but a want of room is a failure.
        if ((rc != Z_OK && rc != Z_BUF_ERROR) || z->avail_out > 0) return out;
        out.data.resize(out.data.size() * 2);
    }
    out.data.resize(done);
    out.ok = true;
    return out;
}

}  // namespace

BlockDeflater::BlockDeflater(CompressPool& pool, int level, size_t depth)
    : pool_(pool), level_(level), depth_(std::max<size_t>(depth, 1)) {}

void BlockDeflater::Push(std::vector<uint8_t> block, bool last) {
    std::vector<uint8_t> window = window_;
    // The next block's dictionary: the last 32 KiB of everything so far.
    if (block.size() >= kWindow) {
        window_.assign(block.end() - kWindow, block.end());
    } else {
        window_.insert(window_.end(), block.begin(), block.end());
        if (window_.size() > kWindow) window_.erase(window_.begin(), window_.end() - kWindow);
    }
    queue_.push_back(pool_.Submit(
        [level = level_, window = std::move(window), block = std::move(block), last]() mutable {
            return DeflateBlock(level, window, std::move(block), last);
        }));
}

BlockDeflater::Deflated BlockDeflater::Take() {
    Deflated d = queue_.front().get();
    queue_.pop_front();
    return d;
}

}  // namespace kelp::kzip
