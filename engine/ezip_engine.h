// The exception the engine raises inside its operations; it carries the id of
// the message that describes the failure.
#pragma once

#include <stdexcept>
#include <string>

#include "engine/message_ids.h"

namespace kelp::engine {

class EZipEngine : public std::runtime_error {
  public:
    // The table text of `id`; shown to the user when `showToUser`.
    EZipEngine(int id, bool showToUser);
    // The table text of `id` with its "%d" filled by `value`; shown.
    EZipEngine(int id, int value);
    // The table text of `id` with its "%s" filled by `value`; shown.
    EZipEngine(int id, const std::string& value);
    EZipEngine(int id, const char* value) : EZipEngine(id, std::string(value)) {}

    bool ShowToUser;
    int MessageId;
};

}  // namespace kelp::engine
