// What is wrong with an archive's structure, one sentence per finding:
// data in front of the first member or behind the end, offsets that do not
// count a prefix, counts that disagree, members overlapping, local headers
// that disagree with their central headers, duplicate names and names that
// differ only in case, and names that would leave the target folder. The
// members' data (CRCs, sizes, passwords, methods) is checked by testing it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "archive_reader.h"

namespace kelp::zip {

std::vector<std::string> StructureFindings(const ArchiveReader& reader);

// True when a symbolic link `linkName` pointing at `target` would lead out
// of the folder the archive is extracted into, judged from the names alone.
bool LinkLeadsOut(std::string_view linkName, std::string_view target);

}  // namespace kelp::zip
