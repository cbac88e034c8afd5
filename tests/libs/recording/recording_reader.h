// Reads back what the recording libraries wrote (see recording_lib.cpp).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace recording {

struct CallbackRecordSeen {
    int32_t result = 0;
    int32_t action = 0;
    int32_t number1 = 0;
    int32_t number2 = 0;
    std::string text;
};

struct Call {
    std::string entry;  // "KZipExec" or "KUnzipExec"
    int version = 0;
    std::string block;                                        // raw bytes
    std::map<std::string, std::optional<std::string>> texts;  // nullopt: null pointer
    std::map<std::string, std::string> tables;
    std::vector<CallbackRecordSeen> callbacks;

    // The block as the struct it was recorded from.
    template <typename Block>
    Block As() const {
        Block b{};
        std::memcpy(&b, block.data(), std::min(sizeof(b), block.size()));
        return b;
    }
};

// Every call in the file, in order; empty when the file is missing.
std::vector<Call> ReadRecording(const std::string& path);

}  // namespace recording
