// Drives as the archive engine sees them. On this platform a local folder is a
// fixed drive: its "root" is the folder itself (ending in "/"), it has no
// volume label, and its space is that of the file system holding it.
#pragma once

#include <cstdint>
#include <string>

namespace kelp::platform {

enum class DriveType { Unknown, Removable, Fixed, Remote };

// The folder that holds `path`, made absolute, ending in "/".
std::string DriveRoot(const std::string& path);

// True when `root` names an existing folder.
bool DriveExists(const std::string& root);

// Drive type of a folder: Remote for network file systems, else Fixed;
// Unknown when the folder does not exist.
DriveType TypeOfDrive(const std::string& root);

// Bytes available to the caller and total bytes of the file system holding
// `root`; false (both -1) when the system cannot tell.
bool QuerySpace(const std::string& root, int64_t& freeBytes, int64_t& totalBytes);

}  // namespace kelp::platform
