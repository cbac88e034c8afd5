// Self-extracting archives: a program (the stub), a settings block the stub
// reads at run time, and a plain archive behind them whose stored offsets
// count the bytes in front. The converter puts stub and block in front of an
// archive and takes them off again, moving the offsets in the central
// directory so that they stay right.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/archive_file.h"
#include "engine/host_ui.h"
#include "engine/requests.h"
#include "engine/set_volumes.h"

namespace kelp::engine {

class SfxConverter {
  public:
    // show: a message by id with extra text; discard: removes a file the
    // conversion replaces (false when it stays).
    SfxConverter(HostUi& host, std::function<void(int, const std::string&)> show,
                 std::function<bool(const std::string&)> discard)
        : host_(host), show_(std::move(show)), discard_(std::move(discard)) {}

    // Writes the program for the archive `archive` (".zip") beside it as
    // ".exe", or with `newFile` writes `archive` itself as a program with an
    // empty archive. `stubPath` is searched for as the engine's SFXPath is
    // and holds the stub found. 0 and the program's path in `outName`, or a
    // negative code; the source is discarded only after the output is in place.
    int ToExe(const std::string& archive, bool newFile, const SfxSettings& settings,
              std::string& stubPath, const std::string& dllDirectory, std::string& outName);
    // Writes the archive of the program `program` (".exe", its archive
    // starting at `prefix`) beside it as ".zip", and reads the program's
    // settings into `settings`. Codes as ToExe.
    int ToZip(const std::string& program, int64_t prefix, SfxSettings& settings,
              std::string& outName);

  private:
    int CopyArchiveBody(ArchiveFile& out, int64_t from, int64_t& expected);
    int MoveCentralDirectory(ArchiveFile& out, int64_t shift, int64_t& written);

    HostUi& host_;
    std::function<void(int, const std::string&)> show_;
    std::function<bool(const std::string&)> discard_;
    ArchiveFile in_;
    ArchiveEnd end_;
};

}  // namespace kelp::engine
