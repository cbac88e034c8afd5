#include "prefetcher.h"

#include <unistd.h>

#include <algorithm>

#include "byte_window.h"

namespace kelp::kunzip {
namespace {

// Decoded bytes held ahead of the calling thread, at most.
constexpr uint64_t kWindowBytes = 32u << 20;
// A run a worker claims at once: at most this many members whose headers
// and data lie within this many bytes, read with one call.
constexpr size_t kRunMembers = 64;
constexpr uint64_t kRunBytes = 1u << 20;
// Members held ahead of the calling thread, at most: a test keeps no bytes,
// so without this bound the workers' results for every member of a large
// archive could pile up while the caller reports them.
constexpr size_t kWindowMembers = 4096;

// A slot counts the bytes of the one member it holds in 32 bits.
static_assert(zip::kWholeMemberBudget <= UINT32_MAX);

// Decoded bytes an item keeps room for when it is filled again.
constexpr size_t kKeptRoom = 64u << 10;

}  // namespace

void Prefetched::Reset() {
    located = false;
    std::vector<uint8_t> extra = std::move(data.localExtra);
    extra.clear();
    data = zip::MemberData();
    data.localExtra = std::move(extra);
    result = zip::DecodeResult();
    keptBytes = false;
    bytes.clear();
    if (bytes.capacity() > kKeptRoom) std::vector<uint8_t>().swap(bytes);
    written = false;
    target = zip::TargetName();
    handedOut = false;
}

Prefetcher::Prefetcher(const zip::ArchiveReader& reader, std::vector<size_t> ahead, bool testOnly,
                       const WriteAheadPlan* plan)
    : reader_(reader),
      testOnly_(testOnly),
      plan_(plan && !testOnly ? *plan : WriteAheadPlan{}),
      callerFolders_(plan_.baseFd),
      queue_(std::move(ahead)) {
    waitingFor_ = queue_.size();
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    // With one member or one core there is nothing to overlap.
    if (queue_.size() < 2 || cores < 2) {
        queue_.clear();
        return;
    }
    slots_.resize(queue_.size());
    // Each worker may hold a member three times over while it decodes
    // (input, output, kept copy); four workers and the window stay well
    // inside the memory bound.
    unsigned count = std::min<unsigned>(cores, 4);
    for (unsigned i = 0; i < count; ++i) workers_.emplace_back([this] { Work(); });
}

Prefetcher::~Prefetcher() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    room_.notify_all();
    for (auto& t : workers_) t.join();
    // Members written ahead that the caller never came to.
    ReleaseTaken();
    for (const Slot& slot : slots_)
        if (slot.done && slot.done->written) RemoveWritten(*slot.done, callerFolders_);
}

void Prefetcher::ReleaseTaken() {
    for (auto& item : taken_)
        if (item) {
            if (!item->handedOut) Discard(*item);
            Recycle(std::move(item));
        }
    taken_.clear();
}

void Prefetcher::Recycle(std::unique_ptr<Prefetched> item) {
    // Bounded by the members a window holds: more are never in flight.
    if (spare_.size() >= kWindowMembers) return;
    item->Reset();
    spare_.push_back(std::move(item));
}

bool Prefetcher::Eligible(const zip::MemberExtent& member, bool testOnly) {
    if (member.flags & (zip::kFlagEncrypted | zip::kFlagStrongEncryption)) return false;
    if (member.overlapsAnother) return false;  // refused, never decoded
    if (!zip::MethodDecodable(member.method)) return false;
    return testOnly || (member.unpackedSize <= zip::kWholeMemberBudget &&
                        member.packedSize <= zip::kWholeMemberBudget);
}

size_t Prefetcher::PositionOf(size_t index) const {
    // The caller asks in queue order, for the member it asked for last or
    // the next one: those are looked at before the queue is searched.
    for (size_t pos = lastPosition_; pos < queue_.size() && pos <= lastPosition_ + 1; ++pos)
        if (queue_[pos] == index) return lastPosition_ = pos;
    auto at = std::lower_bound(queue_.begin(), queue_.end(), index);
    if (at != queue_.end() && *at == index)
        lastPosition_ = static_cast<size_t>(at - queue_.begin());
    return at != queue_.end() && *at == index ? static_cast<size_t>(at - queue_.begin())
                                              : queue_.size();
}

