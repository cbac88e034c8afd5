// Feeds arbitrary bytes to the parsers of self-extracting programs: the
// search for the settings block, the block decoder and the walk of a stub's
// resource section to its icon.
#include <cstdint>
#include <string>

#include "engine/sfx_pe_icon.h"
#include "engine/sfx_settings_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (auto block = kelp::engine::FindSettingsBlock(data, size)) {
        // What was decoded must encode to a block the decoder accepts again.
        const std::string again = kelp::engine::EncodeSettingsBlock(*block);
        if (!kelp::engine::DecodeSettingsBlock(reinterpret_cast<const unsigned char*>(again.data()),
                                               again.size()))
            __builtin_trap();
    }
    kelp::engine::DecodeSettingsBlock(data, size);
    const std::string program(reinterpret_cast<const char*>(data), size);
    if (kelp::engine::IsWindowsProgram(program)) {
        if (auto at = kelp::engine::FindStubIconImage(program)) {
            if (*at >= program.size()) __builtin_trap();
        }
    }
    kelp::engine::IsStubIconFile(program);
    return 0;
}
