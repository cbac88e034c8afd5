// The settings block a self-extracting archive carries between its program
// and the archive: the program reads it at run time. The current layout
// starts with "MPV", an older one with "MPU". Standalone (no engine types),
// so that the self-extractor program can compile it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kelp::engine {

// Bits of the flag byte.
constexpr uint8_t kSfxFlagAskCmdLine = 0x01;
constexpr uint8_t kSfxFlagAskFiles = 0x02;
constexpr uint8_t kSfxFlagHideOverWriteBox = 0x04;
constexpr uint8_t kSfxFlagOverwriteAlways = 0x08;
constexpr uint8_t kSfxFlagOverwriteNever = 0x10;
constexpr uint8_t kSfxFlagNoCheckSize = 0x20;  // set when the free space is NOT checked
constexpr uint8_t kSfxFlagAutoRun = 0x40;
constexpr uint8_t kSfxFlagNoSuccessMsg = 0x80;  // current layout only

// The longest a block gets: 12 fixed bytes and four texts of 255.
constexpr size_t kSfxMaxBlockSize = 12 + 4 * 255;
constexpr size_t kSfxMaxTextLength = 255;

struct SfxSettingsBlock {
    bool current = true;  // "MPV"; false for the older "MPU" layout
    uint8_t flags = 0;
    std::string caption;
    std::string defaultDir;
    std::string commandLine;
    std::string message;  // the older layout has none
};

// The size of the current layout for these texts: 12 bytes and the texts,
// rounded up to a multiple of 4.
size_t SettingsBlockSize(const SfxSettingsBlock& block);

// The block in the current layout. Every text must be at most 255 bytes.
std::string EncodeSettingsBlock(const SfxSettingsBlock& block);

// Reads a block that starts at `p` ("MPU" or "MPV"); `available` bytes may be
// looked at. Nothing when the signature is wrong or the texts run past them.
std::optional<SfxSettingsBlock> DecodeSettingsBlock(const unsigned char* p, size_t available);

// Finds the block in the bytes that stand in front of an archive. A current
// block that ends exactly where the archive starts wins; otherwise the first
// block whose texts fit is taken, searching from the front.
std::optional<SfxSettingsBlock> FindSettingsBlock(const unsigned char* p, size_t size);

}  // namespace kelp::engine
