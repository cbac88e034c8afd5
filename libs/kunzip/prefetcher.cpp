#include "prefetcher.h"

#include <algorithm>

namespace kelp::kunzip {
namespace {

// Decoded bytes held ahead of the calling thread, at most.
constexpr uint64_t kWindowBytes = 32u << 20;

}  // namespace

Prefetcher::Prefetcher(const zip::ArchiveReader& reader, const std::vector<size_t>& order,
                       bool testOnly)
    : reader_(reader), testOnly_(testOnly) {
    for (size_t i : order)
        if (Eligible(reader.entries()[i])) queue_.push_back(i);
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    // With one member or one core there is nothing to overlap.
    if (queue_.size() < 2 || cores < 2) {
        queue_.clear();
        return;
    }
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
    changed_.notify_all();
    for (auto& t : workers_) t.join();
}

bool Prefetcher::Eligible(const zip::MemberEntry& entry) const {
    const auto& h = entry.header;
    if (entry.IsEncrypted() || (h.flags & zip::kFlagStrongEncryption)) return false;
    if (entry.overlapsAnother) return false;  // refused, never decoded
    if (!zip::MethodDecodable(h.method)) return false;
    return testOnly_ ||
           (h.unpackedSize <= zip::kWholeMemberBudget && h.packedSize <= zip::kWholeMemberBudget);
}

void Prefetcher::Work() {
    for (;;) {
        size_t index;
        {
            std::unique_lock lock(mutex_);
            // The first unclaimed member may always start, so the caller
            // waiting for it never waits on the window.
            changed_.wait(lock, [&] {
                while (next_ < queue_.size() && dropped_.count(queue_[next_])) ++next_;
                if (stop_ || next_ >= queue_.size()) return true;
                uint64_t size =
                    testOnly_ ? 0 : reader_.entries()[queue_[next_]].unpackedSize;
                return claimed_.empty() || heldBytes_ + size <= kWindowBytes;
            });
            if (stop_ || next_ >= queue_.size()) return;
            index = queue_[next_++];
            uint64_t size = testOnly_ ? 0 : reader_.entries()[index].unpackedSize;
            claimed_[index] = size;
            heldBytes_ += size;
        }
        auto item = std::make_unique<Prefetched>();
        zip::MemberData data;
        std::string error;
        if (!reader_.Locate(reader_.entries()[index], data, error)) {
            item->result.status = zip::DecodeStatus::BadData;
            item->result.detail = error;
        } else {
            item->keptBytes = !testOnly_;
            if (item->keptBytes) item->bytes.reserve(static_cast<size_t>(data.unpackedSize));
            bool stopping = false;
            item->result =
                zip::DecodeMember(reader_, data, nullptr, [&](const uint8_t* p, size_t n) {
                    if (item->keptBytes) item->bytes.insert(item->bytes.end(), p, p + n);
                    std::lock_guard lock(mutex_);
                    stopping = stop_;
                    return !stopping;
                });
        }
        {
            std::lock_guard lock(mutex_);
            if (claimed_.count(index)) done_[index] = std::move(item);
        }
        changed_.notify_all();
    }
}

std::unique_ptr<Prefetched> Prefetcher::Take(size_t index) {
    std::unique_lock lock(mutex_);
    if (workers_.empty() || !std::binary_search(queue_.begin(), queue_.end(), index))
        return nullptr;
    changed_.wait(lock, [&] { return done_.count(index) > 0; });
    auto item = std::move(done_[index]);
    done_.erase(index);
    return item;
}

void Prefetcher::Drop(size_t index) {
    {
        std::lock_guard lock(mutex_);
        auto it = claimed_.find(index);
        if (it == claimed_.end()) {
            dropped_.insert(index);
            return;
        }
        heldBytes_ -= it->second;
        claimed_.erase(it);
        done_.erase(index);
    }
    changed_.notify_all();
}

}  // namespace kelp::kunzip
