// The user's trash as desktops on this platform share it: a file moved into
// $XDG_DATA_HOME/Trash/files (default ~/.local/share/Trash) with a matching
// info/NAME.trashinfo that records where it came from and when, so that a
// file manager can put it back.
#pragma once

#include <string>

namespace kelp::platform {

// The home trash folder, with a trailing "/".
std::string TrashFolder();

// Moves the file at `path` into the trash. False, with the file left where
// it was, when that cannot be done. `origin`, when given, is recorded as the
// place it came from and goes back to (a copy kept of a file since replaced).
bool MoveToTrash(const std::string& path, const std::string& origin = {});

}  // namespace kelp::platform
