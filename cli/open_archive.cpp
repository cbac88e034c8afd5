#include "cli/open_archive.h"

#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "libs/zipcore/name_encoding.h"

namespace kelp::cli {

std::optional<int> ReadNameCharset(const std::string* value, std::string& charset) {
    if (!value) return UsageError("-O needs a character set");
    if (!kelp::zip::CharsetKnown(*value))
        return UsageError("unknown character set '" + *value + "'");
    charset = *value;
    return std::nullopt;
}

std::unique_ptr<OpenedArchive> OpenArchive(
    const std::string& path, const std::string& nameCharset,
    const std::function<void(int, const std::string&)>& onMessage) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::fprintf(stderr, "kelpzip: %s: no such archive\n", path.c_str());
        return nullptr;
    }
    auto opened = std::make_unique<OpenedArchive>();
    opened->engine.SetHostUi(&opened->host);
    opened->engine.OnMessage = onMessage;
    opened->engine.NameCharset = nameCharset;
    opened->engine.setZipFileName(path);
    if (opened->engine.ZipFileName().empty()) return nullptr;
    return opened;
}

}  // namespace kelp::cli
