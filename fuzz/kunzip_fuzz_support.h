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

namespace fuzz_support {

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

struct CentralFields {
    uint16_t flags = 0, method = 0, dosTime = 0, dosDate = 0x5021;
    uint32_t crc = 0, packed = 0, unpacked = 0;
    uint32_t externalAttributes = 0;
    uint8_t host = 0;
    std::string name;
};

// Appends a central directory with one entry for a member at offset 0,
// and the end record.
inline void AppendDirectory(std::vector<uint8_t>& zip, const CentralFields& f) {
    uint32_t centralOffset = static_cast<uint32_t>(zip.size());
    Put32(zip, 0x02014B50);
    zip.push_back(20);
    zip.push_back(f.host);
    Put16(zip, 20);
    Put16(zip, f.flags);
    Put16(zip, f.method);
    Put16(zip, f.dosTime);
    Put16(zip, f.dosDate);
    Put32(zip, f.crc);
    Put32(zip, f.packed);
    Put32(zip, f.unpacked);
    Put16(zip, static_cast<uint32_t>(f.name.size()));
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, 0);
    Put32(zip, f.externalAttributes);
    Put32(zip, 0);
    zip.insert(zip.end(), f.name.begin(), f.name.end());
    uint32_t centralSize = static_cast<uint32_t>(zip.size()) - centralOffset;
    Put32(zip, 0x06054B50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, 1);
    Put16(zip, 1);
    Put32(zip, centralSize);
    Put32(zip, centralOffset);
    Put16(zip, 0);
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

}  // namespace fuzz_support
