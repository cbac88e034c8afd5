#include "dos_time.h"

#include <ctime>

namespace kelp::zip {

int64_t DosToUnixTime(uint16_t dosDate, uint16_t dosTime) {
    std::tm tm{};
    tm.tm_year = ((dosDate >> 9) & 0x7F) + 80;
    tm.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
    tm.tm_mday = dosDate & 0x1F;
    tm.tm_hour = (dosTime >> 11) & 0x1F;
    tm.tm_min = (dosTime >> 5) & 0x3F;
    tm.tm_sec = (dosTime & 0x1F) * 2;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : static_cast<int64_t>(t);
}

uint32_t UnixToDosTime(int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80) return (1u << 5 | 1u) << 16;  // 1980-01-01
    if (tm.tm_year > 207)
        return ((127u << 9) | (12u << 5) | 31u) << 16 | (23u << 11) | (59u << 5) | 29u;
    uint32_t date =
        static_cast<uint32_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    uint32_t time = static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return date << 16 | time;
}

}  // namespace kelp::zip
