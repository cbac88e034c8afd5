// Containers of many megabytes ask the system for huge pages; small ones
// leave their memory as it is.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/huge_pages.h"

namespace {

// The "VmFlags:" line of the mapping that holds the address.
std::string FlagsOfMappingAt(const void* address) {
    const auto at = reinterpret_cast<uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        unsigned long low = 0, high = 0;
        char dash = 0;
        if (std::sscanf(line.c_str(), "%lx%c%lx ", &low, &dash, &high) == 3 && dash == '-')
            inside = low <= at && at < high;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line + " ";
    }
    return {};
}

bool AdvisedHuge(const void* address) {
    return FlagsOfMappingAt(address).find(" hg ") != std::string::npos;
}

}  // namespace

TEST(HugePages, OnlyBlocksOfManyMegabytesAskForThem) {
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage/enabled"))
        GTEST_SKIP() << "this kernel has no huge pages for ordinary memory";
    std::vector<uint8_t, kelp::platform::LargeBlocks<uint8_t>> large(16u << 20);
    std::vector<uint8_t, kelp::platform::LargeBlocks<uint8_t>> small(64u << 10);
    ASSERT_FALSE(FlagsOfMappingAt(large.data()).empty());
    EXPECT_TRUE(AdvisedHuge(large.data() + (8u << 20))) << FlagsOfMappingAt(large.data());
    EXPECT_FALSE(AdvisedHuge(small.data())) << FlagsOfMappingAt(small.data());
}
