#include "platform/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace kelp::platform {

namespace {
constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
}  // namespace

void AdviseHugePages(void* data, size_t size) {
#if defined(MADV_HUGEPAGE)
    const uintptr_t start = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHugePage - 1);
    // Only advice: where the system refuses it, the block keeps small pages.
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace kelp::platform
