// The reports and questions of this library to the engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "callback_channel.h"

namespace kelp::kzip {

// Error values sent with messages (Number1).
enum ZipError : int32_t {
    kNoError = 0,
    kErrArchive = 1,   // the archive cannot be read or is not a ZIP file
    kErrSource = 2,    // a source file cannot be read or changed
    kErrName = 3,      // a name that cannot be stored
    kErrWrite = 4,     // the new archive cannot be written
    kErrPassword = 5,  // no password for encryption
    kErrLimit = 6,     // the archive would need ZIP64
    kErrCancelled = 7,
    kErrNothing = 8,  // nothing to do
};

class Reporter : public zip::CallbackChannel {
  public:
    using CallbackChannel::CallbackChannel;

    // Offers a stored name for renaming; returns the new name when the
    // engine gave one.
    std::optional<std::string> AskNewName(std::string_view name);
    // Asks for the password to encrypt with; nothing when none was given.
    std::optional<std::string> AskPassword(std::string_view name);
};

}  // namespace kelp::kzip
