#include "engine/param_blocks.h"

#include <algorithm>

#include "engine/zip_engine.h"
#include "libs/zipcore/add_spec_line.h"

namespace kelp::engine {

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

ZipParamBlock::ZipParamBlock(int version) {
    if (version < KZIP_CURRENT_LAYOUT_VERSION) old_ = std::make_unique<KZipParamsOld>();
}

int ZipParamBlock::SetSpecs(const std::vector<std::string>& lines) {
    if (old_) {
        const size_t count = std::min<size_t>(lines.size(), KELP_OLD_SPEC_SLOTS);
        for (size_t i = 0; i < count; ++i) old_->SpecTexts[i] = strings.Copy(lines[i]);
        old_->SpecCount = static_cast<int32_t>(count);
        return old_->SpecCount;
    }
    specs_.assign(lines.size(), KZipSpec{});
    for (size_t i = 0; i < lines.size(); ++i) specs_[i].SpecText = strings.Copy(lines[i]);
    current_.SpecTable = specs_.empty() ? nullptr : specs_.data();
    current_.SpecCount = static_cast<int32_t>(lines.size());
    return current_.SpecCount;
}

int ZipParamBlock::SetAddSpecs(const std::vector<std::string>& lines,
                               const std::vector<AddSource>& sources) {
    using Password = kelp::zip::AddSpecLine::Password;
    std::vector<kelp::zip::AddSpecLine> specs;
    for (const std::string& line : lines) specs.push_back(kelp::zip::ParseAddSpecLine(line));
    for (const AddSource& source : sources) {
        kelp::zip::AddSpecLine spec;
        spec.path = source.path;
        spec.recurse = source.recurse ? 1 : 0;
        if (source.password) {
            spec.passwordKind = source.password->empty() ? Password::None : Password::Own;
            spec.password = *source.password;
        }
        specs.push_back(std::move(spec));
    }
    if (old_) {
        std::vector<std::string> texts(lines);
        for (size_t i = lines.size(); i < specs.size(); ++i)
            texts.push_back(kelp::zip::FormatAddSpecLine(specs[i]));
        return SetSpecs(texts);
    }
    specs_.assign(specs.size(), KZipSpec{});
    for (size_t i = 0; i < specs.size(); ++i) {
        const kelp::zip::AddSpecLine& line = specs[i];
        KZipSpec& spec = specs_[i];
        spec.SpecText = strings.Copy(line.path);
        spec.SpecRecurse =
            line.recurse < 0 ? current_.RecurseOn : static_cast<KBool16>(line.recurse ? -1 : 0);
        spec.SpecEncrypt = current_.EncryptOn;
        if (current_.PasswordText) spec.SpecPassword = strings.Copy(current_.PasswordText);
        if (line.passwordKind == Password::Own) {
            spec.SpecPassword = strings.Copy(line.password);
            spec.SpecEncrypt = 0xFFFF;
        } else if (line.passwordKind == Password::None) {
            spec.SpecPassword = nullptr;
            spec.SpecEncrypt = 0;
        }
    }
    current_.SpecTable = specs_.empty() ? nullptr : specs_.data();
    current_.SpecCount = static_cast<int32_t>(specs.size());
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

}  // namespace kelp::engine
