// kelpzip span ARCHIVE.zip TARGET.zip --volume-size N [--keep-free N]
#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/open_archive.h"

namespace kelp::cli {

namespace {

bool ParseSize(const std::string& text, int64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 15)
        return false;
    value = std::stoll(text);
    return true;
}

}  // namespace

int SpanCommand(const Args& args) {
    std::string archive, target;
    int64_t volumeSize = 0, keepFree = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--volume-size" || a == "--keep-free") {
            int64_t& value = a == "--volume-size" ? volumeSize : keepFree;
            if (i + 1 >= args.size() || !ParseSize(args[++i], value))
                return UsageError(a + " needs a number of bytes");
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option '" + a + "'");
        } else if (archive.empty()) {
            archive = a;
        } else if (target.empty()) {
            target = a;
        } else {
            return UsageError("span takes an archive and a target");
        }
    }
    if (target.empty()) return UsageError("span needs an archive and a target");
    if (volumeSize <= 0) return UsageError("span needs --volume-size");
    if (keepFree >= volumeSize) return UsageError("--keep-free must be below --volume-size");

    auto opened = OpenArchive(archive);
    if (!opened) return kExitError;
    engine::ZipEngine& zip = opened->engine;
    engine::SpanRequest request{archive, target, {volumeSize, keepFree}};
    // A part never needs more room than the smallest part allowed.
    request.volumes.minFreeVolumeSize =
        std::min(request.volumes.minFreeVolumeSize, volumeSize - keepFree);
    zip.OnMessage = [&](int, const std::string& text) {
        if (!opened->host.TakeShown(text)) std::printf("%s\n", text.c_str());
    };
    int result;
    {
        InterruptCancels cancels(zip);
        result = zip.Run(request);
    }
    if (result == 0) {
        for (int part = 0; part <= zip.CurrentDisk(); ++part)
            std::printf("%s\n", engine::SpanPartName(target, part).c_str());
    }
    return result == 0 ? kExitOk : kExitError;
}

}  // namespace kelp::cli
