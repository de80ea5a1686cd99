// IBM VM (CMS) lines: "PROFILE  EXEC  V  68  8  1 1997-01-27 10:57:12 ...".
#include "listing/ListingParser.h"

void ParseIBMVMLine(TListingParse& parse) {
    const QByteArrayView line = ReadListingLine(parse);
    TColumnTable columns;
    if (SplitColumns(line, columns) < 8) return;
    const QByteArray name = columns.Text(1).toByteArray() + '.' + columns.Text(2).toByteArray();
    // The listing's own date columns are not read: the entry is dated today.
    parse.Callback(parse.Context, name, 0,
                   SafeEncodeDateTime(parse.TodayYear, parse.TodayMonth, parse.TodayDay, 0, 0,
                                      parse.TodayYear),
                   LenientStrToInt(columns.Text(4)));
}
