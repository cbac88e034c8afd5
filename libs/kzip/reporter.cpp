#include "reporter.h"

#include <algorithm>
#include <cstring>

namespace kelp::kzip {

std::optional<std::string> Reporter::AskNewName(std::string_view name) {
    if (!HasCallback()) return std::nullopt;
    const KCallbackRecord& r = Call(KCB_NEW_NAME, 0, 0, name);
    if (r.Action != 8) return std::nullopt;
    return std::string(r.Text, strnlen(r.Text, sizeof(r.Text)));
}

std::optional<std::string> Reporter::AskPassword(std::string_view name) {
    if (!HasCallback()) return std::nullopt;
    // Bit 0 of Number1: a password for adding (the engine confirms it).
    const KCallbackRecord& r = Call(KCB_PASSWORD, 1, 1, name);
    std::string password(r.Text, strnlen(r.Text, sizeof(r.Text)));
    // An answer that left the record as it was gives no password.
    if (r.Number1 != 1 || password.empty() || password == name) return std::nullopt;
    return password;
}

}  // namespace kelp::kzip
