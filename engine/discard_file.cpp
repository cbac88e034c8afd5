// Removing a file the engine replaces: into the trash, so that the user can
// get it back, or deleted for good, as HowToDelete says.
#include <filesystem>

#include "engine/zip_engine.h"
#include "platform/trash.h"

namespace kelp::engine {

bool ZipEngine::DiscardFile(const std::string& path) {
    std::error_code ec;
    // A name without a folder is taken in the current folder, as any
    // relative path is.
    if (path.empty() || !std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
        return false;
    if (HowToDelete == htdAllowUndo) return platform::MoveToTrash(path);
    return std::filesystem::remove(path, ec);
}

}  // namespace kelp::engine
