// Names written by DOS-era archivers are in the OEM code page (CP437); this
// platform names files in UTF-8. The one rule for which names are OEM lives
// here; the conversion itself is kelp::platform::OemToAnsi / AnsiToOem.
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

// How names and comments are converted between the OEM and ANSI character sets.
enum CodePageOpts { cpAuto, cpNone, cpOEM };

// Whether names and comments of a central header from `host` written by
// `version` are in the OEM code page: cpOEM says always, cpAuto for OEM
// hosts, cpNone for OEM hosts but FAT. Under cpAuto and cpOEM every name
// that is not UTF-8 is decoded from the archive's code page.
bool NamesAreOem(CodePageOpts codePage, uint8_t host, uint8_t version);

}  // namespace kelp::zip
