// kelpzip COMMAND ARGS...: lists, tests and extracts archives and reads or
// writes their comments.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"

namespace cli {

namespace {

constexpr const char* kUsage =
    "usage: kelpzip list [--tsv] ARCHIVE\n"
    "       kelpzip comment ARCHIVE [--set TEXT]\n"
    "       kelpzip test ARCHIVE [-p PASSWORD]\n"
    "       kelpzip extract ARCHIVE [-d DIR] [-j] [-o|-n] [-p PASSWORD] [MEMBER...]\n"
    "       kelpzip add ARCHIVE [-l LEVEL] [--method deflate|store|bzip2|lzma|xz|zstd]\n"
    "                   [-r] [-D] [-y] [-j] [-p PASSWORD] [-e zipcrypto|aes256] [-u|-f|-m]\n"
    "                   [-x PATTERN]... [--] PATH...\n"
    "       kelpzip delete ARCHIVE MEMBER...\n"
    "       kelpzip rename ARCHIVE OLD NEW\n"
    "       kelpzip compare [-T] [--json] A B      (archives, or an archive and a folder)\n"
    "       kelpzip span ARCHIVE.zip TARGET.zip --volume-size N [--keep-free N]\n"
    "       kelpzip makeexe ARCHIVE.zip [--caption T] [--dir D] [--message M] [--command C] [--stub PATH]\n"
    "       kelpzip makezip ARCHIVE.exe\n"
    "MEMBER arguments are patterns matched against whole member names: \"*\" matches any\n"
    "run of characters (\"/\" included), \"?\" one character, \"\\\" and \"/\" match either\n"
    "separator, everything else (case included) must match exactly; quote them for the shell.\n"
    "rename takes exact names, never patterns; a folder's name renames what lies under it.\n";

}  // namespace

int UsageError(const std::string& message) {
    std::fprintf(stderr, "kelpzip: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

}  // namespace cli

int main(int argc, char** argv) {
    if (argc < 2) return cli::UsageError("no command given");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::fputs(cli::kUsage, stdout);
        return cli::kExitOk;
    }
    const cli::Args args(argv + 2, argv + argc);
    if (command == "list") return cli::ListCommand(args);
    if (command == "comment") return cli::CommentCommand(args);
    if (command == "test") return cli::TestCommand(args);
    if (command == "extract") return cli::ExtractCommand(args);
    if (command == "add") return cli::AddCommand(args);
    if (command == "delete") return cli::DeleteCommand(args);
    if (command == "rename") return cli::RenameCommand(args);
    if (command == "compare") return cli::CompareCommand(args);
    if (command == "span") return cli::SpanCommand(args);
    if (command == "makeexe") return cli::MakeExeCommand(args);
    if (command == "makezip") return cli::MakeZipCommand(args);
    return cli::UsageError("unknown command '" + command + "'");
}
