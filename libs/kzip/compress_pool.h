// Worker threads that read and compress whole files. Results come back as
// futures, which the calling thread takes in archive order; the workers
// never call back into the engine.
#pragma once

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "member_compressor.h"

namespace kelp::kzip {

class CompressPool {
  public:
    explicit CompressPool(unsigned threads);
    // Drops the jobs not yet started and waits for the running ones.
    ~CompressPool();
    CompressPool(const CompressPool&) = delete;
    CompressPool& operator=(const CompressPool&) = delete;

    std::future<MemberResult> Submit(MemberSource source);

  private:
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<MemberResult()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace kelp::kzip
