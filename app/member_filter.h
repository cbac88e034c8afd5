// What the filter field above the member grid keeps: the members whose name
// holds the typed text, ignoring case. Text with "*" or "?" is a pattern
// instead ("*" any run of characters, "?" one byte), which must match the
// whole name, or its last part alone (the file or folder name), so that
// "*.txt" and "read*" find "docs/readme.txt".
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace kelp {

class MemberFilter {
  public:
    explicit MemberFilter(const QString& text = {});

    bool IsEmpty() const { return pattern_.empty(); }
    // `name` is a member's whole name in UTF-8, as MemberRows::MatchName
    // gives it: names with other than ASCII characters already case-folded.
    bool Matches(std::string_view name) const;

    // The case-folded UTF-8 of a UTF-8 text.
    static std::string Fold(std::string_view text);

  private:
    std::string pattern_;  // folded
    bool wildcard_ = false;
    mutable std::string lower_;  // the name being matched, ASCII letters lowered
};

}  // namespace kelp
