// Microsoft NT (IIS) DOS-style lines: "10-28-97  03:05PM  <DIR>  Reports".
#include "listing/ListingParser.h"

namespace {

// Characters from..to (1-based) of the line, as far as they exist.
QByteArrayView Chars(QByteArrayView line, qsizetype from, qsizetype to) {
    if (from > line.size()) return {};
    return line.sliced(from - 1, qMin(to, line.size()) - from + 1);
}

// "MM-DD-YY  HH:MM" at the start of the line that begins at the position.
bool LooksLikeDosLine(const TListingParse& parse) {
    const char* p = parse.Pos;
    for (qsizetype i = 0; i < 13; ++i) {
        if (p + i >= parse.End || p[i] == '\n' || p[i] == '\r' || p[i] == '\0') return false;
    }
    return p[2] == '-' && p[12] == ':';
}

} // namespace

void ParseWindowsNTLine(TListingParse& parse) {
    // Servers of this kind may also answer in Unix style.
    if (!LooksLikeDosLine(parse)) {
        ParseUnixLine(parse);
        return;
    }
    const QByteArrayView line = ReadListingLine(parse);
    TColumnTable columns;
    if (SplitColumns(line, columns) < 4) return;
    uint16_t attributes = 0;
    int64_t size = 0;
    if (columns.Text(3) == QByteArrayView("<DIR>"))
        attributes = raFolder;
    else
        size = LenientStrToInt(columns.Text(3));

    const int64_t month = LenientStrToInt(Chars(line, 1, 2));
    const int64_t day = LenientStrToInt(Chars(line, 4, 5));
    int64_t year = LenientStrToInt(Chars(line, 7, 8));
    int64_t hour = LenientStrToInt(Chars(line, 11, 12));
    const int64_t minute = LenientStrToInt(Chars(line, 14, 15));
    const QByteArrayView suffix = Chars(line, 16, 16);
    // 12 keeps its value with either suffix, as these servers write it.
    if ((suffix == QByteArrayView("P") || suffix == QByteArrayView("p")) && hour < 12) hour += 12;
    year += year < 80 ? 2000 : 1900;

    parse.Callback(parse.Context, columns.FromColumn(4), attributes,
                   SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear), size);
}
