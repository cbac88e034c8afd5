// Plain sorting logic of the sortable grid: key conversion, comparison,
// sort-style detection and the row order a sort produces. No widgets here, so
// tests and the benchmark call it directly.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace kelp {

enum SortStyleKind : std::uint8_t {
    ssAutomatic = 0,
    ssAlphabetic = 1,
    ssNumeric = 2,
    ssDateTime = 3,
    ssTime = 4,
    ssCustom = 5
};

enum SortDirection : std::uint8_t { sdAscending, sdDescending };

// Custom comparison for ssCustom: negative, zero or positive.
using SortCompareFn = std::function<int(const QString&, const QString&)>;

// The options of one sort; handlers of the sort signals may change them.
struct SortOptions {
    SortStyleKind SortStyle = ssAutomatic;
    kelp::SortDirection SortDirection = sdAscending;
    bool SortCaseSensitive = false;
    SortCompareFn SortCompare;
};

// One sorted row: its key text and its row index before the sort.
struct SortedListEntry {
    QString Str;
    int RowNum = 0;
};
using SortedList = std::vector<SortedListEntry>;

// Text conversions used by numeric, date-time and time sorts. Each returns
// false when the text is not a value of that kind (an empty text never is).
bool textToFloat(const QString& text, double* value);
bool textToDateTime(const QString& text, double* value);  // seconds since 1970, local
bool textToTime(const QString& text, double* value);      // seconds since midnight

// Compares two keys as the sort does, before the row-number rule: -1, 0 or +1.
// A key that cannot be converted for a numeric, date-time or time sort gives 0.
int compareSortKeys(const QString& a, const QString& b, const SortOptions& options);

// Picks numeric, date-time, time or alphabetic from the texts of a column.
SortStyleKind detectSortStyle(const QStringList& keys);

// Returns the sorted order of the entries: result[i] is the index into
// `entries` of the entry that goes to sorted position i. Equal keys keep their
// relative order in both directions; a descending sort reverses only the
// comparison, so it is not simply the reverse of an ascending one. Keys that
// cannot be converted for a numeric or date sort are placed after all
// convertible keys (ascending) and keep their relative order.
std::vector<int> sortedOrder(const SortedList& entries, const SortOptions& options);

}  // namespace kelp
