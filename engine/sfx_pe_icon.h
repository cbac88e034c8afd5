// The icon image inside a Windows program used as self-extractor stub: the
// 32 x 32, 16-colour image of icon resource 1, which the archive's icon
// replaces. Every offset read from the program is checked against it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kelp::engine {

// The one image size that fits the stub's slot, and the icon file that
// carries exactly one such image.
constexpr size_t kStubIconImageSize = 744;
constexpr size_t kStubIconFileSize = 22 + kStubIconImageSize;

// True when `program` starts like a Windows program ("MZ"); other stubs (the
// ELF program of this platform) carry no icon to replace.
bool IsWindowsProgram(const std::string& program);

// The file offset of the 744-byte image of icon resource 1 (any language)
// in `program`, or nothing when the program has no such image, is not a
// PE file, or its resource directory points outside its section.
std::optional<size_t> FindStubIconImage(const std::string& program);

// True when `iconFile` is an icon file of one 744-byte image.
bool IsStubIconFile(const std::string& iconFile);

// An icon file holding `image` (a 744-byte, 32 x 32, 16-colour image).
std::string StubIconFile(const std::string& image);

}  // namespace kelp::engine
