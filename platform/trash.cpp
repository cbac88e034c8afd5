#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/folders.h"

namespace kelp::platform {

namespace {

namespace fs = std::filesystem;

// The path as a URL path: bytes outside the unreserved set and "/" escaped.
std::string EscapePath(const std::string& path) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~' ||
                           c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string LocalTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Moves a file across file systems: copy, then remove the original.
bool CopyThenRemove(const std::string& from, const std::string& to) {
    std::error_code ec;
    if (!fs::copy_file(from, to, fs::copy_options::none, ec)) {
        fs::remove(to, ec);
        return false;
    }
    if (!fs::remove(from, ec)) {
        fs::remove(to, ec);
        return false;
    }
    return true;
}

}  // namespace

std::string TrashFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const std::string base =
        dataHome && *dataHome ? WithTrailingSlash(dataHome) : HomeFolder() + ".local/share/";
    return base + "Trash/";
}

bool MoveToTrash(const std::string& path, const std::string& origin) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec || !fs::exists(fs::symlink_status(absolute, ec))) return false;
    const fs::path from = origin.empty() ? absolute : fs::absolute(origin, ec);
    if (ec) return false;
    const std::string trash = TrashFolder();
    for (const std::string& dir : {trash, trash + "files", trash + "info"}) {
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
            // The parents of the trash may be missing too.
            fs::create_directories(dir, ec);
            if (ec) return false;
            ::chmod(dir.c_str(), 0700);
        }
    }

    // Reserve a name by creating its info file exclusively; a name already
    // taken gets a number appended.
    const std::string leaf = from.filename().string();
    std::string name;
    std::string infoPath;
    int fd = -1;
    for (int n = 1; n < 10000 && fd < 0; ++n) {
        name = n == 1 ? leaf : leaf + "." + std::to_string(n);
        infoPath = trash + "info/" + name + ".trashinfo";
        if (fs::exists(fs::symlink_status(trash + "files/" + name, ec))) continue;
        fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    const std::string info = "[Trash Info]\nPath=" + EscapePath(from.lexically_normal().string()) +
                             "\nDeletionDate=" + LocalTimeStamp() + "\n";
    const bool written = WriteAll(fd, info) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written) {
        ::unlink(infoPath.c_str());
        return false;
    }

    const std::string target = trash + "files/" + name;
    bool moved = ::rename(absolute.c_str(), target.c_str()) == 0;
    if (!moved && errno == EXDEV && fs::is_regular_file(fs::symlink_status(absolute, ec)))
        moved = CopyThenRemove(absolute.string(), target);
    if (!moved) ::unlink(infoPath.c_str());
    return moved;
}

}  // namespace kelp::platform
