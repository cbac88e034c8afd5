#include "oem_names.h"

namespace kelp::zip {

bool IsOemHost(uint8_t hostSystem, uint8_t versionMadeBy) {
    return hostSystem == kHostFat || hostSystem == kHostHpfs ||
           (hostSystem == kHostNtfs && versionMadeBy == 50);
}

bool HasOemName(const CentralHeader& header) {
    return !(header.flags & kFlagUtf8) && IsOemHost(header.hostSystem, header.versionMadeBy);
}

bool NamesAreOem(CodePageOpts codePage, uint8_t host, uint8_t version) {
    return codePage == cpOEM ||
           (IsOemHost(host, version) && (codePage != cpNone || host != kHostFat));
}

}  // namespace kelp::zip
