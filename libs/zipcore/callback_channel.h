// The callback channel from a library back to the engine: every report fills
// one callback record and calls the engine's callback on the calling thread.
// An answer of all bits set from any call means "stop"; it is remembered.
#pragma once

#include <cstdint>
#include <string_view>

#include "kelp_lib_abi.h"

namespace kelp::zip {

class CallbackChannel {
  public:
    CallbackChannel(KCallbackFn callback, void* engineRef)
        : callback_(callback), engineRef_(engineRef) {}

    bool cancelled() const { return cancelled_; }

    void FileCount(int64_t count) { Call(KCB_FILE_COUNT, 0, Clamp(count), {}); }
    void ByteTotal(int64_t bytes) { Call(KCB_BYTE_TOTAL, 0, Clamp(bytes), {}); }
    void FileStart(std::string_view name, int64_t size) {
        Call(KCB_FILE_START, 0, Clamp(size), name);
    }
    void BytesDone(int64_t bytes) { Call(KCB_BYTES_DONE, 0, Clamp(bytes), {}); }
    void BatchEnd() { Call(KCB_BATCH_END, 0, 0, {}); }
    void Message(int32_t error, std::string_view text) { Call(KCB_MESSAGE, error, 0, text); }

  protected:
    bool HasCallback() const { return callback_ != nullptr; }
    // Sends one record; returns it as the engine left it (for answers).
    const KCallbackRecord& Call(int32_t action, int32_t n1, int32_t n2, std::string_view text);

  private:
    static int32_t Clamp(int64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v); }

    KCallbackFn callback_;
    void* engineRef_;
    bool cancelled_ = false;
    KCallbackRecord record_{};
};

}  // namespace kelp::zip
