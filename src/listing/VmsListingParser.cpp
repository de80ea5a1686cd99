// VMS (MultiNet, UCX) lines: "NAME.EXT;3  12  18-MAR-1998 12:34:56 [GROUP,OWNER] (RWED,...)",
// where a long name may stand alone on a line with its details on the next.
#include "listing/ListingDates.h"
#include "listing/ListingParser.h"

#include <limits>

using namespace listing_detail;

namespace {

// A wrapped name is a few hundred bytes at most; a run of one-column lines must not build
// an ever longer continuation (each line would copy all before it).
constexpr qsizetype kMaxContinuation = 4096;

constexpr int64_t kBlockSize = 512;

// Pieces of "18-MAR-1998-12:34:56" split at '-' and ':'; missing pieces stay empty.
void SplitDatePieces(QByteArrayView text, QByteArrayView (&pieces)[5]) {
    int n = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size() && n < 5; ++i) {
        if (i == text.size() || text[i] == '-' || text[i] == ':') {
            pieces[n++] = text.sliced(start, i - start);
            start = i + 1;
        }
    }
}

// "Directory DISK$USER:[FTP]", "Total of 3 files, 12 blocks.", "Grand total of ...".
bool IsHeadingOrTotal(QByteArrayView line) {
    return line.startsWith("Directory ") || line.startsWith("Total of ") ||
           line.startsWith("Grand total of ");
}

} // namespace

void ParseVMSLine(TListingParse& parse) {
    QByteArrayView line = ReadListingLine(parse);
    if (line.isEmpty()) return;
    QByteArray joined;
    if (!parse.VMSContinuation.isEmpty()) {
        joined = parse.VMSContinuation;
        joined.append(line);
        parse.VMSContinuation.clear();
        line = joined;
    }
    if (line.indexOf(';') < 0) {
        parse.Understood = IsHeadingOrTotal(line);
        return;
    }
    TColumnTable columns;
    if (SplitColumns(line, columns) == 1) {
        if (line.size() <= kMaxContinuation) parse.VMSContinuation = line.toByteArray();
        parse.Understood = true;
        return;
    }

    QByteArrayView name = columns.Text(1);
    name = name.first(name.indexOf(';') >= 0 ? name.indexOf(';') : name.size());
    uint16_t attributes = 0;
    const qsizetype dir = name.indexOf(QByteArrayView(".DIR"));
    if (dir >= 0) {
        name = name.first(dir);
        attributes = raFolder;
    }

    // The size column counts 512-byte blocks ("12/14", used and allocated, gives -1).
    // A block count whose byte size does not fit (either way) is no size either.
    int64_t size = LenientStrToInt(columns.Text(2));
    if (size < 0 || size > std::numeric_limits<int64_t>::max() / kBlockSize)
        size = -1;
    else
        size *= kBlockSize;

    const QByteArray stamp = columns.Text(3).toByteArray() + '-' + columns.Text(4).toByteArray();
    QByteArrayView pieces[5];
    SplitDatePieces(stamp, pieces);
    const int64_t day = LenientStrToInt(pieces[0]);
    const int64_t month = MonthFromNames(kMonthNamesUpper, pieces[1]);
    const int64_t year = LenientStrToInt(pieces[2]);
    const int64_t hour = LenientStrToInt(pieces[3]);
    const int64_t minute = LenientStrToInt(pieces[4]);

    parse.Report(name, attributes,
                 SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear), size);
}
