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
#include "platform/huge_pages.h"
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
    bool handedOut = false;  // Take gave it to the caller

    // Empties the item for another member, keeping small buffers' room.
    void Reset();
};

class Prefetcher {
  public:
    // ahead: the members to decode ahead, each Eligible, in processing
    // order. testOnly: the bytes are not needed, only the result.
    // plan: the members to write ahead (none when null).
    Prefetcher(const zip::ArchiveReader& reader, std::vector<size_t> ahead, bool testOnly,
               const WriteAheadPlan* plan = nullptr);
    // Whether workers decode the member: not encrypted, not refused, and
    // for extraction small enough to be held whole.
    static bool Eligible(const zip::MemberExtent& member, bool testOnly);
    ~Prefetcher();
    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    // The located and decoded member, waiting for it if a worker has it in
    // hand; null when the member is not one the workers decode. It stays
    // valid until the member is dropped.
    Prefetched* Take(size_t index);
    // Releases what is held for a member the caller is done with; a member
    // written ahead that the caller did not take is removed.
    void Drop(size_t index);
    // Removes the file of a member written ahead that the caller does not
    // keep (the batch was cancelled before it).
    void Discard(const Prefetched& item);

  private:
    struct Slot {
        bool claimed = false;
        bool dropped = false;  // passed by the caller before a worker came to it
        // Bytes counted in heldBytes_ while claimed: at most one member held
        // whole, so 32 bits keep a slot at 16 bytes (a million members).
        uint32_t held = 0;
        std::unique_ptr<Prefetched> done;
    };

    void Work();
    // Claims the next run of members (queue positions [first, end)) and
    // the stretch of the archive that holds them (empty when it is not
    // worth reading ahead). Called with the mutex held.
    void ClaimRun(size_t& first, size_t& end, uint64_t& start, uint64_t& size);
    // Locates and decodes a member into item (a fresh one when null).
    std::unique_ptr<Prefetched> Decode(const zip::MemberEntry& entry, const zip::ByteSource& source,
                                       std::unique_ptr<Prefetched> item);
    // Writes a decoded member as a new file when nothing of its name exists.
    void WriteAhead(const zip::MemberEntry& entry, Prefetched& item, zip::FolderCache& folders);
    static void RemoveWritten(const Prefetched& item, zip::FolderCache& folders);
    // Whether workers waiting for room in the window should be woken, after
    // the caller released a member. Called with the mutex held.
    bool RoomAgain();
    // The queue position of a member; queue_.size() when it is not queued.
    // Called on the calling thread only.
    size_t PositionOf(size_t index) const;

    // Moves the done members from queue position pos on (pos itself done)
    // to the caller's hand. Called with the mutex held.
    void TakeRun(size_t pos);
    // Releases what the caller holds of the run it took last.
    void ReleaseTaken();
    // Keeps a finished item for the workers to fill again.
    void Recycle(std::unique_ptr<Prefetched> item);

    const zip::ArchiveReader& reader_;
    bool testOnly_;
    WriteAheadPlan plan_;
    zip::FolderCache callerFolders_;  // for Discard and Drop, on the calling thread
    std::vector<size_t> queue_;       // eligible members, in order
    // One per queue position.
    std::vector<Slot, platform::LargeBlocks<Slot>> slots_;
    size_t next_ = 0;                  // next queue position to claim
    mutable size_t lastPosition_ = 0;  // the position PositionOf found last
    // Members taken from the queue at once, in the caller's hand: queue
    // positions [takenFrom_, takenFrom_ + taken_.size()). The caller's own.
    std::vector<std::unique_ptr<Prefetched>> taken_;
    size_t takenFrom_ = 0;
    // Finished items to fill again, so a member costs no allocation: the
    // caller's (spare_), handed to the workers' (pool_, under the mutex)
    // with each run it takes.
    std::vector<std::unique_ptr<Prefetched>> spare_;
    std::vector<std::unique_ptr<Prefetched>> pool_;
    uint64_t heldBytes_ = 0;   // unpacked bytes claimed and not yet dropped
    size_t heldMembers_ = 0;   // members claimed and not yet dropped
    size_t waitingFor_;        // the position the caller waits on, if any
    bool windowFull_ = false;  // a worker waits for room in the window
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable ready_;  // the caller's member is done
    std::condition_variable room_;   // the window has room again, or stop
    std::vector<std::thread> workers_;
};

}  // namespace kelp::kunzip