void Prefetcher::ClaimRun(size_t& first, size_t& end, uint64_t& start, uint64_t& size) {
    first = next_;
    start = reader_.Extent(queue_[first]).localOffset;
    uint64_t reach = start;  // the end of the stretch the run lies in
    for (end = first; end < queue_.size() && end - first < kRunMembers; ++end) {
        Slot& slot = slots_[end];
        if (slot.claimed || slot.dropped) break;
        const zip::MemberExtent e = reader_.Extent(queue_[end]);
        const uint64_t held = testOnly_ ? 0 : e.unpackedSize;
        // The first member may always start, so the caller waiting for it
        // never waits on the window.
        if (end > first && (heldBytes_ + held > kWindowBytes || heldMembers_ >= kWindowMembers))
            break;
        const uint64_t from = e.localOffset - start;
        const bool near = e.localOffset >= start && from <= kRunBytes &&
                          e.packedSize <= kRunBytes - from &&
                          e.expectedLocalSize <= kRunBytes - from - e.packedSize;
        if (end > first && !near) break;
        slot.claimed = true;
        slot.held = static_cast<uint32_t>(held);
        heldBytes_ += held;
        ++heldMembers_;
        if (!near) {  // a large member alone: decoded straight from the archive
            ++end;
            break;
        }
        reach = std::max(reach, e.localOffset + e.expectedLocalSize + e.packedSize);
    }
    next_ = end;
    reach = std::min(reach, reader_.centralOffset());
    size = reach > start ? reach - start : 0;
}

std::unique_ptr<Prefetched> Prefetcher::Decode(const zip::MemberEntry& entry,
                                               const zip::ByteSource& source,
                                               std::unique_ptr<Prefetched> item) {
    if (!item) item = std::make_unique<Prefetched>();
    std::string error;
    item->located = reader_.Locate(entry, item->data, error, source);
    if (!item->located) {
        item->result.status = zip::DecodeStatus::BadData;
        item->result.detail = error;
        return item;
    }
    item->keptBytes = !testOnly_;
    if (item->keptBytes) item->bytes.reserve(static_cast<size_t>(item->data.unpackedSize));
    item->result = zip::DecodeMember(source, item->data, nullptr, [&](const uint8_t* p, size_t n) {
        if (item->keptBytes) item->bytes.insert(item->bytes.end(), p, p + n);
        return !stop_.load(std::memory_order_relaxed);
    });
    return item;
}

void Prefetcher::WriteAhead(const zip::MemberEntry& entry, Prefetched& item,
                            zip::FolderCache& folders) {
    zip::TargetName target = zip::ResolveMemberName(entry.displayName, plan_.dirNames);
    std::string error;
    const int dirFd = target.ok ? folders.Open(target.dirs, true, error) : -1;
    if (dirFd < 0) return;  // the caller tries again and reports why
    zip::OutputFile out;
    if (!out.CreateNew(dirFd, target.leaf)) return;
    if (!out.Write(item.bytes.data(), item.bytes.size()) ||
        !out.Commit(zip::MemberModTime(entry, &item.data), entry.UnixMode() & 0777, error))
        return;  // removed by out; the caller writes it again and reports why
    item.written = true;
    item.target = std::move(target);
    item.keptBytes = false;
    std::vector<uint8_t>().swap(item.bytes);
}

void Prefetcher::RemoveWritten(const Prefetched& item, zip::FolderCache& folders) {
    std::string error;
    const int dirFd = folders.Open(item.target.dirs, false, error);
    if (dirFd >= 0) unlinkat(dirFd, item.target.leaf.c_str(), 0);
}

void Prefetcher::Discard(const Prefetched& item) {
    if (item.written) RemoveWritten(item, callerFolders_);
}

