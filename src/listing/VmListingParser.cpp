// IBM VM (CMS) lines: "PROFILE  EXEC  V  68  8  1 1997-01-27 10:57:12 ...".
#include "listing/ListingParser.h"

#include <limits>

namespace {

// Record length times records: what the file holds when the line gives both (for a
// variable-length file, the most it can hold). Otherwise the record length, as before.
int64_t VmSize(const TColumnTable& columns) {
    const int64_t recordLength = DigitsValue(columns.Text(4), 18);
    const int64_t records = DigitsValue(columns.Text(5), 18);
    if (recordLength < 0 || records < 0) return LenientStrToInt(columns.Text(4));
    if (records != 0 && recordLength > std::numeric_limits<int64_t>::max() / records) return -1;
    return recordLength * records;
}

} // namespace

void ParseIBMVMLine(TListingParse& parse) {
    const QByteArrayView line = ReadListingLine(parse);
    TColumnTable columns;
    if (SplitColumns(line, columns) < 8) return;
    const QByteArray name = columns.Text(1).toByteArray() + '.' + columns.Text(2).toByteArray();
    // The listing's own date columns are not read: the entry is dated today.
    parse.Report(name, 0,
                 SafeEncodeDateTime(parse.TodayYear, parse.TodayMonth, parse.TodayDay, 0, 0,
                                    parse.TodayYear),
                 VmSize(columns));
}
