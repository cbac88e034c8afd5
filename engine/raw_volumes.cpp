#include "engine/raw_volumes.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "engine/archive_file.h"
#include "engine/ezip_engine.h"

namespace kelp::engine {

namespace fs = std::filesystem;

namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

void Append(ArchiveFile& out, const std::string& volume) {
    ArchiveFile in;
    if (!in.Open(volume, ArchiveFile::Mode::Read)) throw EZipEngine(MsgId::SetPartMissing, volume);
    std::vector<unsigned char> block(1 << 20);
    for (;;) {
        const size_t got = in.Read(block.data(), block.size());
        if (got == 0) break;
        if (out.Write(block.data(), got) != got) throw EZipEngine(MsgId::OutputWriteError, true);
    }
}

}  // namespace

bool IsRawVolumeName(const std::string& path) {
    // "name.zip.001": a number of three digits or more behind a name that
    // has an extension of its own, so that "backup.2024" stays one file.
    const fs::path p(path);
    const std::string ext = p.extension().string();
    return ext.size() >= 4 && AllDigits(ext.substr(1)) && !p.stem().extension().empty();
}

std::vector<std::string> RawVolumeFiles(const std::string& path) {
    const fs::path given(path);
    const std::string base = given.stem().string();  // name.zip
    const size_t width = given.extension().string().size() - 1;
    fs::path folder = given.parent_path();
    if (folder.empty()) folder = ".";
    // The highest number present tells how many volumes there are.
    unsigned long highest = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const fs::path name = entry.path().filename();
        const std::string ext = name.extension().string();
        if (name.stem().string() == base && ext.size() == width + 1 && AllDigits(ext.substr(1)))
            highest = std::max(highest, std::stoul(ext.substr(1)));
    }
    std::vector<std::string> files;
    for (unsigned long n = 1; n <= highest; ++n) {
        std::string number = std::to_string(n);
        number.insert(0, width > number.size() ? width - number.size() : 0, '0');
        const fs::path volume = given.parent_path() / (base + "." + number);
        if (!fs::is_regular_file(volume, ec))
            throw EZipEngine(MsgId::SetPartMissing, volume.string());
        files.push_back(volume.string());
    }
    if (files.empty()) throw EZipEngine(MsgId::SetPartMissing, path);
    return files;
}

JoinedVolumes::JoinedVolumes(const std::string& path, const std::string& folder) : path_(path) {
    if (!IsRawVolumeName(path)) return;
    const std::vector<std::string> volumes = RawVolumeFiles(path);
    std::string joined = folder + "zipXXXXXX";
    const int fd = mkstemp(joined.data());
    if (fd < 0) throw EZipEngine(MsgId::TempFileCreateFailed, true);
    ::close(fd);
    try {
        ArchiveFile out;
        if (!out.Open(joined, ArchiveFile::Mode::ReadWrite))
            throw EZipEngine(MsgId::OutputCreateFailed, true);
        for (const std::string& volume : volumes) Append(out, volume);
    } catch (...) {
        std::error_code ec;
        fs::remove(joined, ec);
        throw;
    }
    path_ = joined;
    joined_ = true;
}

JoinedVolumes::~JoinedVolumes() {
    std::error_code ec;
    if (joined_) fs::remove(path_, ec);
}

}  // namespace kelp::engine
