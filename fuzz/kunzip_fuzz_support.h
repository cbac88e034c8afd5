// Shared by the decompression library's fuzz targets: wraps fuzzed bytes
// into a one-member archive on disk and runs the library over it.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "kelp_lib_abi.h"
#include "record_writer.h"

namespace kelp::fuzz_support {

struct CentralFields {
    uint16_t flags = 0, method = 0, dosTime = 0, dosDate = 0x5021;
    uint32_t crc = 0, packed = 0, unpacked = 0;
    uint32_t externalAttributes = 0;
    uint8_t host = 0;
    std::string name;
    std::vector<uint8_t> extra;  // the extra fields of both headers
};

// Appends a local header for the member, without its data.
inline void AppendLocal(std::vector<uint8_t>& zip, const CentralFields& f) {
    kelp::zip::LocalHeader h;
    h.versionNeeded = 20;
    h.flags = f.flags;
    h.method = f.method;
    h.dosTime = f.dosTime;
    h.dosDate = f.dosDate;
    h.crc = f.crc;
    h.packedSize = f.packed;
    h.unpackedSize = f.unpacked;
    h.nameLength = static_cast<uint16_t>(f.name.size());
    h.extraLength = static_cast<uint16_t>(f.extra.size());
    kelp::zip::AppendLocalHeader(zip, h);
    kelp::zip::AppendBytes(zip, f.name);
    kelp::zip::AppendBytes(zip, std::span<const uint8_t>(f.extra));
}

// Appends a central directory with one entry for a member at offset 0,
// and the end record.
inline void AppendDirectory(std::vector<uint8_t>& zip, const CentralFields& f) {
    const uint32_t centralOffset = static_cast<uint32_t>(zip.size());
    kelp::zip::CentralHeader h;
    h.versionMadeBy = 20;
    h.hostSystem = f.host;
    h.versionNeeded = 20;
    h.flags = f.flags;
    h.method = f.method;
    h.dosTime = f.dosTime;
    h.dosDate = f.dosDate;
    h.crc = f.crc;
    h.packedSize = f.packed;
    h.unpackedSize = f.unpacked;
    h.nameLength = static_cast<uint16_t>(f.name.size());
    h.externalAttributes = f.externalAttributes;
    h.extraLength = static_cast<uint16_t>(f.extra.size());
    kelp::zip::AppendCentralHeader(zip, h);
    kelp::zip::AppendBytes(zip, f.name);
    kelp::zip::AppendBytes(zip, std::span<const uint8_t>(f.extra));
    kelp::zip::Eocd e;
    e.entriesOnDisk = e.totalEntries = 1;
    e.centralSize = static_cast<uint32_t>(zip.size()) - centralOffset;
    e.centralOffset = centralOffset;
    kelp::zip::AppendEocd(zip, e);
}

// A private scratch folder for this process, in memory when possible,
// removed when the process ends.
inline const std::string& Scratch() {
    static const struct Folder {
        std::string path;
        Folder() {
            std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
            path = base + "/kelp-fuzz-" + std::to_string(getpid());
            std::filesystem::create_directories(path);
        }
        ~Folder() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } folder;
    return folder.path;
}

inline int32_t AnswerNothing(KCallbackRecord* record) {
    // A wrong password once, so the retry path runs too.
    if (record->Action == KCB_PASSWORD) {
        record->Text[0] = 'x';
        record->Text[1] = '\0';
        record->Number1 = 1;
    }
    return 0;
}

// Runs the library once over the archive.
inline int32_t RunUnzip(const std::string& archive, bool test, const char* password,
                        uint8_t* memory = nullptr, uint32_t memorySize = 0) {
    KUnzipParams block{};
    block.Callback = AnswerNothing;
    block.CallerVersion = KELP_CALLER_VERSION;
    block.PasswordText = const_cast<char*>(password);
    block.TestOn = test ? KELP_TRUE : 0;
    block.DirNamesOn = KELP_TRUE;
    block.OverwriteOn = KELP_TRUE;
    block.ArchiveNameText = const_cast<char*>(archive.c_str());
    block.ToMemory = memory ? KELP_TRUE : 0;
    block.MemoryAddress = memory;
    block.MemorySize = memorySize;
    block.PasswordTries = 2;
    block.EndMarker = KELP_END_MARKER;
    return KUnzipExec(&block);
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace kelp::fuzz_support
