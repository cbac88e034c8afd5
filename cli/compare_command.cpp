// kelpzip compare [-T] [--json] A B: which members were added, removed and
// changed between two archives, or between an archive and a folder (whose
// files stand for members, with their CRCs computed). Members match by their
// exact names; they differ in size or CRC, and with -T also in time (by two
// seconds or more: a DOS time holds even seconds) or permission bits. Exit 0 when A and B hold
// the same, 1 when they differ, 2 on an error.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

#include "cli/commands.h"
#include "cli/line_output.h"
#include "cli/open_archive.h"
#include "libs/zipcore/crc32.h"
#include "libs/zipcore/dos_time.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

constexpr int kExitDiffer = 1;
constexpr int kExitFailed = 2;

struct Item {
    uint64_t size = 0;
    uint32_t crc = 0;
    int64_t mtime = 0;  // seconds; an archive's to the two seconds of its DOS time
    std::optional<uint32_t> mode;  // permission bits, when the side keeps them
};
using Side = std::map<std::string, Item>;

std::optional<Side> ReadArchive(const std::string& path) {
    auto opened = OpenArchive(path);
    if (!opened || opened->engine.ErrorsReported() > 0) return std::nullopt;
    Side side;
    for (const auto& e : opened->engine.DirEntries()) {
        Item item{e.UnpackedSize, e.Crc,
                  kelp::zip::DosToUnixTime(uint16_t(e.DosDateTime >> 16), uint16_t(e.DosDateTime)),
                  std::nullopt};
        // Unix hosts keep the mode in the high half of the attributes.
        if (e.HostSystem == 3 && (e.ExternalAttributes >> 16) != 0) item.mode = (e.ExternalAttributes >> 16) & 07777;
        side[e.MemberName] = item;
    }
    return side;
}

// The files below `root` (folders have no members of their own there).
std::optional<Side> ReadFolder(const std::string& root) {
    Side side;
    std::error_code ec;
    std::vector<char> buffer(1 << 20);
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string path = it->path().string();
        std::ifstream in(path, std::ios::binary);
        struct stat st {};
        if (!in || stat(path.c_str(), &st) != 0) {
            std::fprintf(stderr, "kelpzip: cannot read %s\n", path.c_str());
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
        std::fprintf(stderr, "kelpzip: cannot read %s: %s\n", root.c_str(), ec.message().c_str());
        return std::nullopt;
    }
    return side;
}

std::optional<Side> ReadSide(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec) ? ReadFolder(path) : ReadArchive(path);
}

std::string Hex(uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc);
    return text;
}

// What differs between two members of one name, as "size 3 -> 4" parts.
std::vector<std::string> Changes(const Item& a, const Item& b, bool timesToo) {
    std::vector<std::string> changes;
    if (a.size != b.size) changes.push_back("size " + std::to_string(a.size) + " -> " + std::to_string(b.size));
    if (a.crc != b.crc) changes.push_back("CRC " + Hex(a.crc) + " -> " + Hex(b.crc));
    // Writers round a file's time to an even second up or down.
    if (timesToo && (a.mtime > b.mtime + 1 || b.mtime > a.mtime + 1)) changes.push_back("time");
    if (timesToo && a.mode && b.mode && *a.mode != *b.mode) changes.push_back("mode");
    return changes;
}

void AppendJsonString(Output& out, const std::string& text) {
    out << '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out << '\\' << char(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out << escape;
        } else {
            out << char(c);
        }
    }
    out << '"';
}

}  // namespace

int CompareCommand(const Args& args) {
    bool timesToo = false, json = false;
    std::vector<std::string> paths;
    for (const std::string& a : args) {
        if (a == "-T") timesToo = true;
        else if (a == "--json") json = true;
        else if (!a.empty() && a[0] == '-') return UsageError("unknown option '" + a + "'");
        else paths.push_back(a);
    }
    if (paths.size() != 2) return UsageError("compare needs two archives, or an archive and a folder");
    const std::optional<Side> a = ReadSide(paths[0]), b = ReadSide(paths[1]);
    if (!a || !b) return kExitFailed;

    // One pass over both sides in name order gives a stable order.
    struct Difference {
        const char* kind;
        std::string name;
        std::vector<std::string> changes;
    };
    std::vector<Difference> differences;
    size_t same = 0;
    auto ia = a->begin(), ib = b->begin();
    while (ia != a->end() || ib != b->end()) {
        if (ib == b->end() || (ia != a->end() && ia->first < ib->first)) {
            differences.push_back({"removed", ia++->first, {}});
        } else if (ia == a->end() || ib->first < ia->first) {
            differences.push_back({"added", ib++->first, {}});
        } else {
            auto changes = Changes(ia->second, ib->second, timesToo);
            if (changes.empty()) ++same;
            else differences.push_back({"changed", ia->first, std::move(changes)});
            ++ia, ++ib;
        }
    }

    Output out;
    size_t counts[3] = {};
    for (const Difference& d : differences) ++counts[d.kind[0] == 'a' ? 0 : d.kind[0] == 'r' ? 1 : 2];
    if (json) {
        out << "[";
        for (size_t i = 0; i < differences.size(); ++i) {
            out << (i ? ",\n " : "\n ") << "{\"change\": \"" << differences[i].kind << "\", \"name\": ";
            AppendJsonString(out, differences[i].name);
            out << ", \"fields\": [";
            for (size_t f = 0; f < differences[i].changes.size(); ++f) {
                if (f) out << ", ";
                AppendJsonString(out, differences[i].changes[f]);
            }
            out << "]}";
        }
        out << (differences.empty() ? "]\n" : "\n]\n");
    } else {
        for (const Difference& d : differences) {
            out << d.kind << ": ";
            AppendEscaped(out, d.name);
            for (size_t f = 0; f < d.changes.size(); ++f) out << (f ? ", " : " (") << d.changes[f];
            out << (d.changes.empty() ? "\n" : ")\n");
        }
        out << uint64_t(counts[0]) << " added, " << uint64_t(counts[1]) << " removed, " << uint64_t(counts[2])
            << " changed, " << uint64_t(same) << " the same\n";
    }
    return differences.empty() ? kExitOk : kExitDiffer;
}

}  // namespace cli
