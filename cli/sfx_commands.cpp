// kelpzip makeexe ARCHIVE.zip [--caption T] [--dir D] [--message M]
//                 [--command C] [--stub PATH]
// kelpzip makezip ARCHIVE.exe
// Turn an archive into a self-extracting program and back. Both print the
// conversion's result code; the replaced file goes to the trash.
#include <cstdio>

#include "cli/commands.h"
#include "cli/open_archive.h"

namespace kelp::cli {

namespace {

int Report(int code) {
    std::printf("result code: %d\n", code);
    return code == 0 ? kExitOk : kExitError;
}

}  // namespace

int MakeExeCommand(const Args& args) {
    std::string archive;
    std::string caption, dir, message, command, stub;
    bool hasCaption = false, hasDir = false, hasMessage = false, hasCommand = false,
         hasStub = false;
    struct Option {
        const char* name;
        std::string* value;
        bool* given;
    };
    const Option options[] = {{"--caption", &caption, &hasCaption},
                              {"--dir", &dir, &hasDir},
                              {"--message", &message, &hasMessage},
                              {"--command", &command, &hasCommand},
                              {"--stub", &stub, &hasStub}};
    for (size_t i = 0; i < args.size(); ++i) {
        const Option* option = nullptr;
        for (const Option& o : options) {
            if (args[i] == o.name) option = &o;
        }
        if (option) {
            if (i + 1 >= args.size())
                return UsageError(std::string(option->name) + " needs a value");
            *option->value = args[++i];
            *option->given = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return UsageError("unknown option '" + args[i] + "'");
        } else if (archive.empty()) {
            archive = args[i];
        } else {
            return UsageError("makeexe takes one archive");
        }
    }
    if (archive.empty()) return UsageError("makeexe needs an archive");
    auto opened = OpenArchive(archive);
    if (!opened) return kExitError;
    engine::SfxRequest request;
    request.archive = archive;
    if (hasCaption) request.settings.caption = caption;
    if (hasDir) request.settings.defaultDir = dir;
    if (hasMessage) request.settings.message = message;
    if (hasCommand) {
        request.settings.commandLine = command;
        request.settings.options.Include(engine::SFXAutoRun);
    }
    if (hasStub) request.stubPath = stub;
    return Report(opened->engine.Run(request));
}

int MakeZipCommand(const Args& args) {
    if (args.size() != 1 || (!args[0].empty() && args[0][0] == '-'))
        return UsageError("makezip takes one program");
    auto opened = OpenArchive(args[0]);
    if (!opened) return kExitError;
    return Report(opened->engine.Run(engine::SfxToZipRequest{args[0]}));
}

}  // namespace kelp::cli
