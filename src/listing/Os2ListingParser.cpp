// OS/2 lines: size, attribute columns (DIR for folders, A, R, H, S), date, time, name:
//   "           0           DIR   12-10-97   12:17  DOCS"
//   "       73142           A     04-13-00   09:26  README.TXT"
#include "listing/ListingDates.h"
#include "listing/ListingParser.h"

using namespace listing_detail;

namespace {

bool IsAttributeColumn(QByteArrayView text) {
    if (text == QByteArrayView("DIR")) return true;
    if (text.isEmpty() || text.size() > 4) return false;
    for (const char c : text)
        if (c != 'A' && c != 'R' && c != 'H' && c != 'S') return false;
    return true;
}

} // namespace

void ParseOS2Line(TListingParse& parse) {
    const QByteArrayView line = ReadListingLine(parse);
    TColumnTable columns;
    const int count = SplitColumns(line, columns, 8);
    const int64_t size = DigitsValue(columns.Text(1), 18);
    if (count < 4 || size < 0) return;
    bool folder = false;
    int date = 2;
    for (; date < count && IsAttributeColumn(columns.Text(date)); ++date)
        folder = folder || columns.Text(date) == QByteArrayView("DIR");
    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (date + 2 > count || columns.Text(date).size() != 8 ||
        !ReadNumericDate(columns.Text(date), '-', TDateOrder::MonthFirst, year, month, day) ||
        !ReadStrictTime(columns.Text(date + 1), hour, minute))
        return;
    parse.Report(columns.FromColumn(date + 2), folder ? raFolder : 0,
                 SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear),
                 folder ? 0 : size);
}
