// The member table of a multi-part set: one record per member, found by name.
#pragma once

#include <strings.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ezip_engine.h"

namespace engine {

struct SpanRecord {
    std::string name;         // as stored
    uint16_t diskNo = 0;      // part that holds the local header
    uint32_t relOffset = 0;   // offset of the local header in its part (or the joined file)
    uint32_t packedSize = 0;  // from the central header
};

// The record of `name` (compared without regard to case); a name in no
// record means the set does not hang together.
inline SpanRecord& FindSpanRecord(std::vector<SpanRecord>& records, const std::string& name) {
    for (auto& r : records)
        if (r.name.size() == name.size() && strcasecmp(r.name.c_str(), name.c_str()) == 0) return r;
    throw EZipEngine(MsgId::SpanRecordMissing, true);
}

}  // namespace engine
