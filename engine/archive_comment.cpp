// Reading and rewriting the archive comment, which sits behind the end record.
#include <new>

#include "engine/zip_engine.h"
#include "engine/zip_messages.h"
#include "libs/zipcore/record_writer.h"

namespace engine {

namespace {

// The most of the tail kept in memory to undo a failed rewrite.
constexpr int64_t kMaxSavedTail = 64 * 1024 * 1024;

}  // namespace

std::string ZipEngine::ArchiveComment() const {
    return (lastFlags_ & kelp::zip::kFlagUtf8) ? rawComment_ : ConvertNameChars(rawComment_, false);
}

void ZipEngine::setArchiveComment(const std::string& text) {
    std::string raw = (lastFlags_ & kelp::zip::kFlagUtf8) ? text : ConvertNameChars(text, true);
    if (raw.size() > kelp::zip::kMaxCommentLength) raw.resize(kelp::zip::kMaxCommentLength);
    rawComment_ = raw;

    bool failed = false;
    try {
        WriteComment(raw);
    } catch (const EZipEngine& e) {
        failed = true;
        ReportEngineError(e);
    } catch (const std::bad_alloc&) {
        failed = true;
        ShowEngineMessage(10103);
    } catch (const std::exception& e) {
        failed = true;
        ShowEngineMessage(11010, std::string("\n") + e.what());
    }
    inFile_.Close();
    if (failed) {
        rawComment_.clear();
        // Show what the file now holds.
        if (!zipFileName_.empty()) List();
    }
}

// The new comment is written first and the end record's length last, and the
// file is cut to size only after both are in place. A write that fails puts
// the old bytes back, so the archive is never left half-changed.
void ZipEngine::WriteComment(const std::string& raw) {
    if (zipFileName_.empty()) throw EZipEngine(11001, true);
    if (!inFile_.Open(zipFileName_, ArchiveFile::Mode::ReadWrite)) throw EZipEngine(11002, true);

    namespace zip = kelp::zip;
    unsigned char bytes[zip::kEocdSize];
    zip::Eocd eocd;
    if (!inFile_.Seek(endOfDirOffset_)) throw EZipEngine(11008, true);
    if (inFile_.Read(bytes, sizeof bytes) != sizeof bytes || !zip::ParseEocd(bytes, eocd))
        throw EZipEngine(11011, true);

    const int64_t size = inFile_.Size();
    const int64_t tailLength = std::min(size - endOfDirOffset_, kMaxSavedTail);
    std::string savedTail(static_cast<size_t>(tailLength), '\0');
    inFile_.Seek(endOfDirOffset_);
    if (inFile_.Read(savedTail.data(), savedTail.size()) != savedTail.size())
        throw EZipEngine(11011, true);

    auto restore = [&] {
        inFile_.Seek(endOfDirOffset_);
        inFile_.Write(savedTail.data(), savedTail.size());
        inFile_.Truncate(size);
        inFile_.Flush();
    };

    const int64_t commentAt = endOfDirOffset_ + static_cast<int64_t>(zip::kEocdSize);
    if (!inFile_.Seek(commentAt)) throw EZipEngine(11008, true);
    if (inFile_.Write(raw.data(), raw.size()) != raw.size() || !inFile_.Flush()) {
        restore();
        throw EZipEngine(11010, true);
    }
    eocd.commentLength = static_cast<uint16_t>(raw.size());
    std::vector<uint8_t> record;
    zip::AppendEocd(record, eocd);
    if (!inFile_.Seek(endOfDirOffset_) || inFile_.Write(record.data(), record.size()) != record.size()) {
        restore();
        throw EZipEngine(11030, true);
    }
    const int64_t newSize = commentAt + static_cast<int64_t>(raw.size());
    if (!inFile_.Truncate(newSize) || !inFile_.Flush()) {
        restore();
        throw EZipEngine(11010, true);
    }
    logicalSize_ = physicalSize_ = newSize;
}

}  // namespace engine
