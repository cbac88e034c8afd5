// The reports and questions of this library to the engine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "callback_channel.h"

namespace kelp::kunzip {

// Error values sent with messages (Number1) and skipped members.
enum UnzipError : int32_t {
    kNoError = 0,
    kErrArchive = 1,
    kErrName = 2,
    kErrPassword = 3,
    kErrData = 4,
    kErrCrc = 5,
    kErrMethod = 6,
    kErrWrite = 7,
    kErrCancelled = 8,
    kErrFinding = 9,  // checking: something wrong in the archive's structure
};

class Reporter : public zip::CallbackChannel {
  public:
    using CallbackChannel::CallbackChannel;

    void Skipped(std::string_view name, int32_t error, uint8_t skipType) {
        Call(KCB_SKIPPED, error, skipType, name);
    }

    // Asks for a password for a member. tries: how many more times the
    // engine may be asked; it is updated from the answer. True with the
    // password when one was given.
    bool AskPassword(std::string_view name, int& tries, std::string& password);
    // Overwrite question; true when the existing file is to be replaced.
    bool AskOverwrite(std::string_view name, bool existingIsOlder);
    // CRC mismatch; true when the engine wants the data kept anyway.
    bool ReportCrc(std::string_view name, uint32_t found, uint32_t expected);
};

}  // namespace kelp::kunzip
