#include "callback_channel.h"

#include <algorithm>
#include <cstring>

namespace kelp::zip {

const KCallbackRecord& CallbackChannel::Call(int32_t action, int32_t n1, int32_t n2,
                                             std::string_view text) {
    // The record is filled field by field: clearing all of its text for
    // every report would cost more than most reports themselves.
    record_.Unused0 = 0;
    record_.EngineRef = engineRef_;
    record_.Unused8[0] = record_.Unused8[1] = 0;
    record_.Action = action;
    record_.Number1 = n1;
    record_.Number2 = n2;
    const size_t len = std::min(text.size(), sizeof(record_.Text) - 1);
    if (len > 0) std::memcpy(record_.Text, text.data(), len);
    record_.Text[len] = '\0';
    if (callback_ && callback_(&record_) == KELP_CALLBACK_CANCEL) cancelled_ = true;
    // Whatever the engine wrote, the text stays terminated for our reads.
    record_.Text[sizeof(record_.Text) - 1] = '\0';
    return record_;
}

}  // namespace kelp::zip
