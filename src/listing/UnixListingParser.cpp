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

// "13:45", "9:05", "13:45:12" or "13:45:12.123456789" (seconds are not kept).
bool IsClockTime(QByteArrayView text) {
    const qsizetype colon = FindColon(text);
    return (colon == 1 || colon == 2) && text.size() >= colon + 3 &&
           DigitsValue(text.first(colon), 2) >= 0 &&
           DigitsValue(text.sliced(colon + 1, 2), 2) >= 0 &&
           (text.size() == colon + 3 || text[colon + 3] == ':');
}

// A numeric time zone ("+0200") after a full time.
bool IsZoneOffset(QByteArrayView text) {
    return text.size() == 5 && (text[0] == '+' || text[0] == '-') &&
           DigitsValue(text.sliced(1), 4) >= 0;
}

// Reports the entry of a line whose date columns end with column last; the size is the
// column before first (for a device's "major, minor", the minor, as in the usual form).
void ReportEntry(TListingParse& parse, const TColumnTable& columns, int first, int last,
                 qsizetype extraBlanks, int64_t year, int64_t month, int64_t day, int64_t hour,
                 int64_t minute) {
    const QByteArrayView line = columns.Line;
    // As in the usual form, the name starts after the one blank that ends the date.
    qsizetype nameStart = columns.Columns[last - 1].Offset + columns.Columns[last - 1].Length + 1;
    for (; extraBlanks > 0 && nameStart < line.size() && line[nameStart] == ' '; --extraBlanks)
        ++nameStart;
    const uint16_t attributes = ParseUnixAttributes(line);
    const int64_t size = (attributes & raFolder) ? 0 : LenientStrToInt(columns.Text(first - 1));
    parse.Report(line.sliced(nameStart), attributes,
                 SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear), size);
}

// ISO dates as "ls --time-style=long-iso|full-iso|iso" write them: "2024-05-06 13:45",
// "2024-05-06 13:45:12.5 +0200", "2023-05-06" alone for old files, "05-06 13:45" for
// recent ones. A zone is skipped, not applied: dates stay in server time.
bool ParseIsoDateLine(TListingParse& parse, TColumnTable& columns, int bracket) {
    // The date follows the size, one column earlier without a group column and one later
    // after a device's "major, minor".
    for (int d = 5 - bracket; d <= 7 - bracket; ++d) {
        const QByteArrayView t = columns.Text(d);
        int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
        if (t.size() == 10 && t[4] == '-' && t[7] == '-') {
            year = DigitsValue(t.first(4), 4);
            month = DigitsValue(t.sliced(5, 2), 2);
            day = DigitsValue(t.sliced(8, 2), 2);
        } else if (t.size() == 5 && t[2] == '-' && IsClockTime(columns.Text(d + 1))) {
            month = DigitsValue(t.first(2), 2);
            day = DigitsValue(t.sliced(3, 2), 2);
            year = YearOfRecentDate(parse, month, day);
        } else {
            continue;
        }
        if (year < 0 || month < 0 || day < 0) continue;
        if (columns.Count == kUsualColumns) SplitColumns(columns.Line, columns);
        int last = d;
        qsizetype extraBlanks = 0;
        if (IsClockTime(columns.Text(d + 1))) {
            last = d + 1;
            ReadClockTime(columns.Text(last), FindColon(columns.Text(last)), hour, minute);
            if (IsZoneOffset(columns.Text(last + 1)) && last + 2 <= columns.Count) ++last;
        } else {
            // "ls" pads a date alone to the width of "MM-DD HH:MM" with one more blank.
            extraBlanks = 1;
        }
        if (last + 1 > columns.Count) return false;
        ReportEntry(parse, columns, d, last, extraBlanks, year, month, day, hour, minute);
        return true;
    }
    return false;
}

