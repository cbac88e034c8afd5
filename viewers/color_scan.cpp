#include "color_scan.h"

#include <algorithm>
#include <climits>

namespace kelp {

namespace {

QString upperAscii(QString s) {
    for (QChar& c : s)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 32);
    return s;
}

// Earliest occurrence of any begin marker from `pos`; on a tie the marker
// listed first wins. Returns the marker index or -1.
int earliestMarker(const QString& text, int pos, const std::vector<Marker>& markers, int* at) {
    int best = -1;
    *at = INT_MAX;
    for (int i = 0; i < int(markers.size()) && i < ColorRule::kMaxMarkers; ++i) {
        if (markers[i].begin.isEmpty()) break;
        const qsizetype p = text.indexOf(markers[i].begin, pos);
        if (p >= 0 && p < *at) *at = int(p), best = i;
    }
    return best;
}

}  // namespace

void scanHotSpots(const QString& text, int from, const HotSpot& hs, std::vector<KeyDescr>& out) {
    int pos = from;
    while (pos < text.size()) {
        const qsizetype b = text.indexOf(hs.BeginChar, pos);
        if (b < 0) return;
        const qsizetype e = text.indexOf(hs.EndChar, b + 1);
        if (e < 0) return;  // an open hot spot colours nothing
        out.push_back({int(b), int(b), hs.MarkerColor, kHotSpotMarkZ, false});
        if (e > b + 1) out.push_back({int(b + 1), int(e - 1), hs.Color, kHotSpotTextZ, false});
        out.push_back({int(e), int(e), hs.MarkerColor, kHotSpotMarkZ, false});
        pos = int(e + 1);
    }
}

void scanTabs(const QString& text, int from, const QColor& background, std::vector<KeyDescr>& out) {
    for (int i = from; i < text.size(); ++i)
        if (text[i] == QLatin1Char('\t')) out.push_back({i, i, background, kTabZ, false});
}

void scanKeywords(const QString& text, int from, const ColorRule& rule,
                  std::vector<KeyDescr>& out) {
    if (!rule.hasKeywords()) return;
    const QString searched = rule.KeyCase ? text.mid(from) : upperAscii(text.mid(from));
    for (const CompiledKeyword& k : rule.keywordTable()) {
        const int len = int(k.text.size());
        for (qsizetype i = searched.indexOf(k.text); i >= 0;
             i = searched.indexOf(k.text, i + len)) {
            if (!rule.PartWord) {
                const bool before = i > 0 && isWordChar(searched[i - 1]);
                const bool after = i + len < searched.size() && isWordChar(searched[i + len]);
                if (before || after) continue;
            }
            out.push_back({int(from + i), int(from + i + len - 1), rule.colorTable()[k.code - 1],
                           rule.ZOrder, true});
        }
    }
}

void scanBeginEnd(const QString& text, int from, const ColorRule& rule,
                  std::vector<KeyDescr>& out) {
    int pos = from;
    while (pos < text.size()) {
        int at;
        const int m = earliestMarker(text, pos, rule.markers(), &at);
        if (m < 0) return;
        const Marker& mk = rule.markers()[m];
        // The end marker may share the begin marker's later characters: "/*/" is whole.
        const qsizetype e = text.indexOf(mk.end, at + 1);
        if (e < 0) return;  // an unclosed stretch stops the rule
        out.push_back({at, int(e + mk.end.size() - 1), mk.color, rule.ZOrder, false});
        pos = int(e + 1);
    }
}

void scanLineEnd(const QString& text, int from, const ColorRule& rule, std::vector<KeyDescr>& out) {
    int pos = from;
    while (pos < text.size()) {
        int at;
        const int m = earliestMarker(text, pos, rule.markers(), &at);
        if (m < 0) return;
        const qsizetype nl = text.indexOf(QLatin1Char('\n'), at);
        const int end = nl < 0 ? int(text.size()) - 1 : int(nl) - 1;
        if (end >= at) out.push_back({at, end, rule.markers()[m].color, rule.ZOrder, false});
        if (nl < 0) return;
        pos = int(nl + 1);
    }
}

std::vector<KeyDescr> mergeRuns(const std::vector<KeyDescr>& descriptors) {
    int lo = INT_MAX, hi = -1;
    for (const KeyDescr& d : descriptors) {
        if (d.StartPos < 0 || d.StartPos == INT_MAX || d.EndPos < d.StartPos) continue;
        lo = std::min(lo, d.StartPos);
        hi = std::max(hi, d.EndPos);
    }
    std::vector<KeyDescr> runs;
    if (hi < 0) return runs;
    struct Attr {
        QColor color;
        int priority = 0;
        bool key = false;
        bool covered = false;
    };
    std::vector<Attr> attr(size_t(hi - lo + 2));  // one spare entry closes the last run
    for (const KeyDescr& d : descriptors) {
        if (d.StartPos < 0 || d.StartPos == INT_MAX || d.EndPos < d.StartPos) continue;
        for (int i = d.StartPos; i <= d.EndPos; ++i) {
            Attr& a = attr[i - lo];
            if (a.priority > d.ZOrder) continue;
            a = {d.Color, d.ZOrder, d.IsKey, true};
        }
    }
    int start = 0;
    for (int i = 1; i < int(attr.size()); ++i) {
        const Attr &a = attr[i - 1], &b = attr[i];
        if (a.color == b.color && a.priority == b.priority && a.key == b.key &&
            a.covered == b.covered)
            continue;
        if (a.covered)
            runs.push_back({lo + start, lo + i - 1, a.color, std::uint8_t(a.priority), a.key});
        start = i;
    }
    return runs;
}

std::optional<QString> hotSpotAt(const QString& line, int index, const HotSpot& hs) {
    if (index < 0 || index >= line.size()) return std::nullopt;
    const QString rest = line.mid(index);
    const qsizetype e = rest.indexOf(hs.EndChar);
    const qsizetype b = rest.indexOf(hs.BeginChar);
    if (e < 0 || (b >= 0 && b <= e && hs.BeginChar != hs.EndChar)) return std::nullopt;
    const QString before = line.left(index);
    const qsizetype lastBegin = before.lastIndexOf(hs.BeginChar);
    return (lastBegin < 0 ? before : before.mid(lastBegin + 1)) + rest.left(e);
}

}  // namespace kelp
