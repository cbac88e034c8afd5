// The parameter blocks handed to the two libraries, in the layout each
// library version understands, together with every text and table they point
// to. A block lives for one library call; everything goes with it.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "libs/include/kelp_lib_abi.h"

namespace kelp::engine {

// NUL-terminated copies of texts, alive as long as the owner.
class ParamStrings {
  public:
    char* Copy(const std::string& text);

  private:
    std::deque<std::string> texts_;
};

// Boolean in the 32-bit form the libraries expect.
constexpr KBool32 Bool32(bool on) {
    return on ? KELP_TRUE : KELP_FALSE;
}

class UnzipParamBlock {
  public:
    explicit UnzipParamBlock(int version);

    bool CurrentLayout() const { return !old_; }
    KUnzipParams& Current() { return current_; }
    KUnzipParamsOld& Old() { return *old_; }
    // The block as handed to the exec entry.
    void* Data() { return old_ ? static_cast<void*>(old_.get()) : static_cast<void*>(&current_); }

    // Applies `fill` to the fields the two layouts share.
    template <typename Fill>
    void Common(Fill fill) {
        if (old_)
            fill(*old_);
        else
            fill(current_);
    }
    // Puts the specifications into the table of the layout; the old layout
    // holds at most KELP_OLD_SPEC_SLOTS of them. Returns the count stored.
    int SetSpecs(const std::vector<std::string>& specs);
    void SetEndMarker();

    ParamStrings strings;
    KDirectoryLoan loan{};  // the engine's directory, when lent

  private:
    KUnzipParams current_{};
    std::unique_ptr<KUnzipParamsOld> old_;
    std::vector<KUnzipSpec> specs_;
};

struct AddSource;

class ZipParamBlock {
  public:
    explicit ZipParamBlock(int version);

    bool CurrentLayout() const { return !old_; }
    KZipParams& Current() { return current_; }
    KZipParamsOld& Old() { return *old_; }
    void* Data() { return old_ ? static_cast<void*>(old_.get()) : static_cast<void*>(&current_); }

    template <typename Fill>
    void Common(Fill fill) {
        if (old_)
            fill(*old_);
        else
            fill(current_);
    }
    // Adding: one record per line, its prefix and password part applied,
    // then one per source as it stands. The old layout takes the lines
    // unchanged and the sources written as lines (at most
    // KELP_OLD_SPEC_SLOTS in all). Fill the block's password, encryption and
    // recursion first: lines without their own take them.
    int SetAddSpecs(const std::vector<std::string>& lines, const std::vector<AddSource>& sources);
    // Deleting: member names and patterns as they stand.
    int SetSpecs(const std::vector<std::string>& lines);
    void SetExcludes(const std::vector<std::string>& patterns);
    void SetEndMarker();

    ParamStrings strings;
    KDirectoryLoan loan{};  // the engine's directory, when lent

  private:
    KZipParams current_{};
    std::unique_ptr<KZipParamsOld> old_;
    std::vector<KZipSpec> specs_;
    std::vector<char*> excludes_;
};

}  // namespace kelp::engine
