#include "cli/open_archive.h"

#include <cstdio>
#include <filesystem>

namespace cli {

std::unique_ptr<OpenedArchive> OpenArchive(const std::string& path,
                                           const std::function<void(int, const std::string&)>& onMessage) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::fprintf(stderr, "kelpzip: %s: no such archive\n", path.c_str());
        return nullptr;
    }
    auto opened = std::make_unique<OpenedArchive>();
    opened->engine.SetHostUi(&opened->host);
    opened->engine.OnMessage = onMessage;
    opened->engine.setZipFileName(path);
    if (opened->engine.ZipFileName().empty()) return nullptr;
    return opened;
}

}  // namespace cli
