// One member of an archive as its central directory describes it.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// Fields run from the widest to the narrowest, so that a directory of
// 100 000 members carries no padding between them.
struct ZipDirEntry {
    uint64_t PackedSize = 0;  // from the ZIP64 extra field when the header's is full
    uint64_t UnpackedSize = 0;
    uint64_t LocalHeaderOffset = 0;  // as stored, not corrected for a prefix
    std::string MemberName;     // converted name (or the Unicode path field's); folders end in "/"
    std::string MemberComment;  // converted comment, empty if none
    uint32_t DosDateTime = 0;   // DOS time in the low word, DOS date in the high word
    uint32_t Crc = 0;
    uint32_t DiskStart = 0;
    uint32_t ExternalAttributes = 0;
    uint16_t VersionNeeded = 0;
    uint16_t GeneralFlags = 0;  // bit 0 encrypted, bit 3 data descriptor, bit 11 UTF-8
    uint16_t Method = 0;        // 0 stored, 8 deflated, ..., 99 AES
    // The method the data was compressed with: Method, or for an AES member
    // the one its AES field names.
    uint16_t DataMethod = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
    uint16_t CommentLength = 0;
    uint16_t InternalAttributes = 0;
    uint8_t VersionMadeBy = 0;  // specification version times ten
    uint8_t HostSystem = 0;     // 0 FAT, 3 Unix, 6 HPFS, 11 NTFS, ...
    uint8_t AesStrength = 0;    // 1, 2, 3 for AES-128, -192, -256; 0 when not AES
    bool IsEncrypted = false;
};

}  // namespace engine
