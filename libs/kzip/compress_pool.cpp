#include "compress_pool.h"

namespace kelp::kzip {

CompressPool::CompressPool(unsigned threads) {
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

CompressPool::~CompressPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
}

void CompressPool::Push(std::packaged_task<void()> task) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void CompressPool::Work() {
    for (;;) {
        std::packaged_task<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            task = std::move(jobs_.front());
            jobs_.pop_front();
        }
        task();
    }
}

}  // namespace kelp::kzip
