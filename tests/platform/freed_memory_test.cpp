// Memory freed below a block still in use goes back to the system.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/bench/process_memory.h"
#include "platform/freed_memory.h"

using kelp::bench::StatusKiB;

TEST(FreedMemory, PagesFreedBelowABlockInUseGoBackToTheSystem) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "only the GNU C library keeps freed pages this way";
#elif defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator holds freed blocks in its quarantine";
#endif
    // 64 MiB in small blocks (each far below the size the allocator maps on
    // its own), then a block above them that stays in use.
    constexpr size_t kBlock = 512, kCount = (64u << 20) / kBlock;
    std::vector<char*> blocks(kCount);
    for (char*& b : blocks) {
        b = static_cast<char*>(std::malloc(kBlock));
        std::memset(b, 1, kBlock);
    }
    char* pin = static_cast<char*>(std::malloc(kBlock));
    std::memset(pin, 1, kBlock);
    for (char* b : blocks) std::free(b);
    const long before = StatusKiB("VmRSS:");
    kelp::platform::ReturnFreedMemory();
    const long after = StatusKiB("VmRSS:");
    std::free(pin);
    EXPECT_GT(before - after, 32 << 10)
        << "resident " << before << " KiB, then " << after << " KiB";
}
