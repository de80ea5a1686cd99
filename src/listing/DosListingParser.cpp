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

// "1,234,567" or "1.234.567", as servers with digit grouping write sizes: groups of three
// digits after a first group of one to three, one separator throughout; -1 for anything else.
int64_t GroupedNumber(QByteArrayView text) {
    const qsizetype n = text.size();
    char digits[32];
    qsizetype count = 0;
    if (n < 5 || n > 27) return -1;
    const char separator = text[n - 4];
    if (separator != ',' && separator != '.') return -1;
    for (qsizetype i = 0; i < n; ++i) {
        const bool atSeparator = (n - i) % 4 == 0;
        if (atSeparator && i > 0 && text[i] == separator) continue;
        if (atSeparator || text[i] < '0' || text[i] > '9') return -1;
        digits[count++] = text[i];
    }
    return LenientStrToInt(QByteArrayView(digits, count));
}

int64_t DosSize(QByteArrayView text) {
    const int64_t size = LenientStrToInt(text);
    return size >= 0 ? size : GroupedNumber(text);
}

bool IsAmPm(QByteArrayView text) {
    return text.size() == 2 && (text[1] == 'M' || text[1] == 'm') &&
           (text[0] == 'A' || text[0] == 'a' || text[0] == 'P' || text[0] == 'p');
}

// "MM-DD-YY", "MM-DD-YYYY" or "YYYY-MM-DD"; two-digit years as the fixed layout reads them.
bool ReadDosDate(QByteArrayView t, int64_t& year, int64_t& month, int64_t& day) {
    if ((t.size() == 8 || t.size() == 10) && t[2] == '-' && t[5] == '-') {
        month = DigitsValue(t.first(2), 4);
        day = DigitsValue(t.sliced(3, 2), 4);
        year = DigitsValue(t.sliced(6), 4);
        if (t.size() == 8 && year >= 0) year += year < 80 ? 2000 : 1900;
    } else if (t.size() == 10 && t[4] == '-' && t[7] == '-') {
        year = DigitsValue(t.first(4), 4);
        month = DigitsValue(t.sliced(5, 2), 4);
        day = DigitsValue(t.sliced(8, 2), 4);
    } else {
        return false;
    }
    return year >= 0 && month >= 0 && day >= 0;
}

// The forms the fixed layout misses, read by columns: four-digit and ISO dates, a blank
// before AM/PM, 24-hour times. A line that is none of them gives nothing.
void ParseDosColumns(TListingParse& parse, const TColumnTable& columns) {
    int64_t year = 0, month = 0, day = 0;
    if (!ReadDosDate(columns.Text(1), year, month, day)) return;
    const QByteArrayView time = columns.Text(2);
    const qsizetype colon = time.indexOf(':');
    if (colon < 1 || colon > 2 || time.size() < colon + 3) return;
    int64_t hour = DigitsValue(time.first(colon), 4);
    const int64_t minute = DigitsValue(time.sliced(colon + 1, 2), 4);
    QByteArrayView suffix = time.sliced(colon + 3);
    int next = 3;
    if (suffix.isEmpty() && IsAmPm(columns.Text(3))) suffix = columns.Text(next++);
    if (hour < 0 || minute < 0 || !(suffix.isEmpty() || IsAmPm(suffix))) return;
    if (columns.Count < next + 1) return;
    // 12 keeps its value with either suffix, as in the fixed layout.
    if ((suffix.startsWith('P') || suffix.startsWith('p')) && hour < 12) hour += 12;

    uint16_t attributes = 0;
    int64_t size = 0;
    if (columns.Text(next) == QByteArrayView("<DIR>"))
        attributes = raFolder;
    else
        size = DosSize(columns.Text(next));
    parse.Report(columns.FromColumn(next + 1), attributes,
                 SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear), size);
}

// "MM-DD-YYYY " or "YYYY-MM-DD " at the start of the line that begins at the position.
bool LooksLikeLongDateDosLine(const TListingParse& parse) {
    const char* p = parse.Pos;
    for (qsizetype i = 0; i < 11; ++i) {
        if (p + i >= parse.End || p[i] == '\n' || p[i] == '\r' || p[i] == '\0') return false;
    }
    return ((p[2] == '-' && p[5] == '-') || (p[4] == '-' && p[7] == '-')) && p[10] == ' ';
}

} // namespace

void ParseWindowsNTLine(TListingParse& parse) {
    // Servers of this kind may also answer in Unix style.
    if (!LooksLikeDosLine(parse)) {
        if (!LooksLikeLongDateDosLine(parse)) {
            ParseUnixLine(parse);
            return;
        }
        TColumnTable columns;
        SplitColumns(ReadListingLine(parse), columns);
        ParseDosColumns(parse, columns);
        return;
    }
    const QByteArrayView line = ReadListingLine(parse);
    TColumnTable columns;
    if (SplitColumns(line, columns) < 4) return;
    if (IsAmPm(columns.Text(3))) {
        ParseDosColumns(parse, columns);
        return;
    }
    uint16_t attributes = 0;
    int64_t size = 0;
    if (columns.Text(3) == QByteArrayView("<DIR>"))
        attributes = raFolder;
    else
        size = DosSize(columns.Text(3));

    const int64_t month = LenientStrToInt(Chars(line, 1, 2));
    const int64_t day = LenientStrToInt(Chars(line, 4, 5));
    int64_t year = LenientStrToInt(Chars(line, 7, 8));
    int64_t hour = LenientStrToInt(Chars(line, 11, 12));
    const int64_t minute = LenientStrToInt(Chars(line, 14, 15));
    const QByteArrayView suffix = Chars(line, 16, 16);
    // 12 keeps its value with either suffix, as these servers write it.
    if ((suffix == QByteArrayView("P") || suffix == QByteArrayView("p")) && hour < 12) hour += 12;
    year += year < 80 ? 2000 : 1900;

    parse.Report(columns.FromColumn(4), attributes,
                 SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear), size);
}
