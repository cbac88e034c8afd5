// The callback channel back to the engine: every report fills one callback
// record and calls the engine's callback on the calling thread. An answer
// of all bits set from any call means "stop"; it is remembered.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kelp_lib_abi.h"

namespace kelp::kunzip {

// Error values sent with messages (Number1) and skipped members.
enum UnzipError : int32_t {
    kNoError = 0,
    kErrArchive = 1,
    kErrName = 2,
    kErrPassword = 3,
    kErrData = 4,
    kErrCrc = 5,
    kErrMethod = 6,
    kErrWrite = 7,
    kErrCancelled = 8,
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
    void Skipped(std::string_view name, int32_t error, uint8_t skipType) {
        Call(KCB_SKIPPED, error, skipType, name);
    }

    // Asks for a password for a member. tries: how many more times the
    // engine may be asked; it is updated from the answer. True with the
    // password when one was given.
    bool AskPassword(std::string_view name, int& tries, std::string& password);
    // Overwrite question; true when the existing file is to be replaced.
    bool AskOverwrite(std::string_view name, bool existingIsOlder);
    // CRC mismatch; true when the engine wants the data kept anyway.
    bool ReportCrc(std::string_view name, uint32_t found, uint32_t expected);

  private:
    static int32_t Clamp(int64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v); }
    // Returns the record after the call (for answers).
    const KCallbackRecord& Call(int32_t action, int32_t n1, int32_t n2, std::string_view text);

    KCallbackFn callback_;
    void* engineRef_;
    bool cancelled_ = false;
    KCallbackRecord record_{};
};

}  // namespace kelp::kunzip
