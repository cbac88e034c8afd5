#include "zip_request.h"

#include <cstring>

#include "add_spec_line.h"
#include "method_encoders.h"
#include "zip_records.h"

namespace kelp::kzip {
namespace {

bool On(int32_t value) {
    return value != 0;
}

std::string Text(const char* p) {
    return p ? std::string(p) : std::string();
}

std::vector<std::string> SplitSuffixes(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) out.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// Fields both layouts share.
template <typename Block>
void ReadCommon(const Block& b, ZipRequest& r) {
    r.callback = b.Callback;
    r.engineRef = b.EngineRef;
    r.verbose = On(b.VerboseOn) || On(b.TraceOn);
    r.password = Text(b.PasswordText);
    r.storeSuffixes = SplitSuffixes(Text(b.StoreSuffixes));
    r.systemFiles = On(b.SystemFilesOn);
    r.skipDirEntries = On(b.SkipDirEntries);
    r.level = b.CompressionLevel < 0 ? 0 : (b.CompressionLevel > 9 ? 9 : b.CompressionLevel);
    r.dropPaths = On(b.DropPaths);
    r.forceDos = On(b.ForceDosOn);
    r.deleteMode = On(b.DeleteMode);
    // Deleting ignores the adding switches, whatever the block says.
    r.move = !r.deleteMode && On(b.MoveOn);
    r.update = !r.deleteMode && On(b.UpdateOn);
    r.freshen = !r.deleteMode && On(b.FreshenOn) && !r.update;
    r.archiveTime = On(b.ArchiveTimeOn);
    r.archive = Text(b.ArchiveNameText);
}

// A line of the old layout, which carries its prefix and password part
// unparsed.
SpecLine FromLine(const std::string& text, bool recurse, bool encrypt) {
    zip::AddSpecLine parsed = zip::ParseAddSpecLine(text);
    SpecLine spec{parsed.path, parsed.recurse < 0 ? recurse : parsed.recurse == 1, encrypt, {}};
    if (parsed.passwordKind == zip::AddSpecLine::Password::Own) {
        spec.encrypt = true;
        spec.password = parsed.password;
    } else if (parsed.passwordKind == zip::AddSpecLine::Password::None) {
        spec.encrypt = false;
    }
    return spec;
}

}  // namespace

std::optional<ZipRequest> ReadRequest(const void* block) {
    if (!block) return std::nullopt;
    ZipRequest r;
    // Both layouts agree up to the archive name; the old layout puts its
    // end marker right after it.
    int32_t oldMarker;
    std::memcpy(&oldMarker, static_cast<const uint8_t*>(block) + offsetof(KZipParamsOld, EndMarker),
                sizeof(oldMarker));
    if (oldMarker == KELP_END_MARKER) {
        const auto& b = *static_cast<const KZipParamsOld*>(block);
        ReadCommon(b, r);
        if (b.SpecCount < 0 || b.SpecCount > KELP_OLD_SPEC_SLOTS) return std::nullopt;
        for (int32_t i = 0; i < b.SpecCount; ++i) {
            if (!b.SpecTexts[i] || !*b.SpecTexts[i]) continue;
            if (r.deleteMode)
                r.specs.push_back({b.SpecTexts[i], false, false, {}});
            else
                r.specs.push_back(FromLine(b.SpecTexts[i], b.RecurseOn != 0, On(b.EncryptOn)));
        }
        return r;
    }
    const auto& b = *static_cast<const KZipParams*>(block);
    if (b.EndMarker != KELP_END_MARKER) return std::nullopt;
    ReadCommon(b, r);
    r.tempDir = Text(b.TempDirText);
    r.storeLinks = On(b.StoreLinks);
    r.nameCharset = Text(b.NameCharsetText);
    r.encryption = b.Encryption;
    r.exactNames = r.deleteMode && On(b.ExactNames);
    r.loan = b.DirectoryLoan;
    if (b.RenameCount < 0 || (b.RenameCount > 0 && !b.RenameTable)) return std::nullopt;
    for (int32_t i = 0; i < b.RenameCount; ++i)
        r.renames.emplace_back(Text(b.RenameTable[2 * i]), Text(b.RenameTable[2 * i + 1]));
    // A method this library does not know makes the block unusable.
    const std::optional<uint16_t> method = ZipMethodOf(b.Method);
    if (!method) return std::nullopt;
    if (*method == zip::kMethodStored)
        r.level = 0;
    else
        r.method = *method;
    if (b.CommentText) r.comment = b.CommentText;
    if (b.SpecCount < 0 || (b.SpecCount > 0 && !b.SpecTable)) return std::nullopt;
    for (int32_t i = 0; i < b.SpecCount; ++i) {
        const KZipSpec& s = b.SpecTable[i];
        if (!s.SpecText || !*s.SpecText) continue;
        SpecLine line;
        line.text = s.SpecText;
        if (!r.deleteMode) {
            line.recurse = s.SpecRecurse != 0;
            line.encrypt = On(s.SpecEncrypt);
            line.password = Text(s.SpecPassword);
        }
        r.specs.push_back(std::move(line));
    }
    if (b.ExcludeCount < 0 || (b.ExcludeCount > 0 && !b.ExcludeTable)) return std::nullopt;
    for (int32_t i = 0; i < b.ExcludeCount; ++i)
        if (b.ExcludeTable[i] && *b.ExcludeTable[i]) r.excludes.emplace_back(b.ExcludeTable[i]);
    return r;
}

}  // namespace kelp::kzip