// Day before month, as some locales' "ls" write it: "6 May 13:45", "6 May  2023".
bool ParseDayFirstLine(TListingParse& parse, TColumnTable& columns, int bracket) {
    // The month sits after size and day: with a group column, without one, or after a
    // device's "major, minor".
    for (int m = 6 - bracket; m <= 8 - bracket; ++m) {
        const QByteArrayView t = columns.Text(m);
        if (t.size() != 3 || !IsWithinMonthNames(t)) continue;
        const int64_t day = DigitsValue(columns.Text(m - 1), 2);
        const QByteArrayView timeOrYear = columns.Text(m + 1);
        const bool hasTime = IsClockTime(timeOrYear);
        const int64_t year = hasTime ? 0 : DigitsValue(timeOrYear, 4);
        if (day < 0 || (!hasTime && timeOrYear.size() != 4) || year < 0 ||
            LenientStrToInt(columns.Text(m - 2)) < 0)
            continue;
        if (columns.Count == kUsualColumns) SplitColumns(columns.Line, columns);
        if (m + 2 > columns.Count) return false;
        const int64_t month = MonthFromNames(kMonthNames, t);
        int64_t hour = 0, minute = 0;
        if (hasTime) ReadClockTime(timeOrYear, FindColon(timeOrYear), hour, minute);
        ReportEntry(parse, columns, m - 1, m + 1, 0,
                    hasTime ? YearOfRecentDate(parse, month, day) : year, month, day, hour, minute);
        return true;
    }
    return false;
}

// The usual form in its usual place: a size of digits, a month name, a day of one or two
// digits, then a time or a year. Neither the ISO nor the day-first reading can take such a
// line, and the month search would stop at its first try, so all three are skipped. The
// values read on the way are kept: the month (1..12), the day and the size.
struct TUsualDate {
    int64_t Month = 0, Day = -1, Size = -1;
};
bool IsUsualDateColumns(const TColumnTable& columns, int bracket, TUsualDate& usual) {
    const int m = 6 - bracket;
    const QByteArrayView month = columns.Text(m);
    const QByteArrayView day = columns.Text(m + 1);
    const QByteArrayView last = columns.Text(m + 2);
    if (month.size() != 3 || day.isEmpty() || day.size() > 2 || last.isEmpty()) return false;
    for (size_t i = 0; i < kMonthNames.size() && usual.Month == 0; i += 4)
        if (std::memcmp(kMonthNames.data() + i, month.data(), 3) == 0) usual.Month = int(i / 4) + 1;
    if (usual.Month == 0) return false;
    usual.Day = DigitsValue(day, 2);
    usual.Size = DigitsValue(columns.Text(m - 1), 18);
    return usual.Day >= 0 && usual.Size >= 0 &&
           (FindColon(last) >= 0 || DigitsValue(last, 18) >= 0);
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
    if (SplitColumns(line, columns, kUsualColumns) < 6) {
        // "total 24" holds no entry; other short lines are not of this kind.
        parse.Understood = columns.Count == 2 && columns.Text(1) == QByteArrayView("total") &&
                           LenientStrToInt(columns.Text(2)) >= 0;
        return;
    }
    const int bracket = columns.Text(2).startsWith('[') ? 1 : 0;
    int m = 6 - bracket;
    TUsualDate usual;
    const bool isUsual = IsUsualDateColumns(columns, bracket, usual);
    if (!isUsual) {
        if (ParseIsoDateLine(parse, columns, bracket) || ParseDayFirstLine(parse, columns, bracket))
            return;
        m = FindMonthColumn(columns, bracket);
    }
    // Size before the month and day, time and name after it must all exist.
    if (m < 2 || m + 3 > columns.Count) return;

    // The name starts after the one blank that ends the time or year column, so leading
    // blanks of the name stay (ls pads the columns before it, never the name).
    const qsizetype nameStart = columns.Columns[m + 1].Offset + columns.Columns[m + 1].Length + 1;
    const QByteArrayView name = line.sliced(nameStart);
    const uint16_t attributes = ParseUnixAttributes(line);
    const int64_t size = (attributes & raFolder) ? 0
                         : isUsual               ? usual.Size
                                                 : LenientStrToInt(columns.Text(m - 1));

    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (parse.LineHighBytes && HasGbMonth(line)) {
        if (!ReadGbDate(parse, columns, year, month, day, hour, minute)) return;
    } else {
        month = isUsual ? usual.Month : MonthFromNames(kMonthNames, WithNextChar(columns, m));
        day = isUsual ? usual.Day : LenientStrToInt(columns.Text(m + 1));
        const QByteArrayView t = columns.Text(m + 2);
        const qsizetype colon = FindColon(t);
        if (colon >= 0) {
            ReadClockTime(t, colon, hour, minute);
            year = YearOfRecentDate(parse, month, day);
        } else {
            year = LenientStrToInt(t);
        }
    }
    parse.Report(name, attributes,
                 SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear), size);
}
