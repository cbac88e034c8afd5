#include "add_spec_line.h"

#include <sys/stat.h>

namespace kelp::zip {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && lstat(path.c_str(), &st) == 0;
}

// The path with its password part taken off, when it has one.
void SplitPassword(const std::string& text, AddSpecLine& spec) {
    size_t cut = text.find('<');
    if (cut == std::string::npos) {
        spec.path = text;
        return;
    }
    for (size_t lt = cut; lt != std::string::npos; lt = text.find('<', lt + 1)) {
        if (Exists(text.substr(0, lt))) {
            cut = lt;
            break;
        }
    }
    spec.path = text.substr(0, cut);
    spec.password = text.substr(cut + 1);
    spec.passwordKind =
        spec.password.empty() ? AddSpecLine::Password::None : AddSpecLine::Password::Own;
}

}  // namespace

AddSpecLine ParseAddSpecLine(const std::string& line) {
    AddSpecLine spec;
    if (Exists(line)) {
        spec.path = line;
        return spec;
    }
    std::string rest = line;
    if (!rest.empty() && (rest[0] == '>' || rest[0] == '|')) {
        spec.recurse = rest[0] == '>' ? 1 : 0;
        rest.erase(0, 1);
    }
    if (Exists(rest)) {
        spec.path = rest;
        return spec;
    }
    SplitPassword(rest, spec);
    return spec;
}

std::string FormatAddSpecLine(const AddSpecLine& spec) {
    std::string line;
    if (spec.recurse >= 0) line += spec.recurse ? '>' : '|';
    line += spec.path;
    if (spec.passwordKind == AddSpecLine::Password::Own) line += "<" + spec.password;
    if (spec.passwordKind == AddSpecLine::Password::None) line += "<";
    return line;
}

}  // namespace kelp::zip
