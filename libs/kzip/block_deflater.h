// Deflates one long stream on all of the pool's threads. The data is cut
// into blocks; each is compressed by zlib with the last 32 KiB of the block
// before it as its dictionary and ends on a byte boundary (an empty stored
// block, as a sync flush leaves it), the last with the end of the stream.
// Joined in order they form one deflate stream that compresses nearly as
// well as a single pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <optional>
#include <vector>

#include "compress_pool.h"

namespace kelp::kzip {

class BlockDeflater {
  public:
    // At most `depth` blocks are queued or compressed at a time.
    BlockDeflater(CompressPool& pool, int level, size_t depth);

    // Queues the next block of plain bytes; `last` ends the stream.
    void Push(std::vector<uint8_t> block, bool last);
    // True when no more blocks should be queued before one is taken.
    bool full() const { return queue_.size() >= depth_; }
    bool empty() const { return queue_.empty(); }

    struct Deflated {
        bool ok = false;  // false when zlib failed (out of memory)
        std::vector<uint8_t> data;
        size_t plain = 0;  // the bytes of input it holds
    };
    // Waits for the oldest block queued and hands over its deflated bytes.
    Deflated Take();

  private:
    CompressPool& pool_;
    const int level_;
    const size_t depth_;
    std::vector<uint8_t> window_;  // the last 32 KiB queued
    std::deque<std::future<Deflated>> queue_;
};

}  // namespace kelp::kzip
