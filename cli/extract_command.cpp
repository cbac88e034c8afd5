// kelpzip test ARCHIVE [-p PASSWORD] [-O CHARSET]
// kelpzip extract ARCHIVE [-d DIR] [-j] [-o|-n] [-p PASSWORD] [-O CHARSET] [MEMBER...]
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/open_archive.h"
#include "libs/include/kelp_lib_abi.h"

namespace kelp::cli {

namespace {

struct ExtractArgs {
    std::string archive;
    std::string folder;
    std::string password;
    std::string nameCharset;
    bool junkPaths = false;
    enum class Existing { Ask, Overwrite, Keep } existing = Existing::Ask;
    std::vector<std::string> members;
};

// Parses the arguments; returns an exit status when they are not usable.
std::optional<int> Parse(const Args& args, bool test, ExtractArgs& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        if (a == "-p") {
            const std::string* v = value();
            if (!v) return UsageError("-p needs a password");
            out.password = *v;
        } else if (a == "-O") {
            if (auto status = ReadNameCharset(value(), out.nameCharset)) return status;
        } else if (!test && a == "-d") {
            const std::string* v = value();
            if (!v) return UsageError("-d needs a folder");
            out.folder = *v;
        } else if (!test && a == "-j") {
            out.junkPaths = true;
        } else if (!test && a == "-o") {
            out.existing = ExtractArgs::Existing::Overwrite;
        } else if (!test && a == "-n") {
            out.existing = ExtractArgs::Existing::Keep;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option '" + a + "'");
        } else if (out.archive.empty()) {
            out.archive = a;
        } else if (test) {
            return UsageError("test takes one archive");
        } else if (a.empty()) {
            // An empty pattern would select nothing, or in older tools everything.
            return UsageError("a member argument is empty");
        } else {
            out.members.push_back(a);
        }
    }
    if (out.archive.empty())
        return UsageError(std::string(test ? "test" : "extract") + " needs an archive");
    return std::nullopt;
}

bool AskYesNo(const std::string& question) {
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

int Run(const Args& args, bool test) {
    ExtractArgs opts;
    if (auto status = Parse(args, test, opts)) return *status;
    auto opened = OpenArchive(opts.archive, opts.nameCharset);
    if (!opened) return kExitError;
    engine::ZipEngine& zip = opened->engine;
    const size_t members = zip.EntryCount();

    int failures = 0;
    int kept = 0;
    // Engine messages reach the terminal host (standard error) and then
    // OnMessage; the library's own lines go to standard output.
    // A library line with an error value, or a member skipped for any
    // reason but a kept file, means the command failed.
    zip.OnMessage = [&](int errCode, const std::string& text) {
        if (opened->host.TakeShown(text)) return;
        std::printf("%s\n", text.c_str());
        if (errCode != 0) ++failures;
    };
    zip.OnExtractSkipped = [&](const std::string&, uint8_t skipType, int) {
        if (skipType == KSKIP_OVERWRITE || skipType == KSKIP_FRESHEN)
            ++kept;
        else
            ++failures;
    };
    if (!test) {
        zip.OnExtractOverwrite = [&](const std::string& file, bool, bool& doOverwrite) {
            if (opts.existing == ExtractArgs::Existing::Ask && InputIsTerminal())
                doOverwrite = AskYesNo("replace " + file + "?");
            else
                doOverwrite = opts.existing == ExtractArgs::Existing::Overwrite;
        };
    }

    engine::ExtractRequest request;
    request.archive = opts.archive;
    request.password = opts.password;
    if (test) {
        request.options = {engine::ExtrTest, engine::ExtrDirNames};
    } else {
        std::string folder = opts.folder.empty() ? std::string(".") : opts.folder;
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (!std::filesystem::is_directory(folder, ec)) {
            std::fprintf(stderr, "kelpzip: %s: cannot create the folder\n", folder.c_str());
            return kExitError;
        }
        request.targetDir = folder;
        if (!opts.junkPaths) request.options.Include(engine::ExtrDirNames);
        if (opts.existing == ExtractArgs::Existing::Overwrite)
            request.options.Include(engine::ExtrOverWrite);
        request.members = opts.members;
    }

    const int errorsBefore = zip.ErrorsReported();
    {
        InterruptCancels cancels(zip);
        zip.Run(request);
    }

    const bool engineFailed = zip.ErrorsReported() > errorsBefore;
    // Nothing extracted and nothing deliberately kept: no member matched.
    const bool nothingDone = zip.SuccessCount() == 0 && kept == 0 && members > 0;
    return failures > 0 || engineFailed || nothingDone ? kExitError : kExitOk;
}

}  // namespace

int TestCommand(const Args& args) {
    return Run(args, true);
}
int ExtractCommand(const Args& args) {
    return Run(args, false);
}

}  // namespace kelp::cli
