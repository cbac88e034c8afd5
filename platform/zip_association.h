// Makes Kelp the user's program for ".zip" files the freedesktop way: a
// desktop entry in $XDG_DATA_HOME/applications and the application/zip
// default in $XDG_CONFIG_HOME/mimeapps.list. Unregistering removes exactly
// what registering wrote and leaves every other line alone.
#pragma once

#include <string>

namespace kelp::platform {

// The desktop entry's file name (its desktop id).
inline constexpr const char* kZipDesktopId = "kelp-archive-manager.desktop";

// $XDG_DATA_HOME/applications/ (default ~/.local/share/applications/).
std::string ApplicationsFolder();
// $XDG_CONFIG_HOME/mimeapps.list (default ~/.config/mimeapps.list).
std::string MimeAppsListPath();

// Writes the desktop entry that runs `programPath` with the archive and puts
// it first in the application/zip default. False when a file could not be
// written.
bool RegisterZipAssociation(const std::string& programPath);
// Removes the desktop entry and Kelp's id from the application/zip default
// (the whole line when no other id remains on it).
bool UnregisterZipAssociation();
// True when Kelp's id is the first application/zip default.
bool IsZipAssociated();

// Asks the desktop to rebuild its cache of desktop entries when the
// update-desktop-database tool exists; false when it is missing or failed.
bool RefreshDesktopDatabase();

// The program a desktop entry runs: the first word of its Exec key, found
// through PATH when it has no folder; empty when there is none.
std::string DesktopEntryProgram(const std::string& entryPath);

}  // namespace kelp::platform
