// Huge pages for blocks of many megabytes. Filling such a block in 4 KiB
// pages takes a page fault per page: for the 64 MiB directory of an archive
// of a million members, more time than reading it. Where the system gives
// huge pages only to memory that asks for them, the large containers ask.
#pragma once

#include <cstddef>
#include <memory>

namespace kelp::platform {

// Asks for huge pages behind the whole 2 MiB stretches of the block, before
// it is first written. Blocks too small to hold one are left alone.
void AdviseHugePages(void* data, size_t size);

// An allocator for containers that may grow to many megabytes.
template <typename T>
struct LargeBlocks {
    using value_type = T;
    LargeBlocks() = default;
    template <typename U>
    LargeBlocks(const LargeBlocks<U>&) noexcept {}
    T* allocate(size_t n) {
        T* p = std::allocator<T>().allocate(n);
        AdviseHugePages(p, n * sizeof(T));
        return p;
    }
    void deallocate(T* p, size_t n) noexcept { std::allocator<T>().deallocate(p, n); }
    friend bool operator==(const LargeBlocks&, const LargeBlocks&) { return true; }
};

}  // namespace kelp::platform
