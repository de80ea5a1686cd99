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

} // namespace listing_detail
