// Worker threads that compress: whole files, and the blocks of a large one.
// Results come back as futures, which the calling thread takes in archive
// order; the workers never call back into the engine.
#pragma once

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace kelp::kzip {

class CompressPool {
  public:
    explicit CompressPool(unsigned threads);
    // Drops the jobs not yet started and waits for the running ones.
    ~CompressPool();
    CompressPool(const CompressPool&) = delete;
    CompressPool& operator=(const CompressPool&) = delete;

    unsigned threads() const { return static_cast<unsigned>(threads_.size()); }

    // Queues a job; it runs on a worker and owns everything it uses.
    template <class Job>
    std::future<std::invoke_result_t<Job&>> Submit(Job job) {
        std::packaged_task<std::invoke_result_t<Job&>()> task(std::move(job));
        auto future = task.get_future();
        Push(std::packaged_task<void()>(std::move(task)));
        return future;
    }

  private:
    void Push(std::packaged_task<void()> task);
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace kelp::kzip
