#include "engine/sfx_settings_block.h"

namespace kelp::engine {

namespace {

constexpr size_t kFixedSize = 12;

// Reads a text of `length` bytes at `at`; false when it runs past `size`.
bool TakeText(const unsigned char* p, size_t size, size_t& at, size_t length, std::string& text) {
    if (at > size || length > size - at) return false;
    text.assign(reinterpret_cast<const char*>(p + at), length);
    at += length;
    return true;
}

// Reads a length byte and the text behind it.
bool TakeCountedText(const unsigned char* p, size_t size, size_t& at, std::string& text) {
    if (at >= size) return false;
    const size_t length = p[at++];
    return TakeText(p, size, at, length, text);
}

}  // namespace

size_t SettingsBlockSize(const SfxSettingsBlock& block) {
    const size_t used = kFixedSize + block.caption.size() + block.defaultDir.size() +
                        block.commandLine.size() + block.message.size();
    return (used + 3) / 4 * 4;
}

std::string EncodeSettingsBlock(const SfxSettingsBlock& block) {
    const size_t size = SettingsBlockSize(block);
    std::string out;
    out.reserve(size);
    out += "MP";
    out += 'V';
    out += static_cast<char>(block.flags);
    out += '\0';
    out += '\1';
    out += static_cast<char>(size & 0xFF);
    out += static_cast<char>(size >> 8);
    for (const std::string* text :
         {&block.caption, &block.defaultDir, &block.commandLine, &block.message}) {
        out += static_cast<char>(text->size());
        out += *text;
    }
    out.resize(size, '\0');
    return out;
}

std::optional<SfxSettingsBlock> DecodeSettingsBlock(const unsigned char* p, size_t available) {
    if (available < 7 || p[0] != 'M' || p[1] != 'P' || (p[2] != 'U' && p[2] != 'V'))
        return std::nullopt;
    SfxSettingsBlock block;
    block.current = p[2] == 'V';
    block.flags = p[3];
    if (!block.current) {
        // The older layout: three lengths, then the three texts.
        block.flags &= static_cast<uint8_t>(~kSfxFlagNoSuccessMsg);
        size_t at = 7;
        if (!TakeText(p, available, at, p[4], block.caption) ||
            !TakeText(p, available, at, p[5], block.defaultDir) ||
            !TakeText(p, available, at, p[6], block.commandLine))
            return std::nullopt;
        return block;
    }
    if (available < kFixedSize) return std::nullopt;
    const size_t total = static_cast<size_t>(p[6] | (p[7] << 8));
    if (total < kFixedSize || total > available) return std::nullopt;
    size_t at = 8;
    if (!TakeCountedText(p, total, at, block.caption) ||
        !TakeCountedText(p, total, at, block.defaultDir) ||
        !TakeCountedText(p, total, at, block.commandLine) ||
        !TakeCountedText(p, total, at, block.message))
        return std::nullopt;
    return block;
}

std::optional<SfxSettingsBlock> FindSettingsBlock(const unsigned char* p, size_t size) {
    // A block written by this program ends where the archive begins; look
    // for that one first, so that stray "MPV" bytes in the program cannot win.
    for (size_t i = 0; i + kFixedSize <= size; ++i) {
        if (p[i] != 'M' || p[i + 1] != 'P' || p[i + 2] != 'V') continue;
        const size_t total = static_cast<size_t>(p[i + 6] | (p[i + 7] << 8));
        if (total != size - i) continue;
        if (auto block = DecodeSettingsBlock(p + i, size - i)) return block;
    }
    for (size_t i = 0; i + 7 <= size; ++i) {
        if (auto block = DecodeSettingsBlock(p + i, size - i)) return block;
    }
    return std::nullopt;
}

}  // namespace kelp::engine
