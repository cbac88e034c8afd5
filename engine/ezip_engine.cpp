#include "engine/ezip_engine.h"

#include "engine/zip_messages.h"

namespace kelp::engine {

namespace {

// A formatted table text, or the unformatted fallback when the id is missing.
std::string Formatted(int id, MessageArg value) {
    if (!HasMessage(id)) return MissingMessageText(id);
    return FormatMessageText(LookupMessage(id, {}), {std::move(value)});
}

}  // namespace

EZipEngine::EZipEngine(int id, bool showToUser)
    : std::runtime_error(LookupMessage(id, MissingMessageText(id))),
      ShowToUser(showToUser),
      MessageId(id) {}

EZipEngine::EZipEngine(int id, int value)
    : std::runtime_error(Formatted(id, static_cast<long long>(value))),
      ShowToUser(true),
      MessageId(id) {}

EZipEngine::EZipEngine(int id, const std::string& value)
    : std::runtime_error(Formatted(id, value)), ShowToUser(true), MessageId(id) {}

}  // namespace kelp::engine
