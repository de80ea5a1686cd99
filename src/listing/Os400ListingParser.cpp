// IBM i (OS/400) lines: owner, size, date, time, object type, name, as in
//   "QSYS           77824 02/23/00 15:09:55 *DIR       QOpenSys/"
// or, for members and objects without details, owner, type and name:
//   "QSYS                                    *MEM       QGPL.LIB/QCLSRC.FILE/ABC.MBR"
#include "listing/ListingDates.h"
#include "listing/ListingParser.h"

using namespace listing_detail;

namespace {

// Objects that hold others: directories, libraries, folders of the document library and
// database files (which hold members).
bool IsContainerType(QByteArrayView type) {
    for (const char* container : {"*DIR", "*DDIR", "*LIB", "*FLR", "*FILE"})
        if (type == QByteArrayView(container)) return true;
    return false;
}

// The job's date format decides the order: "02/23/00" (month first), "23.02.00" or
// "23-02-00" (day first), "2000-02-23" (year first).
bool ReadObjectDate(QByteArrayView text, int64_t& year, int64_t& month, int64_t& day) {
    for (const char separator : {'/', '.', '-'}) {
        const qsizetype at = text.indexOf(separator);
        if (at < 0) continue;
        const TDateOrder order = at == 4            ? TDateOrder::YearFirst
                                 : separator == '/' ? TDateOrder::MonthFirst
                                                    : TDateOrder::DayFirst;
        return ReadNumericDate(text, separator, order, year, month, day);
    }
    return false;
}

void ReportObject(TListingParse& parse, QByteArrayView type, QByteArrayView name, double date,
                  int64_t size) {
    // Containers are listed with a trailing "/", which is no part of their name.
    const bool container = IsContainerType(type) || name.endsWith('/');
    if (name.endsWith('/')) name.chop(1);
    parse.Report(name, container ? raFolder : 0, date, container ? 0 : size);
}

} // namespace

void ParseOS400Line(TListingParse& parse) {
    const QByteArrayView line = ReadListingLine(parse);
    TColumnTable columns;
    const int count = SplitColumns(line, columns, 6);
    if (count >= 3 && columns.Text(2).startsWith('*')) {
        ReportObject(parse, columns.Text(2), columns.FromColumn(3), 0, 0);
        return;
    }
    if (count < 6 || !columns.Text(5).startsWith('*')) return;
    const int64_t size = DigitsValue(columns.Text(2), 18);
    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (size < 0 || !ReadObjectDate(columns.Text(3), year, month, day) ||
        !ReadStrictTime(columns.Text(4), hour, minute))
        return;
    ReportObject(parse, columns.Text(5), columns.FromColumn(6),
                 SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear), size);
}
