// The scanners that find coloured stretches in the visible text, and the
// merge that turns overlapping stretches into runs by priority.
#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "color_rule.h"

namespace kelp {

struct HotSpot {
    QChar BeginChar{30};
    QChar EndChar{31};
    QColor Color{0, 0, 255};
    QColor MarkerColor{255, 255, 255};
    bool Active = false;
    bool Underlined = true;
};

// `text` is the memo's text cut at the scan limit; positions are offsets from
// its start and scanning begins at `from`. Each scanner appends descriptors.
void scanHotSpots(const QString& text, int from, const HotSpot& hs, std::vector<KeyDescr>& out);
void scanTabs(const QString& text, int from, const QColor& background, std::vector<KeyDescr>& out);
void scanKeywords(const QString& text, int from, const ColorRule& rule, std::vector<KeyDescr>& out);
void scanBeginEnd(const QString& text, int from, const ColorRule& rule, std::vector<KeyDescr>& out);
void scanLineEnd(const QString& text, int from, const ColorRule& rule, std::vector<KeyDescr>& out);

// Characters that make up a word for keyword matching: '@' and ASCII letters.
inline bool isWordChar(QChar c) {
    const ushort u = c.unicode();
    return (u >= 64 && u <= 90) || (u >= 97 && u <= 122);
}

// Merges descriptors into runs: each character takes the colour of the
// highest-priority descriptor covering it (the later one at equal priority);
// runs of uncovered characters are dropped.
std::vector<KeyDescr> mergeRuns(const std::vector<KeyDescr>& descriptors);

// The hot-spot text under character `index` of `line`, when the character
// lies inside a hot spot: the part after the last BeginChar before it plus
// the rest up to the next EndChar.
std::optional<QString> hotSpotAt(const QString& line, int index, const HotSpot& hs);

}  // namespace kelp
