#include "reporter.h"

#include <algorithm>
#include <cstring>

namespace kelp::kzip {

const KCallbackRecord& Reporter::Call(int32_t action, int32_t n1, int32_t n2,
                                      std::string_view text) {
    std::memset(&record_, 0, sizeof(record_));
    record_.EngineRef = engineRef_;
    record_.Action = action;
    record_.Number1 = n1;
    record_.Number2 = n2;
    size_t len = std::min(text.size(), sizeof(record_.Text) - 1);
    if (len > 0) std::memcpy(record_.Text, text.data(), len);
    if (callback_ && callback_(&record_) == KELP_CALLBACK_CANCEL) cancelled_ = true;
    // Whatever the engine wrote, the text stays terminated for our reads.
    record_.Text[sizeof(record_.Text) - 1] = '\0';
    return record_;
}

std::optional<std::string> Reporter::AskNewName(std::string_view name) {
    if (!callback_) return std::nullopt;
    const KCallbackRecord& r = Call(KCB_NEW_NAME, 0, 0, name);
    if (r.Action != 8) return std::nullopt;
    return std::string(r.Text, strnlen(r.Text, sizeof(r.Text)));
}

std::optional<std::string> Reporter::AskPassword(std::string_view name) {
    if (!callback_) return std::nullopt;
    // Bit 0 of Number1: a password for adding (the engine confirms it).
    const KCallbackRecord& r = Call(KCB_PASSWORD, 1, 1, name);
    std::string password(r.Text, strnlen(r.Text, sizeof(r.Text)));
    // An answer that left the record as it was gives no password.
    if (r.Number1 != 1 || password.empty() || password == name) return std::nullopt;
    return password;
}

}  // namespace kelp::kzip
