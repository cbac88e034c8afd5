// The line syntax of an add's file list: ">" (recurse) or "|" (do not) in
// front of a path, "<password" (or a bare "<": no password) behind it. The
// engine reads it from its specification lines, the compression library
// from the old parameter block layout, which carries the lines unparsed.
// A path that names an existing file is taken as it stands, so file names
// holding these characters are never taken apart.
#pragma once

#include <string>

namespace kelp::zip {

struct AddSpecLine {
    enum class Password { Inherit, Own, None };
    std::string path;
    int recurse = -1;  // -1: as the call says, 1: ">", 0: "|"
    Password passwordKind = Password::Inherit;
    std::string password;  // with Password::Own
};

// Takes a line apart. A line that names an existing file (or a link) is
// that path; so is what follows a ">" or "|" prefix when it names one; a
// password part is split at the first "<" whose front names an existing
// file, else at the first "<".
AddSpecLine ParseAddSpecLine(const std::string& line);

// The line that ParseAddSpecLine reads back as these parts, for paths that
// exist (the old parameter block layout has room for nothing but lines).
std::string FormatAddSpecLine(const AddSpecLine& spec);

}  // namespace kelp::zip
