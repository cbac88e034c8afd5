// Reading and rewriting the archive comment, which sits behind the end record.
#include <new>

#include "engine/zip_engine.h"
#include "engine/zip_messages.h"
#include "engine/zip_records.h"

namespace engine {

namespace {

// The most of the tail kept in memory to undo a failed rewrite.
constexpr int64_t kMaxSavedTail = 64 * 1024 * 1024;

}  // namespace

std::string ZipEngine::ArchiveComment() const {
    return (lastFlags_ & kFlagUtf8) ? rawComment_ : ConvertNameChars(rawComment_, false);
}

void ZipEngine::setArchiveComment(const std::string& text) {
    std::string raw = (lastFlags_ & kFlagUtf8) ? text : ConvertNameChars(text, true);
    if (raw.size() > kMaxCommentLength) raw.resize(kMaxCommentLength);
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

    unsigned char eocd[kEndOfDirSize];
    if (!inFile_.Seek(endOfDirOffset_)) throw EZipEngine(11008, true);
    if (inFile_.Read(eocd, sizeof eocd) != sizeof eocd || Get32(eocd) != kEndOfDirSig)
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

    const int64_t commentAt = endOfDirOffset_ + kEndOfDirSize;
    if (!inFile_.Seek(commentAt)) throw EZipEngine(11008, true);
    if (inFile_.Write(raw.data(), raw.size()) != raw.size() || !inFile_.Flush()) {
        restore();
        throw EZipEngine(11010, true);
    }
    Put16(eocd + 20, static_cast<uint16_t>(raw.size()));
    if (!inFile_.Seek(endOfDirOffset_) || inFile_.Write(eocd, sizeof eocd) != sizeof eocd) {
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
