// Memory freed below a block still in use goes back to the system; blocks of
// many megabytes ask for huge pages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/bench/process_memory.h"
#include "platform/freed_memory.h"
#include "platform/huge_pages.h"

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

// The "VmFlags:" line of the mapping that holds the address, with a blank
// behind it.
static std::string FlagsAt(const void* address) {
    const auto at = reinterpret_cast<uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        unsigned long low = 0, high = 0;  // a mapping's first line: "low-high perms ..."
        if (std::sscanf(line.c_str(), "%lx-%lx ", &low, &high) == 2)
            inside = low <= at && at < high;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line + " ";
    }
    return {};
}

TEST(HugePages, OnlyBlocksOfManyMegabytesAskForThem) {
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled"))
        GTEST_SKIP() << "this kernel has no huge pages for ordinary memory";
    std::vector<uint8_t, kelp::platform::LargeBlocks<uint8_t>> large(16u << 20), small(64u << 10);
    const std::string largeFlags = FlagsAt(large.data() + (8u << 20));
    EXPECT_NE(largeFlags.find(" hg "), std::string::npos) << largeFlags;
    EXPECT_EQ(FlagsAt(small.data()).find(" hg "), std::string::npos) << FlagsAt(small.data());
}
