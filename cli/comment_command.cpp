// kelpzip comment ARCHIVE [--set TEXT]
#include <cstdio>

#include "cli/commands.h"
#include "cli/open_archive.h"

namespace kelp::cli {

int CommentCommand(const Args& args) {
    std::string archive;
    std::string text;
    bool set = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--set") {
            if (i + 1 >= args.size()) return UsageError("--set needs a text");
            set = true;
            text = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            return UsageError("unknown option '" + args[i] + "'");
        } else if (archive.empty()) {
            archive = args[i];
        } else {
            return UsageError("comment takes one archive");
        }
    }
    if (archive.empty()) return UsageError("comment needs an archive");
    auto opened = OpenArchive(archive);
    if (!opened) return kExitError;
    engine::ZipEngine& engine = opened->engine;
    if (set) {
        engine.Run(engine::CommentRequest{archive, text});
    } else {
        const std::string comment = engine.ArchiveComment();
        if (!comment.empty()) std::printf("%s\n", comment.c_str());
    }
    return engine.ErrorsReported() > 0 ? kExitError : kExitOk;
}

}  // namespace kelp::cli
