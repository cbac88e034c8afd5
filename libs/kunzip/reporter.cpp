#include "reporter.h"

#include <algorithm>
#include <cstring>

namespace kelp::kunzip {

bool Reporter::AskPassword(std::string_view name, int& tries, std::string& password) {
    if (!HasCallback() || tries <= 0) return false;
    const KCallbackRecord& r = Call(KCB_PASSWORD, 0, tries, name);
    // The engine may lower the count (0 stops asking) but never raise it.
    int left = std::clamp(r.Number2, 0, tries);
    tries = left - 1 < 0 ? 0 : left - 1;
    if (r.Number1 != 1) {
        tries = 0;
        return false;
    }
    password.assign(r.Text, strnlen(r.Text, sizeof(r.Text)));
    return true;
}

bool Reporter::AskOverwrite(std::string_view name, bool existingIsOlder) {
    // Without an answer the default (keep the existing file) stands.
    const KCallbackRecord& r = Call(KCB_OVERWRITE, existingIsOlder ? 1 : 0, 0, name);
    return (r.Number2 & 0xFF) == 1;
}

bool Reporter::ReportCrc(std::string_view name, uint32_t found, uint32_t expected) {
    const KCallbackRecord& r =
        Call(KCB_CRC_ERROR, static_cast<int32_t>(found), static_cast<int32_t>(expected), name);
    return r.Number1 == 1;
}

}  // namespace kelp::kunzip
