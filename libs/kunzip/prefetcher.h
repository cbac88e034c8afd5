// Decodes members ahead of the calling thread on worker threads, so that
// inflating uses every core while callbacks and writes stay on the calling
// thread. Workers take members in batch order; the bytes they hold are
// bounded by a window, and a test keeps no bytes at all (only the result).
// Encrypted members and members too large for one piece are left to the
// calling thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "archive_reader.h"
#include "member_decoder.h"

namespace kelp::kunzip {

struct Prefetched {
    zip::DecodeResult result;
    bool keptBytes = false;
    std::vector<uint8_t> bytes;
};

class Prefetcher {
  public:
    // order: the members of the batch in processing order. testOnly: the
    // bytes are not needed, only the result.
    Prefetcher(const zip::ArchiveReader& reader, const std::vector<size_t>& order, bool testOnly);
    ~Prefetcher();
    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    // The decoded member, waiting for it if a worker has it in hand; null
    // when the member is not one the workers decode.
    std::unique_ptr<Prefetched> Take(size_t index);
    // Releases what is held for a member the caller is done with.
    void Drop(size_t index);

  private:
    void Work();
    bool Eligible(const zip::MemberEntry& entry) const;

    const zip::ArchiveReader& reader_;
    bool testOnly_;
    std::vector<size_t> queue_;           // eligible members, in order
    size_t next_ = 0;                     // next queue position to claim
    uint64_t heldBytes_ = 0;              // unpacked bytes claimed and not yet dropped
    std::map<size_t, uint64_t> claimed_;  // index -> bytes counted in heldBytes_
    std::map<size_t, std::unique_ptr<Prefetched>> done_;
    std::set<size_t> dropped_;  // passed by the caller before a worker came to them
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> workers_;
};

}  // namespace kelp::kunzip
