// Line reading, column splitting and the number and date helpers the parsers share.
#include "listing/DebugLog.h"
#include "listing/ListingParser.h"
#include "listing/ListingScan.h"

#include <QDateTime>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

TListingParse::TListingParse(QByteArrayView text, const QDate& today, TListingCallback callback,
                             void* context)
    : Pos(text.data()), End(text.data() + text.size()), Callback(callback), Context(context),
      TodayYear(today.year()), TodayMonth(today.month()), TodayDay(today.day()),
      LineFeedInLine(text.endsWith("\r\n")) {}

namespace {

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r' || c == '\0';
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian), H. Hinnant's algorithm.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

const int64_t kDayZero = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int64_t y, int64_t m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

// Optional sign and at least one digit, nothing else; false on 64-bit overflow.
bool ParseDecimal(QByteArrayView text, int64_t& value) {
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i >= text.size()) return false;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                    : uint64_t(std::numeric_limits<int64_t>::max());
    for (; i < text.size(); ++i) {
        const unsigned digit = unsigned(uint8_t(text[i])) - '0';
        if (digit > 9) return false;
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? int64_t(0 - magnitude) : int64_t(magnitude);
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

QByteArrayView ReadListingLine(TListingParse& parse) {
    const char* start = parse.Pos;
    parse.LineHighBytes = false;
    const char* p = listing_detail::FindLineEnd(start, parse.End, parse.LineHighBytes);
    // A CR before an LF stops the search first, so any LF found here stands alone.
    while (parse.LineFeedInLine && p < parse.End && *p == '\n')
        p = listing_detail::FindLineEnd(p + 1, parse.End, parse.LineHighBytes);
    const QByteArrayView line(start, p - start);
    // NUL ends a line rather than the listing: a stray NUL must not hide the rest.
    while (p < parse.End && IsLineEnd(*p))
        ++p;
    parse.Pos = p;
    if (DebugLogEnabled()) DebugLogFmt("Parser Line: \"%.*s\"", int(line.size()), line.data());
    return line;
}

int SplitColumns(QByteArrayView line, TColumnTable& table, int maxColumns) {
    maxColumns = qBound(0, maxColumns, MaxListingColumns);
    table.Line = line;
    TColumnTable::Column* const columns = table.Columns;
    const char* const begin = line.data();
    const qsizetype length = line.size();
    // Sixteen bytes at a time: a column starts where a non-blank follows a blank (or the
    // line start) and ends where a blank follows a non-blank.
    int starts = 0;
    int ends = 0;
    unsigned previousNonBlank = 0;
    for (qsizetype base = 0; base < length; base += 16) {
        const int n = int(qMin<qsizetype>(16, length - base));
        const unsigned valid = n == 16 ? 0xFFFFu : (1u << n) - 1;
        const unsigned nonBlank = ~listing_detail::BlankMask16(begin + base, n) & valid;
        const unsigned before = (nonBlank << 1) | previousNonBlank;
        unsigned startBits = nonBlank & ~before;
        unsigned endBits = ~nonBlank & before & valid;
        for (; startBits != 0 && starts < maxColumns; startBits &= startBits - 1)
            columns[starts++].Offset = int(base) + __builtin_ctz(startBits);
        for (; endBits != 0 && ends < starts; endBits &= endBits - 1, ++ends)
            columns[ends].Length = int(base) + __builtin_ctz(endBits) - columns[ends].Offset;
        if (starts == maxColumns && ends == starts) break;
        previousNonBlank = (nonBlank >> (n - 1)) & 1u;
    }
    if (ends < starts) columns[ends].Length = int(length) - columns[ends].Offset;
    table.Count = starts;
    return starts;
}

uint16_t ParseUnixAttributes(QByteArrayView line) {
    uint16_t attributes = 0;
    if (line.isEmpty()) return attributes;
    if (line[0] == 'd')
        attributes |= raFolder;
    else if (line[0] == 'l')
        attributes |= raLink;
    static const char letters[9] = {'r', 'w', 'x', 'r', 'w', 'x', 'r', 'w', 'x'};
    const char* mode = line.data() + 1;
    if (line.size() >= 10) {
        for (int i = 0; i < 9; ++i)
            attributes |= uint16_t(int(mode[i] == letters[i]) << (i + 2));
        return attributes;
    }
    for (int i = 0; i + 1 < line.size(); ++i)
        attributes |= uint16_t(int(mode[i] == letters[i]) << (i + 2));
    return attributes;
}

int64_t DigitsValue(QByteArrayView text, qsizetype maxDigits) {
    if (text.isEmpty() || text.size() > maxDigits || text.size() > 18) return -1;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

int64_t LenientStrToInt(QByteArrayView text) {
    // Most columns are a few plain digits, which cannot overflow.
    if (!text.isEmpty() && text.size() <= 18) {
        int64_t plain = 0;
        qsizetype i = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i)
            plain = plain * 10 + (text[i] - '0');
        if (i == text.size()) return plain;
    }
    int64_t value = 0;
    if (ParseDecimal(text, value)) return value;
    qsizetype first = 0;
    while (first < text.size() && !IsDigit(text[first]))
        ++first;
    if (first == text.size()) return -1;
    qsizetype last = text.size() - 1;
    while (!IsDigit(text[last]))
        --last;
    if (ParseDecimal(text.sliced(first, last - first + 1), value)) return value;
    return -1;
}

double SafeEncodeDateTime(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                          int fallbackYear) {
    const bool valid = year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                       day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
                       minute <= 59;
    if (!valid) {
        year = fallbackYear;
        month = day = 1;
        hour = minute = 0;
    }
    const double days = double(DaysFromCivil(year, month, day) - kDayZero);
    const double time = double(hour * 60 + minute) / 1440.0;
    // Before the zero day the fraction still counts forward from midnight.
    return days >= 0 ? days + time : days - time;
}

TDayNumberParts SplitDayNumber(double date) {
    TDayNumberParts parts{};
    if (!std::isfinite(date) || std::fabs(date) > 4.0e6) date = 0;
    const double whole = std::trunc(date);
    int minutes = int(std::lround(std::fabs(date - whole) * 1440.0));
    int64_t days = int64_t(whole);
    if (minutes >= 1440) {
        minutes -= 1440;
        days += 1;
    }
    CivilFromDays(days + kDayZero, parts.Year, parts.Month, parts.Day);
    parts.Hour = minutes / 60;
    parts.Minute = minutes % 60;
    return parts;
}

QByteArray DayNumberText(double date) {
    const TDayNumberParts p = SplitDayNumber(date);
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d", p.Year, p.Month,
                                p.Day, p.Hour, p.Minute);
    return QByteArray(buffer, n);
}

double LocalDayNumber(int64_t utcSeconds) {
    // Past about year 9999 either way there is no day number to give.
    if (utcSeconds < -62135596800LL || utcSeconds > 253402300799LL) return 0;
    const QDateTime local = QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC).toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    if (!d.isValid() || d.year() < 1 || d.year() > 9999) return 0;
    return SafeEncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), d.year());
}
