#include "source_scanner.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "wildcard.h"

namespace kelp::kzip {
namespace {

std::string Leaf(const std::string& name) {
    std::string n = name;
    while (!n.empty() && n.back() == '/') n.pop_back();
    size_t slash = n.rfind('/');
    return slash == std::string::npos ? n : n.substr(slash + 1);
}

bool Hidden(const std::string& leaf) {
    return !leaf.empty() && leaf[0] == '.';
}

std::string Join(const std::string& folder, const std::string& leaf) {
    if (folder.empty()) return leaf;
    return folder.back() == '/' ? folder + leaf : folder + "/" + leaf;
}

}  // namespace

std::vector<SourceItem> SourceScanner::Scan() {
    for (size_t i = 0; i < request_.specs.size() && !reporter_.cancelled(); ++i) ScanSpec(i);
    return std::move(items_);
}

void SourceScanner::Warn(const std::string& text) {
    ++warnings_;
    reporter_.Message(kErrSource, text);
}

bool SourceScanner::Excluded(const std::string& name) const {
    std::string leaf = Leaf(name);
    for (const std::string& pattern : request_.excludes) {
        if (zip::WildcardMatch(pattern, name) || zip::WildcardMatch(pattern, leaf)) return true;
    }
    return false;
}

void SourceScanner::ScanSpec(size_t index) {
    const std::string& text = request_.specs[index].text;
    bool recurse = request_.specs[index].recurse;
    // Split into folder components and the last one; the stored prefix is
    // the relative form of the folder.
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        if (part == "..") {
            Warn("  skipping: " + text + " (names with \"..\" cannot be stored)");
            return;
        }
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    std::string leaf = parts.empty() ? std::string() : parts.back();
    std::string prefix;
    for (size_t i = 0; i + 1 < parts.size(); ++i) prefix += parts[i] + "/";
    // The folder to open keeps the specification's own form (absolute or
    // relative to the current folder).
    size_t slash = text.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
    // A path that exists is taken as it stands, "*" and "?" included.
    struct stat st {};
    if (zip::HasWildcard(leaf) && lstat(text.c_str(), &st) != 0) {
        size_t before = items_.size();
        ScanFolder(folder.empty() ? "." : folder, prefix, leaf, recurse, index);
        if (items_.size() == before && !reporter_.cancelled())
            reporter_.Message(kErrNothing, "  name not matched: " + text);
        return;
    }
    if (leaf.empty()) {
        // The specification names a folder as such ("." or "/"): its
        // contents, without an entry for the folder itself.
        ScanFolder(text, "", "*", recurse, index);
        return;
    }
    AddPath(text, prefix + leaf, recurse, index);
}

bool SourceScanner::Stat(const std::string& path, struct stat& st) const {
    return (request_.storeLinks ? lstat(path.c_str(), &st) : stat(path.c_str(), &st)) == 0;
}

void SourceScanner::AddPath(const std::string& path, const std::string& name, bool recurse,
                            size_t spec) {
    struct stat st {};
    if (!Stat(path, st)) {
        struct stat link {};
        if (lstat(path.c_str(), &link) == 0)
            Warn("  skipping: " + name + " (" + std::strerror(errno) + ")");
        else
            Warn("  name not matched: " + name);
        return;
    }
    if (skip_.count({st.st_dev, st.st_ino})) return;
    if (!request_.systemFiles && Hidden(Leaf(name))) return;
    if (S_ISDIR(st.st_mode)) {
        if (Excluded(name + "/")) return;
        if (!request_.skipDirEntries && !request_.dropPaths)
            items_.push_back({path, name + "/", true, 0, st.st_mtime, st.st_mode, spec});
        if (recurse) ScanFolder(path, name + "/", "*", true, spec);
        return;
    }
    if (Excluded(name)) return;
    // A link seen here is stored as a link: its target is the member's data.
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        Warn("  skipping: " + name + " (not a regular file)");
        return;
    }
    items_.push_back(
        {path, name, false, static_cast<uint64_t>(st.st_size), st.st_mtime, st.st_mode, spec});
}

void SourceScanner::ScanFolder(const std::string& path, const std::string& prefix,
                               const std::string& pattern, bool recurse, size_t spec) {
    if (reporter_.cancelled()) return;
    struct stat st {};
    int rc = stat(path.c_str(), &st);
    if (rc != 0 || !S_ISDIR(st.st_mode)) {
        int error = rc != 0 ? errno : ENOTDIR;
        Warn("  skipping: " + (prefix.empty() ? path : prefix) + " (" + std::strerror(error) + ")");
        return;
    }
    // A folder linked into itself further down is walked once.
    if (!openDirs_.insert({st.st_dev, st.st_ino}).second) return;
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* e = readdir(dir)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(std::move(n));
        }
        closedir(dir);
    } else {
        Warn("  skipping: " + (prefix.empty() ? path : prefix) + " (" + std::strerror(errno) + ")");
        openDirs_.erase({st.st_dev, st.st_ino});
        return;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        if (!request_.systemFiles && Hidden(n)) continue;
        std::string child = Join(path, n);
        bool matches = zip::WildcardMatch(pattern, n);
        struct stat cs {};
        bool isDir = Stat(child, cs) && S_ISDIR(cs.st_mode);
        if (isDir && recurse && !matches) {
            // Descend with the pattern: "*.c" finds the C files below too.
            if (!Excluded(prefix + n + "/"))
                ScanFolder(child, prefix + n + "/", pattern, true, spec);
        } else if (matches) {
            AddPath(child, prefix + n, recurse, spec);
        }
    }
    openDirs_.erase({st.st_dev, st.st_ino});
}

}  // namespace kelp::kzip
