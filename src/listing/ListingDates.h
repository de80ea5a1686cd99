#pragma once

// Shared by the parsers only: the month names and the reading of time columns.
#include "listing/ListingParser.h"

#include <cstring>
#include <string_view>

namespace listing_detail {

inline constexpr std::string_view kMonthNames = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec ";
inline constexpr std::string_view kMonthNamesUpper =
    "JAN FEB MAR APR MAY JUN JUL AUG SEP OCT NOV DEC ";

inline std::string_view View(QByteArrayView text) {
    return std::string_view(text.data(), size_t(text.size()));
}

// Month from the position of the text within the names: 1 for a text not found (or empty).
inline int MonthFromNames(std::string_view names, QByteArrayView text) {
    if (text.isEmpty()) return 1;
    // The usual case, a whole month name and its blank, without a substring search.
    if (text.size() == 4 && text[3] == ' ') {
        for (size_t i = 0; i < names.size(); i += 4) {
            if (std::memcmp(names.data() + i, text.data(), 4) == 0) return int(i / 4) + 1;
        }
    }
    const size_t at = names.find(View(text));
    return at == std::string_view::npos ? 1 : int(at / 4) + 1;
}

// Position of the first ':' in a short column, or -1.
inline qsizetype FindColon(QByteArrayView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == ':') return i;
    }
    return -1;
}

// "10:15", "9:45": hours before the first colon, minutes after it (up to any second colon).
inline void ReadClockTime(QByteArrayView text, qsizetype colon, int64_t& hour, int64_t& minute) {
    hour = LenientStrToInt(text.first(colon));
    QByteArrayView rest = text.sliced(colon + 1);
    const qsizetype next = FindColon(rest);
    if (next >= 0) rest = rest.first(next);
    minute = LenientStrToInt(rest);
}

// A date without a year is within the last year: last year when it would lie ahead.
inline int64_t YearOfRecentDate(const TListingParse& parse, int64_t month, int64_t day) {
    if (month > parse.TodayMonth || (month == parse.TodayMonth && day > parse.TodayDay))
        return parse.TodayYear - 1;
    return parse.TodayYear;
}

enum class TDateOrder { YearFirst, MonthFirst, DayFirst };

// Three numbers split by one separator ("2003/05/21", "02/23/00", "23.02.2000"); a two-digit
// year below 80 is in this century. False when the text is not of that shape.
inline bool ReadNumericDate(QByteArrayView text, char separator, TDateOrder order, int64_t& year,
                            int64_t& month, int64_t& day) {
    const qsizetype first = text.indexOf(separator);
    const qsizetype second = first < 0 ? -1 : text.indexOf(separator, first + 1);
    if (second < 0) return false;
    const int64_t a = DigitsValue(text.first(first), 4);
    const int64_t b = DigitsValue(text.sliced(first + 1, second - first - 1), 2);
    const QByteArrayView last = text.sliced(second + 1);
    const int64_t c = DigitsValue(last, 4);
    if (a < 0 || b < 0 || c < 0) return false;
    const qsizetype yearDigits = order == TDateOrder::YearFirst ? first : last.size();
    if (yearDigits != 2 && yearDigits != 4) return false;
    if (order == TDateOrder::YearFirst) {
        year = a, month = b, day = c;
    } else if (order == TDateOrder::MonthFirst) {
        month = a, day = b, year = c;
    } else {
        day = a, month = b, year = c;
    }
    if (yearDigits == 2) year += year < 80 ? 2000 : 1900;
    return true;
}

// "9:05", "12:17" or "15:09:55"; seconds are not kept.
inline bool ReadStrictTime(QByteArrayView text, int64_t& hour, int64_t& minute) {
    const qsizetype colon = FindColon(text);
    if (colon < 1 || colon > 2 || text.size() < colon + 3) return false;
    if (text.size() != colon + 3 && (text.size() != colon + 6 || text[colon + 3] != ':' ||
                                     DigitsValue(text.sliced(colon + 4), 2) < 0))
        return false;
    hour = DigitsValue(text.first(colon), 2);
    minute = DigitsValue(text.sliced(colon + 1, 2), 2);
    return hour >= 0 && minute >= 0;
}

} // namespace listing_detail
