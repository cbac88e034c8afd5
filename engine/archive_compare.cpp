#include "engine/archive_compare.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/zip_engine.h"
#include "libs/zipcore/crc32.h"
#include "libs/zipcore/dos_time.h"

namespace kelp::engine {

namespace {

namespace fs = std::filesystem;

struct Item {
    uint64_t size = 0;
    uint32_t crc = 0;
    // An archive's DOS time, converted only when times are compared (the
    // conversion costs more than the rest of the comparison); a file's time.
    std::optional<uint32_t> dosTime;
    int64_t mtime = 0;
    std::optional<uint32_t> mode;  // permission bits, when the side keeps them

    int64_t Seconds() const {
        return dosTime ? kelp::zip::DosToUnixTime(uint16_t(*dosTime >> 16), uint16_t(*dosTime))
                       : mtime;
    }
};
using Side = std::map<std::string, Item>;

std::optional<Side> ReadArchive(const std::string& path, std::string& error) {
    ZipEngine zip;
    zip.Unattended = true;
    zip.OnMessage = [&](int, const std::string& text) { error = path + ": " + text; };
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        error = path + ": no such archive or folder";
        return std::nullopt;
    }
    zip.setZipFileName(path);
    if (zip.ZipFileName().empty() || zip.ErrorsReported() > 0) return std::nullopt;
    Side side;
    for (const ZipDirEntry& e : zip.DirEntries()) {
        Item item{e.UnpackedSize(), e.Crc(), e.DosDateTime(), 0, std::nullopt};
        // Unix hosts keep the mode in the high half of the attributes.
        if (e.HostSystem() == 3 && (e.ExternalAttributes() >> 16) != 0)
            item.mode = (e.ExternalAttributes() >> 16) & 07777;
        side[std::string(e.MemberName())] = item;
    }
    return side;
}

std::optional<Side> ReadFolder(const std::string& root, std::string& error) {
    Side side;
    std::error_code ec;
    std::vector<char> buffer(1 << 20);
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string path = it->path().string();
        std::ifstream in(path, std::ios::binary);
        struct stat st {};
        if (!in || stat(path.c_str(), &st) != 0) {
            error = "cannot read " + path;
            return std::nullopt;
        }
        Item item;
        while (in.read(buffer.data(), std::streamsize(buffer.size())) || in.gcount() > 0) {
            item.crc = kelp::zip::Crc32(item.crc, buffer.data(), size_t(in.gcount()));
            item.size += uint64_t(in.gcount());
        }
        item.mtime = st.st_mtime;
        item.mode = st.st_mode & 07777;
        side[fs::relative(it->path(), root).generic_string()] = item;
    }
    if (ec) {
        error = "cannot read " + root + ": " + ec.message();
        return std::nullopt;
    }
    return side;
}

std::optional<Side> ReadSide(const std::string& path, std::string& error) {
    std::error_code ec;
    return fs::is_directory(path, ec) ? ReadFolder(path, error) : ReadArchive(path, error);
}

std::string Hex(uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

std::vector<std::string> Changes(const Item& a, const Item& b, bool timesToo) {
    std::vector<std::string> changes;
    if (a.size != b.size)
        changes.push_back("size " + std::to_string(a.size) + " -> " + std::to_string(b.size));
    if (a.crc != b.crc) changes.push_back("CRC " + Hex(a.crc) + " -> " + Hex(b.crc));
    // Writers round a file's time to an even second up or down.
    if (timesToo) {
        const int64_t ta = a.Seconds(), tb = b.Seconds();
        if (ta > tb + 1 || tb > ta + 1) changes.push_back("time");
    }
    if (timesToo && a.mode && b.mode && *a.mode != *b.mode) changes.push_back("mode");
    return changes;
}

}  // namespace

const char* DifferenceKindText(MemberDifference::Kind kind) {
    switch (kind) {
        case MemberDifference::Added:
            return "added";
        case MemberDifference::Removed:
            return "removed";
        case MemberDifference::Changed:
            break;
    }
    return "changed";
}

std::optional<ArchiveComparison> CompareArchives(const std::string& a, const std::string& b,
                                                 bool timesToo, std::string& error) {
    const std::optional<Side> left = ReadSide(a, error);
    if (!left) return std::nullopt;
    const std::optional<Side> right = ReadSide(b, error);
    if (!right) return std::nullopt;
    // One pass over both sides in name order gives a stable order.
    ArchiveComparison result;
    auto ia = left->begin(), ib = right->begin();
    while (ia != left->end() || ib != right->end()) {
        if (ib == right->end() || (ia != left->end() && ia->first < ib->first)) {
            result.differences.push_back({MemberDifference::Removed, ia++->first, {}});
        } else if (ia == left->end() || ib->first < ia->first) {
            result.differences.push_back({MemberDifference::Added, ib++->first, {}});
        } else {
            auto changes = Changes(ia->second, ib->second, timesToo);
            if (changes.empty())
                ++result.same;
            else
                result.differences.push_back(
                    {MemberDifference::Changed, ia->first, std::move(changes)});
            ++ia, ++ib;
        }
    }
    return result;
}

}  // namespace kelp::engine
