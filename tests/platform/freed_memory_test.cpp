// Memory freed below a block still in use goes back to the system.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/freed_memory.h"

namespace {

long ResidentKiB() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

}  // namespace

TEST(FreedMemory, PagesFreedBelowABlockInUseGoBackToTheSystem) {
#if !defined(__GLIBC__)
    GTEST_SKIP() << "only the GNU C library keeps freed pages this way";
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
    const long before = ResidentKiB();
    platform::ReturnFreedMemory();
    const long after = ResidentKiB();
    std::free(pin);
    EXPECT_GT(before - after, 32 << 10) << "resident " << before << " KiB, then " << after << " KiB";
}
