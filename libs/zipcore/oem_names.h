// Names written by DOS-era archivers are in the OEM code page (CP437); this
// platform names files in UTF-8. The one rule for which names are OEM lives
// here; the conversion itself is platform::OemToAnsi / AnsiToOem.
#pragma once

#include <cstdint>

#include "zip_records.h"

namespace kelp::zip {

constexpr uint8_t kHostFat = 0;
constexpr uint8_t kHostHpfs = 6;
constexpr uint8_t kHostNtfs = 11;

// True when names from this host system and "version made by" are in the
// OEM code page: FAT and HPFS, and NTFS as written by version 5.0.
bool IsOemHost(uint8_t hostSystem, uint8_t versionMadeBy);

// True when the name of this central header is in the OEM code page: no
// UTF-8 flag, and an OEM host.
bool HasOemName(const CentralHeader& header);

}  // namespace kelp::zip
