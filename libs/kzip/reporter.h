// The callback channel back to the engine: every report fills one callback
// record and calls the engine's callback on the calling thread. An answer
// of all bits set from any call means "stop"; it is remembered.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kelp_lib_abi.h"

namespace kelp::kzip {

// Error values sent with messages (Number1).
enum ZipError : int32_t {
    kNoError = 0,
    kErrArchive = 1,   // the archive cannot be read or is not a ZIP file
    kErrSource = 2,    // a source file cannot be read or changed
    kErrName = 3,      // a name that cannot be stored
    kErrWrite = 4,     // the new archive cannot be written
    kErrPassword = 5,  // no password for encryption
    kErrLimit = 6,     // the archive would need ZIP64
    kErrCancelled = 7,
    kErrNothing = 8,  // nothing to do
};

class Reporter {
  public:
    Reporter(KCallbackFn callback, void* engineRef) : callback_(callback), engineRef_(engineRef) {}

    bool cancelled() const { return cancelled_; }

    void FileCount(int64_t count) { Call(KCB_FILE_COUNT, 0, Clamp(count), {}); }
    void ByteTotal(int64_t bytes) { Call(KCB_BYTE_TOTAL, 0, Clamp(bytes), {}); }
    void FileStart(std::string_view name, int64_t size) {
        Call(KCB_FILE_START, 0, Clamp(size), name);
    }
    void BytesDone(int64_t bytes) { Call(KCB_BYTES_DONE, 0, Clamp(bytes), {}); }
    void BatchEnd() { Call(KCB_BATCH_END, 0, 0, {}); }
    void Message(int32_t error, std::string_view text) { Call(KCB_MESSAGE, error, 0, text); }

    // Offers a stored name for renaming; returns the new name when the
    // engine gave one.
    std::optional<std::string> AskNewName(std::string_view name);
    // Asks for the password to encrypt with; nothing when none was given.
    std::optional<std::string> AskPassword(std::string_view name);

  private:
    static int32_t Clamp(int64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v); }
    const KCallbackRecord& Call(int32_t action, int32_t n1, int32_t n2, std::string_view text);

    KCallbackFn callback_;
    void* engineRef_;
    bool cancelled_ = false;
    KCallbackRecord record_{};
};

}  // namespace kelp::kzip