void Prefetcher::Work() {
    zip::ByteWindow window(reader_);
    zip::FolderCache folders(plan_.baseFd);
    std::vector<std::unique_ptr<Prefetched>> run, passed, fresh;
    for (;;) {
        size_t first, end;
        uint64_t start, size;
        {
            std::unique_lock lock(mutex_);
            room_.wait(lock, [&] {
                while (next_ < queue_.size() && slots_[next_].dropped) ++next_;
                if (stop_ || next_ >= queue_.size()) return true;
                const uint64_t need = testOnly_ ? 0 : reader_.Extent(queue_[next_]).unpackedSize;
                if (heldMembers_ == 0 ||
                    (heldBytes_ + need <= kWindowBytes && heldMembers_ < kWindowMembers))
                    return true;
                windowFull_ = true;
                return false;
            });
            if (stop_ || next_ >= queue_.size()) return;
            ClaimRun(first, end, start, size);
            while (fresh.size() < end - first && !pool_.empty()) {
                fresh.push_back(std::move(pool_.back()));
                pool_.pop_back();
            }
        }
        if (size > 0) window.Load(start, static_cast<size_t>(size));
        const zip::ByteSource& source =
            size > 0 ? static_cast<const zip::ByteSource&>(window) : reader_;
        run.clear();
        for (size_t pos = first; pos < end && !stop_; ++pos) {
            const size_t index = queue_[pos];
            const zip::MemberEntry entry = reader_.entries()[index];
            std::unique_ptr<Prefetched> item;
            if (!fresh.empty()) {
                item = std::move(fresh.back());
                fresh.pop_back();
            }
            item = Decode(entry, source, std::move(item));
            if (!plan_.allowed.empty() && plan_.allowed[index] && item->keptBytes &&
                item->result.status == zip::DecodeStatus::Ok && !stop_)
                WriteAhead(entry, *item, folders);
            run.push_back(std::move(item));
        }
        // The run is handed over under one lock: a run of small members
        // costs the caller one wait, not one per member.
        passed.clear();
        {
            std::lock_guard lock(mutex_);
            for (size_t k = 0; k < run.size(); ++k) {
                Slot& slot = slots_[first + k];
                if (slot.dropped)  // the caller has passed it
                    passed.push_back(std::move(run[k]));
                else
                    slot.done = std::move(run[k]);
            }
            if (waitingFor_ >= first && waitingFor_ < first + run.size()) ready_.notify_one();
        }
        for (const auto& item : passed)
            if (item->written) RemoveWritten(*item, folders);
    }
}

bool Prefetcher::RoomAgain() {
    // Workers that found the window full are woken once half of it is free
    // again, not for every member passed.
    if (!windowFull_ ||
        (heldMembers_ > 0 && (heldBytes_ > kWindowBytes / 2 || heldMembers_ > kWindowMembers / 2)))
        return false;
    windowFull_ = false;
    return true;
}

void Prefetcher::TakeRun(size_t pos) {
    ReleaseTaken();
    for (auto& item : spare_) pool_.push_back(std::move(item));
    spare_.clear();
    takenFrom_ = pos;
    // One lock hands the caller the whole run the workers finished, up to a
    // bound that keeps what the caller holds outside the window small.
    for (size_t end = std::min(queue_.size(), pos + kRunMembers * 2); pos < end; ++pos) {
        Slot& slot = slots_[pos];
        if (slot.dropped || !slot.done) break;
        slot.dropped = true;
        heldBytes_ -= slot.held;
        --heldMembers_;
        slot.held = 0;
        taken_.push_back(std::move(slot.done));
    }
}

Prefetched* Prefetcher::Take(size_t index) {
    const size_t pos = PositionOf(index);
    if (workers_.empty() || pos == queue_.size()) return nullptr;
    if (pos >= takenFrom_ && pos - takenFrom_ < taken_.size()) {
        Prefetched* item = taken_[pos - takenFrom_].get();
        if (item) item->handedOut = true;
        return item;
    }
    std::unique_lock lock(mutex_);
    Slot& slot = slots_[pos];
    if (slot.dropped) return nullptr;
    waitingFor_ = pos;
    ready_.wait(lock, [&] { return slot.done != nullptr; });
    waitingFor_ = queue_.size();
    // Taken once: what the caller does not take again is left to Drop.
    TakeRun(pos);
    const bool wake = RoomAgain();
    lock.unlock();
    if (wake) room_.notify_all();
    taken_.front()->handedOut = true;
    return taken_.front().get();
}

void Prefetcher::Drop(size_t index) {
    const size_t pos = PositionOf(index);
    if (pos == queue_.size()) return;
    if (pos >= takenFrom_ && pos - takenFrom_ < taken_.size()) {
        // In the caller's hand already: no lock needed.
        if (std::unique_ptr<Prefetched> item = std::move(taken_[pos - takenFrom_])) {
            if (!item->handedOut) Discard(*item);
            Recycle(std::move(item));
        }
        return;
    }
    std::unique_ptr<Prefetched> released;
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        Slot& slot = slots_[pos];
        if (slot.dropped) return;
        slot.dropped = true;
        if (slot.claimed) {
            heldBytes_ -= slot.held;
            --heldMembers_;
            slot.held = 0;
            released = std::move(slot.done);
            wake = RoomAgain();
        }
    }
    if (wake) room_.notify_all();
    if (released) {
        Discard(*released);
        Recycle(std::move(released));
    }
}

}  // namespace kelp::kunzip
