// kelpzip add ARCHIVE [-l LEVEL] [--method deflate|store|bzip2|lzma|xz|zstd] [-r] [-D] [-y]
//             [-j] [-p PASSWORD] [-e zipcrypto|aes256] [-u|-f|-m] [-x PATTERN]... [--] PATH...
// kelpzip delete ARCHIVE MEMBER...
// kelpzip rename ARCHIVE OLD NEW
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/open_archive.h"

namespace kelp::cli {

namespace {

// An engine for an archive that may not exist yet.
std::unique_ptr<OpenedArchive> OpenForChange(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return OpenArchive(path);
    auto opened = std::make_unique<OpenedArchive>();
    opened->engine.SetHostUi(&opened->host);
    opened->engine.setZipFileName(path);
    return opened;
}

// Runs the request with Ctrl+C wired to cancel, the library's lines on
// standard output; returns the exit status. Lines with an error value fail
// the command unless `warningsOnly` (an add that skipped unreadable files
// still added the rest).
template <typename Request>
int RunChange(OpenedArchive& opened, const Request& request, bool warningsOnly) {
    engine::ZipEngine& zip = opened.engine;
    int failures = 0;
    zip.OnMessage = [&](int errCode, const std::string& text) {
        if (opened.host.TakeShown(text)) return;
        std::printf("%s\n", text.c_str());
        if (errCode != 0) ++failures;
    };
    const int errorsBefore = zip.ErrorsReported();
    {
        InterruptCancels cancels(zip);
        zip.Run(request);
    }
    std::fflush(stdout);
    if (zip.ErrorsReported() > errorsBefore || zip.SuccessCount() == 0) return kExitError;
    return failures > 0 && !warningsOnly ? kExitError : kExitOk;
}

// The method named on the command line.
std::optional<engine::AddMethodEnum> MethodNamed(const std::string& name) {
    static const std::pair<const char*, engine::AddMethodEnum> kMethods[] = {
        {"deflate", engine::AddMethodDeflate}, {"store", engine::AddMethodStore},
        {"bzip2", engine::AddMethodBzip2},     {"lzma", engine::AddMethodLzma},
        {"xz", engine::AddMethodXz},           {"zstd", engine::AddMethodZstd}};
    for (const auto& [text, method] : kMethods)
        if (name == text) return method;
    return std::nullopt;
}

}  // namespace

int AddCommand(const Args& args) {
    std::string archive;
    std::vector<std::string> paths, excludes;
    // Folders get entries of their own, as other zip tools store them.
    engine::AddOpts options{engine::AddDirNames, engine::AddSeparateDirs};
    std::string password;
    engine::AddEncryptionEnum encryption = engine::aeZipCrypto;
    bool encryptionChosen = false;
    int level = 9;
    engine::AddMethodEnum method = engine::AddMethodDeflate;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnd || a.empty() || a[0] != '-') {
            if (archive.empty())
                archive = a;
            else
                paths.push_back(a);
            continue;
        }
        auto next = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        if (a == "-l") {
            const std::string* v = next();
            if (!v || v->size() != 1 || (*v)[0] < '0' || (*v)[0] > '9')
                return UsageError("-l needs a level from 0 to 9");
            level = (*v)[0] - '0';
        } else if (a == "--method") {
            const std::string* v = next();
            const auto named = v ? MethodNamed(*v) : std::nullopt;
            if (!named)
                return UsageError("--method needs one of deflate, store, bzip2, lzma, xz, zstd");
            method = *named;
        } else if (a == "-p") {
            const std::string* v = next();
            if (!v || v->empty()) return UsageError("-p needs a password");
            password = *v;
        } else if (a == "-e") {
            const std::string* v = next();
            if (v && *v == "zipcrypto")
                encryption = engine::aeZipCrypto;
            else if (v && *v == "aes256")
                encryption = engine::aeAES256;
            else
                return UsageError("-e needs zipcrypto or aes256");
            encryptionChosen = true;
        } else if (a == "-x") {
            const std::string* v = next();
            if (!v) return UsageError("-x needs a pattern");
            excludes.push_back(*v);
        } else if (a == "--") {
            optionsEnd = true;
        } else if (a == "-r") {
            options.Include(engine::AddRecurseDirs);
        } else if (a == "-D") {
            options.Exclude(engine::AddSeparateDirs);
        } else if (a == "-y") {
            options.Include(engine::AddStoreLinks);
        } else if (a == "-j") {
            options.Exclude(engine::AddDirNames);
        } else if (a == "-u") {
            options.Include(engine::AddUpdate);
        } else if (a == "-f") {
            options.Include(engine::AddFreshen);
        } else if (a == "-m") {
            options.Include(engine::AddMove);
        } else {
            return UsageError("unknown option '" + a + "'");
        }
    }
    if (archive.empty() || paths.empty()) return UsageError("add needs an archive and files");
    // Without a password nothing is encrypted: a choice of encryption
    // would be quietly ignored.
    if (encryptionChosen && password.empty()) return UsageError("-e needs a password (-p)");

    auto opened = OpenForChange(archive);
    if (!opened) return kExitError;
    if (!password.empty()) options.Include(engine::AddEncrypt);
    engine::AddRequest request;
    request.archive = archive;
    request.excludes = excludes;
    request.level = level;
    request.method = method;
    request.options = options;
    request.encryption = encryption;
    request.password = password;
    // Paths from the command line are names of files, never add lines.
    for (const std::string& path : paths)
        request.sources.push_back({path, options.Has(engine::AddRecurseDirs), std::nullopt});
    return RunChange(*opened, request, true);
}

int DeleteCommand(const Args& args) {
    if (args.size() < 2) return UsageError("delete needs an archive and members");
    for (const auto& a : args) {
        if (!a.empty() && a[0] == '-') return UsageError("unknown option '" + a + "'");
        if (a.empty()) return UsageError("a member argument is empty");
    }
    auto opened = OpenArchive(args[0]);
    if (!opened) return kExitError;
    return RunChange(*opened, engine::DeleteRequest{args[0], {args.begin() + 1, args.end()}},
                     false);
}

int RenameCommand(const Args& args) {
    if (args.size() != 3) return UsageError("rename needs an archive, a member and its new name");
    if (args[1].empty() || args[2].empty()) return UsageError("a member name is empty");
    auto opened = OpenArchive(args[0]);
    if (!opened) return kExitError;
    return RunChange(*opened, engine::RenameRequest{args[0], {{args[1], args[2]}}}, false);
}

}  // namespace kelp::cli
