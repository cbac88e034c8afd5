// Well-known folders of the user and the process. Every folder is returned
// with a trailing "/" so that a file name can be appended directly.
#pragma once

#include <string>

namespace kelp::platform {

// $TMPDIR when set and non-empty, else "/tmp/".
std::string TempFolder();
// $HOME, else the password database's home folder, else "/".
std::string HomeFolder();
// The XDG desktop folder ($XDG_DESKTOP_DIR or the user-dirs file), or the home
// folder when no desktop folder exists.
std::string DesktopFolder();
// The process's current folder.
std::string CurrentFolder();

// Adds a "/" to a non-empty path that does not end in one.
std::string WithTrailingSlash(std::string path);

}  // namespace kelp::platform
