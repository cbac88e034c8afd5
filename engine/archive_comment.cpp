// Reading and rewriting the archive comment, which sits behind the end record.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <vector>

#include "engine/zip_engine.h"
#include "engine/zip_messages.h"
#include "libs/zipcore/record_writer.h"
#include "platform/atomic_file.h"

namespace kelp::engine {

namespace {

constexpr size_t kCopyPiece = 1 << 20;

}  // namespace

std::string ZipEngine::ArchiveComment() const {
    return (lastFlags_ & kelp::zip::kFlagUtf8) ? rawComment_ : ConvertNameChars(rawComment_, false);
}

CommentRequest ZipEngine::CommentRequestNow(const std::string& text) const {
    return {zipFileName_, text};
}

void ZipEngine::setArchiveComment(const std::string& text) {
    Run(CommentRequestNow(text));
}

bool ZipEngine::Run(const CommentRequest& request) {
    if (const std::optional<MsgId::Id> refused = request.Check()) {
        ShowEngineMessage(*refused);
        return false;
    }
    // The comment's code page and the end record's place come from the
    // archive's directory; one that cannot be read has been reported.
    if (request.archive != zipFileName_) setZipFileName(request.archive);
    if (request.archive != zipFileName_) return false;
    const std::string& text = request.text;
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
        ShowEngineMessage(MsgId::OutOfMemory);
    } catch (const std::exception& e) {
        failed = true;
        ShowEngineMessage(MsgId::OutputWriteError, std::string("\n") + e.what());
    }
    if (failed) {
        rawComment_.clear();
        // Show what the file now holds.
        if (!zipFileName_.empty()) List();
    }
    return !failed;
}

// The archive is written anew, the new comment behind its end record, to a
// temporary file that replaces the archive only when complete: a failed
// write leaves the archive as it was.
void ZipEngine::WriteComment(const std::string& raw) {
    ArchiveFile in;
    if (!in.Open(zipFileName_, ArchiveFile::Mode::Read))
        throw EZipEngine(MsgId::ZipOpenFailed, true);

    namespace zip = kelp::zip;
    unsigned char bytes[zip::kEocdSize];
    zip::Eocd eocd;
    if (!in.Seek(endOfDirOffset_)) throw EZipEngine(MsgId::InputSeekError, true);
    if (in.Read(bytes, sizeof bytes) != sizeof bytes || !zip::ParseEocd(bytes, eocd))
        throw EZipEngine(MsgId::EndRecordReadError, true);
    eocd.commentLength = static_cast<uint16_t>(raw.size());
    std::vector<uint8_t> record;
    zip::AppendEocd(record, eocd);

    // A link to the archive stays a link: the file it names is replaced.
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::canonical(zipFileName_, ec);
    struct stat st {};
    if (ec || stat(target.c_str(), &st) != 0) throw EZipEngine(MsgId::ZipOpenFailed, true);
    platform::AtomicFile out;
    if (!out.Create(target.string())) throw EZipEngine(MsgId::TempFileCreateFailed, true);

    std::vector<char> piece(kCopyPiece);
    if (!in.Seek(0)) throw EZipEngine(MsgId::InputSeekError, true);
    for (int64_t left = endOfDirOffset_; left > 0;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(left, kCopyPiece));
        if (in.Read(piece.data(), want) != want) throw EZipEngine(MsgId::InputSeekError, true);
        if (!out.Write(piece.data(), want)) throw EZipEngine(MsgId::OutputWriteError, true);
        left -= static_cast<int64_t>(want);
        host_->ProcessPendingMessages();
    }
    if (!out.Write(record.data(), record.size()))
        throw EZipEngine(MsgId::EndRecordWriteError, true);
    if (!out.Write(raw.data(), raw.size()) || !out.Commit(st.st_mode & 07777))
        throw EZipEngine(MsgId::OutputWriteError, true);
    const int64_t newSize = endOfDirOffset_ + static_cast<int64_t>(record.size() + raw.size());
    logicalSize_ = physicalSize_ = newSize;
}

}  // namespace kelp::engine
