// Names written by DOS-era archivers are in the OEM code page (CP437); this
// platform names files in UTF-8. The engine lists such names converted, so
// the libraries match, report and create them converted too.
#pragma once

#include <string>

#include "zip_records.h"

namespace kelp::zip {

// CP437 bytes to UTF-8; ASCII comes back unchanged.
std::string OemToUtf8(const std::string& oem);

// True when a name from this central header is in the OEM code page: no
// UTF-8 flag, and written on FAT or HPFS, or on NTFS by version 5.0.
bool HasOemName(const CentralHeader& header);

}  // namespace kelp::zip
