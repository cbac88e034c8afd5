// Archives that other archivers cut into numbered raw volumes (name.zip.001,
// name.zip.002, ...): the plain archive split at arbitrary bytes. They are
// read as the archive the volumes make when joined end to end.
#pragma once

#include <string>
#include <vector>
#include "engine/message_ids.h"

namespace kelp::engine {

// True for a raw volume's name: an extension of three or more digits behind
// a name with an extension of its own ("data.zip.001").
bool IsRawVolumeName(const std::string& path);

// The volume files of the archive `path` belongs to, in order from number 1
// up to the highest present; EZipEngine MsgId::SetPartMissing names the first one missing.
std::vector<std::string> RawVolumeFiles(const std::string& path);

// The volumes of `path` joined into a fresh file in `folder`, removed again
// with this object; for any other name, `path` itself.
class JoinedVolumes {
  public:
    JoinedVolumes(const std::string& path, const std::string& folder);
    ~JoinedVolumes();
    JoinedVolumes(const JoinedVolumes&) = delete;
    JoinedVolumes& operator=(const JoinedVolumes&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    bool joined_ = false;
};

}  // namespace kelp::engine
