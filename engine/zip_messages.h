// The engine's message table: every text the engine shows, keyed by id.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <variant>

#include "engine/message_ids.h"

namespace kelp::engine {

// The table text for `id`, or `fallback` when the table has none.
std::string LookupMessage(int id, const std::string& fallback);

// The text shown in place of a message the table lacks: the prefix followed
// by the id in decimal.
extern const char* const kMissingMessagePrefix;
std::string MissingMessageText(int id);

bool HasMessage(int id);
size_t MessageCount();

// An argument for a "%d", "%.1d" or "%s" conversion in a message text.
using MessageArg = std::variant<long long, std::string>;

// Replaces the conversions of `format` in order by `args`. A conversion
// without an argument, and any other "%" sequence, is copied as it stands, so
// a text never reads past its arguments.
std::string FormatMessageText(const std::string& format, std::initializer_list<MessageArg> args);

}  // namespace kelp::engine
