// kelpzip COMMAND ARGS...: lists, tests, checks, repairs, extracts, adds, deletes, renames
// and compares archives, reads or writes their comments, splits them into
// parts and converts them to and from self-extracting programs.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"

#ifndef KELP_VERSION
#define KELP_VERSION "0"
#endif

namespace kelp::cli {

namespace {

struct Verb {
    const char* name;
    int (*run)(const Args&);
    const char* synopsis;  // what follows "kelpzip VERB"
    const char* about;
};

const Verb kVerbs[] = {
    {"list", ListCommand, "[--tsv] [-O CHARSET] ARCHIVE",
     "Lists the members; --tsv one tab-separated line each; -O reads names in the code page "
     "CHARSET."},
    {"comment", CommentCommand, "ARCHIVE [--set TEXT]", "Prints the archive comment, or sets it."},
    {"test", TestCommand, "ARCHIVE [-p PASSWORD] [-O CHARSET]",
     "Tests every member's data against its CRC; -O reads names in the code page CHARSET."},
    {"check", CheckCommand, "ARCHIVE [--json] [-p PASSWORD] [-O CHARSET]",
     "Tests the archive and examines its structure: one sentence per finding (local against "
     "central headers, overlapping members, counts and offsets, duplicate and case-twin names, "
     "unsafe names and links, data in front or behind, unreadable methods, CRCs and sizes). "
     "Exit 0 with no finding, 1 with findings."},
    {"repair", RepairCommand, "BROKEN.zip FIXED.zip [--json]",
     "Builds a new archive FIXED.zip from what can be found in the damaged BROKEN.zip: every "
     "member whose data checks out against its CRC, copied as it is (encrypted members are kept "
     "when their headers and lengths agree). One line per member lost, then \"Recovered N of M "
     "members\". BROKEN.zip is never changed; data in front of the first member is not copied. "
     "Exit 0 when nothing was lost, 1 when something was, 2 on an error."},
    {"extract", ExtractCommand,
     "ARCHIVE [-d DIR] [-j] [-o|-n] [-p PASSWORD] [-O CHARSET] [MEMBER...]",
     "Extracts the members (all, or those the MEMBER patterns match) below DIR; -j without folder "
     "names, -o overwrites and -n never overwrites existing files; -O reads names in the code page "
     "CHARSET."},
    {"add", AddCommand,
     "ARCHIVE [-l LEVEL] [--method deflate|store|bzip2|lzma|xz|zstd]\n"
     "                [-r] [-D] [-y] [-j] [-p PASSWORD] [-e zipcrypto|aes256] [-u|-f|-m]\n"
     "                [-x PATTERN]... [--] PATH...",
     "Adds files and folders (-r with what they hold), creating the archive when needed."},
    {"delete", DeleteCommand, "ARCHIVE MEMBER...",
     "Deletes the members the MEMBER patterns match."},
    {"rename", RenameCommand, "ARCHIVE OLD NEW",
     "Renames the member named exactly OLD, or a folder and what lies under it; the data is "
     "copied unchanged."},
    {"compare", CompareCommand, "[-T] [--json] A B",
     "Says which members were added, removed and changed between two archives, or an archive "
     "and a folder; -T compares times and modes too. Exit 0 same, 1 different, 2 error."},
    {"span", SpanCommand, "ARCHIVE.zip TARGET.zip --volume-size N [--keep-free N]",
     "Copies the archive into numbered parts of at most N bytes."},
    {"makeexe", MakeExeCommand,
     "ARCHIVE.zip [--caption T] [--dir D] [--message M] [--command C] [--stub PATH]",
     "Turns the archive into a self-extracting program (ARCHIVE.exe)."},
    {"makezip", MakeZipCommand, "ARCHIVE.exe",
     "Turns a self-extracting program back into ARCHIVE.zip."},
};

constexpr const char* kPatternRule =
    "MEMBER arguments are patterns matched against whole member names: \"*\" matches any\n"
    "run of characters (\"/\" included), \"?\" one character, \"\\\" and \"/\" match either\n"
    "separator, everything else (case included) must match exactly; quote them for the shell.\n"
    "rename takes exact names, never patterns; a folder's name renames what lies under it.\n"
    "-O CHARSET (list, test, extract) reads names that are neither flagged nor valid UTF-8\n"
    "in that code page (an iconv name such as CP866 or CP932) instead of the detected one.\n";

std::string Usage() {
    std::string text;
    for (const Verb& v : kVerbs)
        text += std::string(text.empty() ? "usage: " : "       ") + "kelpzip " + v.name + " " +
                v.synopsis + "\n";
    text += "       kelpzip help [VERB] | --version\n";
    return text + kPatternRule;
}

const Verb* FindVerb(const std::string& name) {
    for (const Verb& v : kVerbs)
        if (name == v.name) return &v;
    return nullptr;
}

int PrintHelp(const Verb& v) {
    std::printf("usage: kelpzip %s %s\n\n%s\n", v.name, v.synopsis, v.about);
    if (!std::strcmp(v.name, "extract") || !std::strcmp(v.name, "delete"))
        std::printf("\n%s", kPatternRule);
    return kExitOk;
}

}  // namespace

int UsageError(const std::string& message) {
    std::fprintf(stderr, "kelpzip: %s\n%s", message.c_str(), Usage().c_str());
    return kExitUsage;
}

}  // namespace kelp::cli

int main(int argc, char** argv) {
    if (argc < 2) return kelp::cli::UsageError("no command given");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || (command == "help" && argc == 2)) {
        std::fputs(kelp::cli::Usage().c_str(), stdout);
        return kelp::cli::kExitOk;
    }
    if (command == "--version") {
        std::printf("kelpzip %s\n", KELP_VERSION);
        return kelp::cli::kExitOk;
    }
    if (command == "help") {
        const kelp::cli::Verb* verb = kelp::cli::FindVerb(argv[2]);
        return verb ? kelp::cli::PrintHelp(*verb)
                    : kelp::cli::UsageError("no verb '" + std::string(argv[2]) + "'");
    }
    const kelp::cli::Verb* verb = kelp::cli::FindVerb(command);
    if (!verb) return kelp::cli::UsageError("unknown command '" + command + "'");
    const kelp::cli::Args args(argv + 2, argv + argc);
    for (const std::string& a : args)
        if (a == "--help") return kelp::cli::PrintHelp(*verb);
    return verb->run(args);
}
