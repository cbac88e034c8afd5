#include "engine/sfx_pe_icon.h"

#include "libs/zipcore/zip_records.h"

namespace kelp::engine {

namespace {

constexpr uint16_t kResourceTypeIcon = 3;
constexpr uint16_t kIconName = 1;
constexpr uint32_t kHighBit = 0x80000000u;

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// Bounds-checked little-endian reads from a byte string.
struct Reader {
    const unsigned char* p;
    size_t size;
    bool Fits(size_t at, size_t n) const { return at <= size && n <= size - at; }
    uint16_t U16(size_t at) const { return kelp::zip::ReadLe16(p + at); }
    uint32_t U32(size_t at) const { return kelp::zip::ReadLe32(p + at); }
};

struct Section {
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
};

// Finds the directory entry with identifier `id` (any identifier when `id`
// is negative) in the resource directory at `dir`, an offset from the start
// of the resource section data `res`. Named entries are skipped. Returns the
// entry's OffsetToData field.
std::optional<uint32_t> FindEntry(const Reader& res, size_t dir, int id, bool wantSubdir) {
    if (!res.Fits(dir, 16)) return std::nullopt;
    const size_t count = static_cast<size_t>(res.U16(dir + 12)) + res.U16(dir + 14);
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = dir + 16 + i * 8;
        if (!res.Fits(entry, 8)) return std::nullopt;
        const uint32_t name = res.U32(entry);
        const uint32_t target = res.U32(entry + 4);
        if (name & kHighBit) continue;
        if (id >= 0 && name != static_cast<uint32_t>(id)) continue;
        if (((target & kHighBit) != 0) != wantSubdir) continue;
        return target & ~kHighBit;
    }
    return std::nullopt;
}

}  // namespace

bool IsWindowsProgram(const std::string& program) {
    return program.size() >= 2 && program.compare(0, 2, "MZ") == 0;
}

std::optional<size_t> FindStubIconImage(const std::string& program) {
    const Reader file{Bytes(program), program.size()};
    if (!IsWindowsProgram(program) || !file.Fits(60, 4)) return std::nullopt;
    const size_t pe = file.U32(60);
    if (!file.Fits(pe, 24) || program.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return std::nullopt;
    const size_t sections = file.U16(pe + 6);
    const size_t optionalSize = file.U16(pe + 20);
    const size_t optional = pe + 24;
    if (!file.Fits(optional, 2)) return std::nullopt;
    // The data directories follow the fixed part of the optional header,
    // which is longer in 64-bit programs; the resource table is the third.
    const uint16_t magic = file.U16(optional);
    const size_t directories = optional + (magic == 0x20B ? 112 : 96);
    const size_t resourceEntry = directories + 2 * 8;
    if (resourceEntry + 8 > optional + optionalSize || !file.Fits(resourceEntry, 8))
        return std::nullopt;
    const uint32_t resourceRva = file.U32(resourceEntry);

    // The section named ".rsrc".
    std::optional<Section> rsrc;
    const size_t table = optional + optionalSize;
    for (size_t i = 0; i < sections; ++i) {
        const size_t at = table + i * 40;
        if (!file.Fits(at, 40)) return std::nullopt;
        if (program.compare(at, 8, std::string(".rsrc\0\0\0", 8)) != 0) continue;
        rsrc = Section{file.U32(at + 12), file.U32(at + 8), file.U32(at + 16), file.U32(at + 20)};
        break;
    }
    if (!rsrc || !file.Fits(rsrc->rawOffset, rsrc->rawSize)) return std::nullopt;
    // The resource directory must lie inside the section's data.
    if (resourceRva < rsrc->virtualAddress || resourceRva - rsrc->virtualAddress >= rsrc->rawSize)
        return std::nullopt;
    const size_t base = rsrc->rawOffset + (resourceRva - rsrc->virtualAddress);
    const Reader res{file.p + base, rsrc->rawOffset + rsrc->rawSize - base};

    // Three levels: type 3 (icon), name 1, any language. The depth is fixed,
    // so a directory that points back at itself cannot make the walk loop.
    const auto byType = FindEntry(res, 0, kResourceTypeIcon, true);
    if (!byType) return std::nullopt;
    const auto byName = FindEntry(res, *byType, kIconName, true);
    if (!byName) return std::nullopt;
    if (!res.Fits(*byName, 16)) return std::nullopt;
    const size_t count = static_cast<size_t>(res.U16(*byName + 12)) + res.U16(*byName + 14);
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = *byName + 16 + i * 8;
        if (!res.Fits(entry, 8)) return std::nullopt;
        const uint32_t target = res.U32(entry + 4);
        if ((res.U32(entry) & kHighBit) || (target & kHighBit) || !res.Fits(target, 16)) continue;
        const uint32_t dataRva = res.U32(target);
        const uint32_t dataSize = res.U32(target + 4);
        if (dataSize != kStubIconImageSize || dataRva < rsrc->virtualAddress) continue;
        const size_t inSection = dataRva - rsrc->virtualAddress;
        if (inSection > rsrc->rawSize || kStubIconImageSize > rsrc->rawSize - inSection) continue;
        return rsrc->rawOffset + inSection;
    }
    return std::nullopt;
}

bool IsStubIconFile(const std::string& iconFile) {
    if (iconFile.size() != kStubIconFileSize) return false;
    const unsigned char* p = Bytes(iconFile);
    // Reserved 0, type 1 (icon), at least one image.
    return kelp::zip::ReadLe16(p) == 0 && kelp::zip::ReadLe16(p + 2) == 1 &&
           kelp::zip::ReadLe16(p + 4) >= 1;
}

std::string StubIconFile(const std::string& image) {
    unsigned char header[22] = {0,  0,  1,  0, 1, 0,         // reserved, type icon, one image
                                32, 32, 16, 0, 1, 0, 4, 0};  // 32 x 32, 16 colours, 1 plane, 4 bits
    header[14] = static_cast<unsigned char>(image.size());
    header[15] = static_cast<unsigned char>(image.size() >> 8);
    header[18] = 22;  // the image follows the header
    return std::string(reinterpret_cast<const char*>(header), sizeof header) + image;
}

}  // namespace kelp::engine
