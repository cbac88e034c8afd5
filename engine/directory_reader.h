// Reading a central directory into member records, names and comments
// converted for display.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/archive_end.h"
#include "engine/archive_file.h"
#include "engine/zip_dir_entry.h"

namespace engine {

// How names and comments are converted between the OEM and ANSI character sets.
enum CodePageOpts { cpAuto, cpNone, cpOEM };

// Whether names and comments of a central header from `host` written by
// `version` are in the OEM code page: cpOEM says always, cpAuto for OEM
// hosts, cpNone for OEM hosts but FAT. Under cpAuto and cpOEM every name
// that is not UTF-8 is decoded from the archive's code page.
bool NamesAreOem(CodePageOpts codePage, uint8_t host, uint8_t version);

class DirectoryReader {
  public:
    // `nextPart` opens the next part of a set and restarts `reader` at its
    // start; false when there is none (a one-disk archive has none).
    // `charset` is the code page the user chose for names that are not
    // UTF-8 (an iconv name); empty: the one detected for the archive.
    DirectoryReader(BufferedReader& reader, CodePageOpts codePage, std::string charset,
                    std::function<bool()> nextPart)
        : reader_(reader),
          codePage_(codePage),
          chosenCharset_(std::move(charset)),
          nextPart_(std::move(nextPart)) {}

    // Reads the members of the directory that starts at the reader's
    // position. On one disk every header up to `end` counts, whatever the end
    // record says (a low count would hide members: they are read and a
    // message says so); in a set the counted headers are read. Each member is
    // appended to `entries` and, once the whole directory is read and its
    // names decided, handed to `onEntry` (with its number from 1). A damaged directory raises
    // EZipEngine; a count lower than the directory's gives its message in `countMismatch`.
    void Read(const EocdRecord& eocd, bool oneDisk, int64_t end, std::vector<ZipDirEntry>& entries,
              const std::function<void(int, const ZipDirEntry&)>& onEntry,
              std::string& countMismatch);

    // The central header read last steers the conversion of the archive
    // comment; before any, FAT rules apply.
    uint8_t lastHost() const { return lastHost_; }
    uint8_t lastVersion() const { return lastVersion_; }
    uint16_t lastFlags() const { return lastFlags_; }
    // The code page names that are not UTF-8 were decoded from; empty when
    // every name is UTF-8 or ASCII.
    const std::string& charset() const { return charset_; }

  private:
    BufferedReader& reader_;
    CodePageOpts codePage_;
    std::string chosenCharset_;
    std::string charset_;
    std::function<bool()> nextPart_;
    uint8_t lastHost_ = 0;
    uint8_t lastVersion_ = 0;
    uint16_t lastFlags_ = 0;
};

}  // namespace engine
