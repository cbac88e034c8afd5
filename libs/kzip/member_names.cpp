#include "member_names.h"

#include <vector>

#include "name_encoding.h"

namespace kelp::kzip {
namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string DosComponent(std::string_view part) {
    size_t dot = part.rfind('.');
    std::string_view base = dot == std::string_view::npos ? part : part.substr(0, dot);
    std::string_view ext =
        dot == std::string_view::npos ? std::string_view() : part.substr(dot + 1);
    auto keep = [](std::string_view text, size_t limit) {
        std::string out;
        for (char c : text) {
            if (c == '.' || c == ' ') continue;
            if (out.size() == limit) break;
            out += Upper(c);
        }
        return out;
    };
    std::string out = keep(base, 8);
    if (out.empty()) out = "_";
    std::string e = keep(ext, 3);
    return e.empty() ? out : out + "." + e;
}

}  // namespace

std::string CleanName(std::string_view name, bool isDir, std::string& why) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        std::string_view part = name.substr(start, end - start);
        if (part == "..") {
            why = "names with \"..\" cannot be stored";
            return {};
        }
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    std::string out;
    for (std::string_view p : parts) {
        if (!out.empty()) out += '/';
        out += p;
    }
    if (out.empty()) {
        why = "empty name";
        return {};
    }
    if (isDir) out += '/';
    if (out.find('\0') != std::string::npos) {
        why = "the name holds a NUL character";
        return {};
    }
    if (out.size() > kMaxNameLength) {
        why = "the name is longer than 65535 bytes";
        return {};
    }
    return out;
}

std::string DosName(std::string_view name) {
    std::string out;
    size_t start = 0;
    while (start < name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        out += DosComponent(name.substr(start, end - start));
        if (end < name.size()) out += '/';
        start = end + 1;
    }
    return out;
}

bool NeedsUtf8Flag(std::string_view name) {
    return !zip::IsAscii(name) && zip::IsValidUtf8(name);
}

bool HasSuffix(std::string_view name, std::string_view suffix) {
    if (suffix.empty() || suffix.size() > name.size()) return false;
    std::string_view tail = name.substr(name.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i)
        if (Lower(tail[i]) != Lower(suffix[i])) return false;
    return true;
}

}  // namespace kelp::kzip
