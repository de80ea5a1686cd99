// Unix "ls -l" lines, NetWare lines with a bracketed rights column instead of the link
// count, and lines whose month is written with the GB2312 character for month.
#include "listing/ListingDates.h"
#include "listing/ListingParser.h"

#include <cstring>

using namespace listing_detail;

namespace {

// The GB2312 encoding of the character for "month" is D4 C2.
bool HasGbMonth(QByteArrayView text) {
    if (text.size() < 2)
        return false; // also keeps a missing column's null pointer away from memchr
    const char* p = text.data();
    const char* end = p + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, '\xD4', size_t(end - p)))) != nullptr) {
        if (++p < end && *p == '\xC2') return true;
    }
    return false;
}

bool IsWithinMonthNames(QByteArrayView text) {
    if (text.size() == 3) {
        for (size_t i = 0; i < kMonthNames.size(); i += 4) {
            if (std::memcmp(kMonthNames.data() + i, text.data(), 3) == 0) return true;
        }
    }
    return kMonthNames.find(View(text)) != std::string_view::npos;
}

// The column's text followed by the character after it (normally the blank); a column that
// ends the line stands alone.
QByteArrayView WithNextChar(const TColumnTable& columns, int n) {
    const auto& c = columns.Columns[n - 1];
    const qsizetype length = c.Offset + c.Length < columns.Line.size() ? c.Length + 1 : c.Length;
    return columns.Line.sliced(c.Offset, length);
}

// Columns enough for a month found in its usual place and the three after it.
constexpr int kUsualColumns = 9;

int FindMonthColumn(TColumnTable& columns, int bracket) {
    // Owner and group may look like month names ("Jan", "a"); the month itself sits in
    // the sixth column (fifth without link counts), so that one is tried first.
    for (int n = 6 - bracket; n >= 2; --n) {
        if (IsWithinMonthNames(columns.Text(n))) return n;
    }
    // Only now is every column needed.
    if (columns.Count == kUsualColumns) SplitColumns(columns.Line, columns);
    for (int n = 1; n <= columns.Count; ++n) {
        if (IsWithinMonthNames(WithNextChar(columns, n))) return n;
    }
    return 6 - bracket;
}

// Returns false when the line's GB2312 date columns are not where they can be read.
bool ReadGbDate(const TListingParse& parse, const TColumnTable& columns, int64_t& year,
                int64_t& month, int64_t& day, int64_t& hour, int64_t& minute) {
    hour = minute = 0;
    if (HasGbMonth(columns.Text(6))) {
        month = LenientStrToInt(columns.Text(6));
        day = LenientStrToInt(columns.Text(7));
        const QByteArrayView t = columns.Text(8);
        const qsizetype colon = FindColon(t);
        if (colon >= 0) {
            ReadClockTime(t, colon, hour, minute);
            year = YearOfRecentDate(parse, month, day);
        } else {
            // Older entries carry the year where the time would be.
            year = LenientStrToInt(t);
        }
        return true;
    }
    if (HasGbMonth(columns.Text(7))) {
        year = LenientStrToInt(columns.Text(6));
        month = LenientStrToInt(columns.Text(7));
        day = LenientStrToInt(columns.Text(8));
        return true;
    }
    return false;
}

} // namespace

void ParseUnixLine(TListingParse& parse) {
    const QByteArrayView line = ReadListingLine(parse);
    TColumnTable columns;
    if (SplitColumns(line, columns, kUsualColumns) < 6) return; // "total 24" and the like
    const int bracket = columns.Text(2).startsWith('[') ? 1 : 0;
    const int m = FindMonthColumn(columns, bracket);
    // Size before the month and day, time and name after it must all exist.
    if (m < 2 || m + 3 > columns.Count) return;

    // The name starts after the one blank that ends the time or year column, so leading
    // blanks of the name stay (ls pads the columns before it, never the name).
    const qsizetype nameStart = columns.Columns[m + 1].Offset + columns.Columns[m + 1].Length + 1;
    const QByteArrayView name = line.sliced(nameStart);
    const uint16_t attributes = ParseUnixAttributes(line);
    const int64_t size = (attributes & raFolder) ? 0 : LenientStrToInt(columns.Text(m - 1));

    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (HasGbMonth(line)) {
        if (!ReadGbDate(parse, columns, year, month, day, hour, minute)) return;
    } else {
        month = MonthFromNames(kMonthNames, WithNextChar(columns, m));
        day = LenientStrToInt(columns.Text(m + 1));
        const QByteArrayView t = columns.Text(m + 2);
        const qsizetype colon = FindColon(t);
        if (colon >= 0) {
            ReadClockTime(t, colon, hour, minute);
            year = YearOfRecentDate(parse, month, day);
        } else {
            year = LenientStrToInt(t);
        }
    }
    parse.Callback(parse.Context, name, attributes,
                   SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear), size);
}
