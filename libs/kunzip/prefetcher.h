// Locates and decodes members ahead of the calling thread on worker
// threads, so that inflating uses every core while callbacks stay on the
// calling thread. Workers claim runs of members in batch order and read the
// bytes of a run of small members with one read; the decoded bytes held
// ahead are bounded by a window, and a test keeps no bytes at all (only the
// result). Members the write-ahead plan allows are also written to disk by
// the workers (new files only); what the caller does not take is removed.
// Encrypted members and members too large for one piece are left to the
// calling thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "archive_reader.h"
#include "member_decoder.h"
#include "safe_path.h"
#include "write_ahead.h"

namespace kelp::kunzip {

struct Prefetched {
    bool located = false;  // else result.detail says why the header was refused
    zip::MemberData data;
    zip::DecodeResult result;
    bool keptBytes = false;
    std::vector<uint8_t> bytes;
    // Written to disk, complete with its time and mode, as target below the
    // target folder; the bytes are then no longer kept.
    bool written = false;
    zip::TargetName target;
};

class Prefetcher {
  public:
    // order: the members of the batch in processing order. testOnly: the
    // bytes are not needed, only the result.
    // plan: the members to write ahead (none when null).
    Prefetcher(const zip::ArchiveReader& reader, const std::vector<size_t>& order, bool testOnly,
               const WriteAheadPlan* plan = nullptr);
    ~Prefetcher();
    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    // The located and decoded member, waiting for it if a worker has it in
    // hand; null when the member is not one the workers decode.
    std::unique_ptr<Prefetched> Take(size_t index);
    // Releases what is held for a member the caller is done with.
    void Drop(size_t index);
    // Removes the file of a member written ahead that the caller does not
    // keep (the batch was cancelled before it).
    void Discard(const Prefetched& item);

  private:
    struct Slot {
        bool claimed = false;
        bool dropped = false;  // passed by the caller before a worker came to it
        uint64_t held = 0;     // bytes counted in heldBytes_ while claimed
        std::unique_ptr<Prefetched> done;
    };

    void Work();
    bool Eligible(const zip::MemberEntry& entry) const;
    // Claims the next run of members (queue positions [first, end)) and
    // the stretch of the archive that holds them (empty when it is not
    // worth reading ahead). Called with the mutex held.
    void ClaimRun(size_t& first, size_t& end, uint64_t& start, uint64_t& size);
    std::unique_ptr<Prefetched> Decode(const zip::MemberEntry& entry,
                                       const zip::ByteSource& source);
    // Writes a decoded member as a new file when nothing of its name exists.
    void WriteAhead(const zip::MemberEntry& entry, Prefetched& item, zip::FolderCache& folders);
    static void RemoveWritten(const Prefetched& item, zip::FolderCache& folders);
    // Whether workers waiting for room in the window should be woken, after
    // the caller released a member. Called with the mutex held.
    bool RoomAgain();
    // The queue position of a member; queue_.size() when it is not queued.
    // Called on the calling thread only.
    size_t PositionOf(size_t index) const;

    const zip::ArchiveReader& reader_;
    bool testOnly_;
    WriteAheadPlan plan_;
    zip::FolderCache callerFolders_;   // for Discard and Drop, on the calling thread
    std::vector<size_t> queue_;        // eligible members, in order
    std::vector<Slot> slots_;          // one per queue position
    size_t next_ = 0;                  // next queue position to claim
    mutable size_t lastPosition_ = 0;  // the position PositionOf found last
    uint64_t heldBytes_ = 0;           // unpacked bytes claimed and not yet dropped
    size_t heldMembers_ = 0;           // members claimed and not yet dropped
    size_t waitingFor_;                // the position the caller waits on, if any
    bool windowFull_ = false;          // a worker waits for room in the window
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable ready_;  // the caller's member is done
    std::condition_variable room_;   // the window has room again, or stop
    std::vector<std::thread> workers_;
};

}  // namespace kelp::kunzip
