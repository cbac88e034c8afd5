#include "engine/param_blocks.h"

#include <algorithm>

namespace engine {

char* ParamStrings::Copy(const std::string& text) {
    texts_.push_back(text);
    return texts_.back().data();
}

UnzipParamBlock::UnzipParamBlock(int version) {
    if (version < KUNZIP_CURRENT_LAYOUT_VERSION) old_ = std::make_unique<KUnzipParamsOld>();
}

int UnzipParamBlock::SetSpecs(const std::vector<std::string>& specs) {
    if (old_) {
        const size_t count = std::min<size_t>(specs.size(), KELP_OLD_SPEC_SLOTS);
        for (size_t i = 0; i < count; ++i) old_->SpecTexts[i] = strings.Copy(specs[i]);
        old_->SpecCount = static_cast<int32_t>(count);
        return old_->SpecCount;
    }
    specs_.assign(specs.size(), KUnzipSpec{});
    for (size_t i = 0; i < specs.size(); ++i) specs_[i].SpecText = strings.Copy(specs[i]);
    current_.SpecTable = specs_.empty() ? nullptr : specs_.data();
    current_.SpecCount = static_cast<int32_t>(specs.size());
    return current_.SpecCount;
}

void UnzipParamBlock::SetEndMarker() {
    Common([](auto& b) { b.EndMarker = KELP_END_MARKER; });
}

ZipSpecLine ParseZipSpecLine(const std::string& line) {
    ZipSpecLine spec;
    std::string rest = line;
    if (!rest.empty() && rest[0] == '>') {
        spec.recurse = 1;
        rest.erase(0, 1);
    } else if (!rest.empty() && rest[0] == '|') {
        spec.recurse = 0;
        rest.erase(0, 1);
    }
    if (const size_t lt = rest.find('<'); lt != std::string::npos) {
        spec.password = rest.substr(lt + 1);
        spec.hasOwnPassword = !spec.password.empty();
        spec.noPassword = spec.password.empty();
        rest.erase(lt);
    }
    spec.text = rest;
    return spec;
}

ZipParamBlock::ZipParamBlock(int version) {
    if (version < KZIP_CURRENT_LAYOUT_VERSION) old_ = std::make_unique<KZipParamsOld>();
}

int ZipParamBlock::SetSpecs(const std::vector<std::string>& lines, bool parse) {
    if (old_) {
        const size_t count = std::min<size_t>(lines.size(), KELP_OLD_SPEC_SLOTS);
        for (size_t i = 0; i < count; ++i) old_->SpecTexts[i] = strings.Copy(lines[i]);
        old_->SpecCount = static_cast<int32_t>(count);
        return old_->SpecCount;
    }
    specs_.assign(lines.size(), KZipSpec{});
    for (size_t i = 0; i < lines.size(); ++i) {
        KZipSpec& spec = specs_[i];
        if (!parse) {
            spec.SpecText = strings.Copy(lines[i]);
            continue;
        }
        const ZipSpecLine line = ParseZipSpecLine(lines[i]);
        spec.SpecRecurse = line.recurse < 0 ? current_.RecurseOn
                                            : static_cast<KBool16>(line.recurse ? -1 : 0);
        spec.SpecEncrypt = current_.EncryptOn;
        if (current_.PasswordText) spec.SpecPassword = strings.Copy(current_.PasswordText);
        if (line.hasOwnPassword) {
            spec.SpecPassword = strings.Copy(line.password);
            spec.SpecEncrypt = 0xFFFF;
        } else if (line.noPassword) {
            spec.SpecPassword = nullptr;
            spec.SpecEncrypt = 0;
        }
        spec.SpecText = strings.Copy(line.text);
    }
    current_.SpecTable = specs_.empty() ? nullptr : specs_.data();
    current_.SpecCount = static_cast<int32_t>(lines.size());
    return current_.SpecCount;
}

void ZipParamBlock::SetExcludes(const std::vector<std::string>& patterns) {
    if (old_ || patterns.empty()) return;
    excludes_.clear();
    for (const auto& p : patterns) excludes_.push_back(strings.Copy(p));
    current_.ExcludeTable = excludes_.data();
    current_.ExcludeCount = static_cast<int32_t>(excludes_.size());
}

void ZipParamBlock::SetEndMarker() {
    Common([](auto& b) { b.EndMarker = KELP_END_MARKER; });
}

}  // namespace engine
