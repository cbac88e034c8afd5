#include "sort_grid_logic.h"

#include <QCollator>
#include <QDate>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <numeric>

namespace kelp {

namespace {

int sign(double d) {
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

// Two-digit years count from 1950 to 2049.
int fullYear(int y, int digits) {
    if (digits > 2) return y;
    return y < 50 ? 2000 + y : 1900 + y;
}

// True when the system locale writes the month before the day.
bool monthFirst() {
    const QString f = QLocale::system().dateFormat(QLocale::ShortFormat);
    return f.indexOf(QLatin1Char('M')) < f.indexOf(QLatin1Char('d'));
}

bool parseDatePart(const QString& text, qint64* julianDay) {
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,4})[./-](\\d{1,2})[./-](\\d{1,4})$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) return false;
    const QString a = m.captured(1), b = m.captured(2), c = m.captured(3);
    int y, mo, d;
    if (a.size() > 2) {  // year first, as in 2001/03/04
        y = a.toInt(), mo = b.toInt(), d = c.toInt();
    } else if (monthFirst()) {
        mo = a.toInt(), d = b.toInt(), y = fullYear(c.toInt(), c.size());
    } else {
        d = a.toInt(), mo = b.toInt(), y = fullYear(c.toInt(), c.size());
    }
    const QDate date(y, mo, d);
    if (!date.isValid()) return false;
    *julianDay = date.toJulianDay();
    return true;
}

bool parseTimePart(const QString& text, double* seconds) {
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*([AaPp][Mm])?$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) return false;
    int h = m.captured(1).toInt();
    const int mi = m.captured(2).toInt();
    const int s = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const QString ap = m.captured(4).toUpper();
    if (!ap.isEmpty()) {
        if (h < 1 || h > 12) return false;
        h = (h % 12) + (ap == QLatin1String("PM") ? 12 : 0);
    }
    if (h > 23 || mi > 59 || s > 59) return false;
    *seconds = h * 3600.0 + mi * 60.0 + s;
    return true;
}

QString caseKey(const QString& s, const SortOptions& o) {
    return o.SortCaseSensitive ? s : s.toUpper();
}

bool convert(const QString& s, SortStyleKind style, double* v) {
    switch (style) {
        case ssNumeric:
            return textToFloat(s, v);
        case ssDateTime:
            return textToDateTime(s, v);
        case ssTime:
            return textToTime(s, v);
        default:
            return false;
    }
}

QCollator makeCollator() {
    QCollator c{QLocale()};
    c.setCaseSensitivity(Qt::CaseSensitive);
    return c;
}

}  // namespace

bool textToFloat(const QString& text, double* value) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    double v = c.toDouble(t, &ok);
    if (!ok) v = QLocale::system().toDouble(t, &ok);
    if (ok) *value = v;
    return ok;
}

bool textToTime(const QString& text, double* value) {
    return parseTimePart(text.trimmed(), value);
}

bool textToDateTime(const QString& text, double* value) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    const qsizetype blank = t.indexOf(QLatin1Char(' '));
    const QString first = blank < 0 ? t : t.left(blank);
    const QString rest = blank < 0 ? QString() : t.mid(blank + 1).trimmed();
    qint64 day = 0;
    double secs = 0;
    if (parseDatePart(first, &day)) {
        if (!rest.isEmpty() && !parseTimePart(rest, &secs)) return false;
    } else if (!parseTimePart(t, &secs)) {
        return false;  // neither a date nor a lone time
    }
    *value = double(day) * 86400.0 + secs;
    return true;
}

int compareSortKeys(const QString& a, const QString& b, const SortOptions& options) {
    const QString ka = caseKey(a, options), kb = caseKey(b, options);
    switch (options.SortStyle) {
        case ssNumeric:
        case ssDateTime:
        case ssTime: {
            double va, vb;
            if (!convert(ka, options.SortStyle, &va) || !convert(kb, options.SortStyle, &vb))
                return 0;
            return sign(va - vb);
        }
        case ssCustom:
            return options.SortCompare ? sign(options.SortCompare(ka, kb)) : 0;
        default:
            return sign(makeCollator().compare(ka, kb));
    }
}

SortStyleKind detectSortStyle(const QStringList& keys) {
    bool numeric = true, time = true, dateTime = true;
    double v;
    for (const QString& k : keys) {
        if (!(numeric || time || dateTime)) break;
        numeric = numeric && textToFloat(k, &v);
        time = time && textToTime(k, &v);
        dateTime = dateTime && textToDateTime(k, &v);
    }
    if (numeric) return ssNumeric;
    if (dateTime) return ssDateTime;
    if (time) return ssTime;
    return ssAlphabetic;
}

std::vector<int> sortedOrder(const SortedList& entries, const SortOptions& options) {
    const int n = int(entries.size());
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    const bool desc = options.SortDirection == sdDescending;
    // `less` sees the comparison result; ties fall back to the stable order,
    // which is the row-number rule.
    auto sortBy = [&](auto cmp) {
        std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
            const int c = cmp(x, y);
            return desc ? c > 0 : c < 0;
        });
    };

    switch (options.SortStyle) {
        case ssNumeric:
        case ssDateTime:
        case ssTime: {
            // Convert every key once. Unconvertible keys must still be ordered
            // consistently, or the sort would have no total order to follow.
            std::vector<double> val(n);
            std::vector<char> ok(n);
            for (int i = 0; i < n; ++i)
                ok[i] = convert(caseKey(entries[i].Str, options), options.SortStyle, &val[i]);
            sortBy([&](int x, int y) {
                if (ok[x] && ok[y]) return sign(val[x] - val[y]);
                return int(ok[y]) - int(ok[x]);  // convertible keys first
            });
            break;
        }
        case ssCustom: {
            if (!options.SortCompare) break;
            std::vector<QString> k(n);
            for (int i = 0; i < n; ++i) k[i] = caseKey(entries[i].Str, options);
            sortBy([&](int x, int y) { return sign(options.SortCompare(k[x], k[y])); });
            break;
        }
        default: {
            const QCollator collator = makeCollator();
            std::vector<QCollatorSortKey> k;
            k.reserve(n);
            for (int i = 0; i < n; ++i)
                k.push_back(collator.sortKey(caseKey(entries[i].Str, options)));
            sortBy([&](int x, int y) { return sign(k[x].compare(k[y])); });
            break;
        }
    }
    return order;
}

}  // namespace kelp
