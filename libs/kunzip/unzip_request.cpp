#include "unzip_request.h"

#include <cstring>

namespace kelp::kunzip {
namespace {

bool On(KBool32 value) {
    return value != 0;
}

std::string Text(const char* p) {
    return p ? std::string(p) : std::string();
}

// Fields both layouts share.
template <typename Block>
void ReadCommon(const Block& b, UnzipRequest& r) {
    r.callback = b.Callback;
    r.engineRef = b.EngineRef;
    r.password = Text(b.PasswordText);
    r.test = On(b.TestOn);
    r.verbose = On(b.VerboseOn) || On(b.TraceOn);
    r.update = On(b.UpdateOn);
    r.freshen = On(b.FreshenOn) && !r.update;
    r.dirNames = On(b.DirNamesOn);
    r.overwrite = On(b.OverwriteOn);
    r.archive = Text(b.ArchiveNameText);
}

}  // namespace

std::optional<UnzipRequest> ReadRequest(const void* block) {
    if (!block) return std::nullopt;
    UnzipRequest r;
    // Both layouts agree up to the specification table; the old layout puts
    // its end marker there.
    int32_t oldMarker;
    std::memcpy(&oldMarker,
                static_cast<const uint8_t*>(block) + offsetof(KUnzipParamsOld, EndMarker),
                sizeof(oldMarker));
    if (oldMarker == KELP_END_MARKER) {
        const auto& b = *static_cast<const KUnzipParamsOld*>(block);
        ReadCommon(b, r);
        int32_t count = b.SpecCount;
        if (count < 0 || count > KELP_OLD_SPEC_SLOTS) return std::nullopt;
        for (int32_t i = 0; i < count; ++i)
            if (b.SpecTexts[i] && *b.SpecTexts[i]) r.specs.emplace_back(b.SpecTexts[i]);
        // Old callers cannot say how often to ask for a password: ask once.
        r.passwordTries = 1;
        return r;
    }
    const auto& b = *static_cast<const KUnzipParams*>(block);
    if (b.EndMarker != KELP_END_MARKER) return std::nullopt;
    ReadCommon(b, r);
    if (b.SpecCount < 0 || (b.SpecCount > 0 && !b.SpecTable)) return std::nullopt;
    for (int32_t i = 0; i < b.SpecCount; ++i) {
        const char* spec = b.SpecTable[i].SpecText;
        if (spec && *spec) r.specs.emplace_back(spec);
    }
    r.toMemory = On(b.ToMemory);
    r.memory = b.MemoryAddress;
    r.memorySize = b.MemorySize;
    r.targetDir = Text(b.TargetDirText);
    r.passwordTries = b.PasswordTries < 0 ? 0 : (b.PasswordTries > 15 ? 15 : b.PasswordTries);
    r.exactNames = On(b.ExactNames);
    r.check = r.test && On(b.CheckOn);
    r.nameCharset = Text(b.NameCharsetText);
    if (r.test) r.repairTarget = Text(b.RepairTargetText);
    r.loan = b.DirectoryLoan;
    return r;
}

}  // namespace kelp::kunzip
