// z/OS (MVS) listings. Datasets of a high-level qualifier:
//   "WYOSPT 3420   2003/05/21  1  200  FB      80  8053  PO  USER.SOURCE"
// with "Migrated" and "Pseudo Directory" in place of the details for some; members of a
// partitioned dataset, with statistics, as load modules, or as bare names:
//   "ALLOCATE  01.03 2002/09/12 2002/10/11 09:37    11    10     0 USER"
//   "IEFBR14   000018   00000F          00 FO             RN RU            31    ANY"
//   "NOSTATS"
#include "listing/ListingDates.h"
#include "listing/ListingParser.h"

using namespace listing_detail;

namespace {

bool ReadYearFirstDate(QByteArrayView text, int64_t& year, int64_t& month, int64_t& day) {
    return ReadNumericDate(text, '/', TDateOrder::YearFirst, year, month, day);
}

// A dataset name as written, quotes around a fully qualified name dropped.
QByteArrayView DatasetName(QByteArrayView text) {
    if (text.size() > 2 && text.startsWith('\'') && text.endsWith('\''))
        return text.sliced(1, text.size() - 2);
    return text;
}

// Member names: one to eight letters, digits and national characters, not starting with a
// digit.
bool IsMemberName(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 8 || (text[0] >= '0' && text[0] <= '9')) return false;
    for (const char c : text) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '@' || c == '#' || c == '$';
        if (!ok) return false;
    }
    return true;
}

int64_t HexValue(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 15) return -1;
    int64_t value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

bool IsHeading(const TColumnTable& columns) {
    const QByteArrayView first = columns.Text(1);
    return (first == QByteArrayView("Volume") && columns.Text(2) == QByteArrayView("Unit")) ||
           (first == QByteArrayView("Name") && (columns.Text(2) == QByteArrayView("VV.MM") ||
                                                columns.Text(2) == QByteArrayView("Size")));
}

// "Volume Unit Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname": a partitioned dataset
// (PO, PO-E) holds members and so is a folder. Used counts tracks, not bytes: no size.
bool ParseDataset(TListingParse& parse, const TColumnTable& columns) {
    // Extents and tracks used are plain numbers.
    if (columns.Count < 9 || DigitsValue(columns.Text(4), 9) < 0 ||
        DigitsValue(columns.Text(5), 9) < 0)
        return false;
    const QByteArrayView referred = columns.Text(3);
    int64_t year = 0, month = 0, day = 0;
    double date = 0;
    if (ReadYearFirstDate(referred, year, month, day))
        date = SafeEncodeDateTime(year, month, day, 0, 0, parse.TodayYear);
    else if (referred != QByteArrayView("**NONE**"))
        return false;
    const QByteArrayView dsorg = columns.Text(columns.Count - 1);
    const bool partitioned = dsorg == QByteArrayView("PO") || dsorg == QByteArrayView("PO-E");
    parse.Report(DatasetName(columns.Text(columns.Count)), partitioned ? raFolder : 0, date, 0);
    return true;
}

// "Name VV.MM Created Changed Size Init Mod Id": the size counts records.
bool ParseMemberWithStatistics(TListingParse& parse, const TColumnTable& columns) {
    const QByteArrayView version = columns.Text(2);
    if (columns.Count < 9 || version.size() != 5 || version[2] != '.') return false;
    int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, created[3];
    if (!ReadYearFirstDate(columns.Text(3), created[0], created[1], created[2]) ||
        !ReadYearFirstDate(columns.Text(4), year, month, day) ||
        !ReadStrictTime(columns.Text(5), hour, minute))
        return false;
    const int64_t records = DigitsValue(columns.Text(6), 18);
    if (records < 0) return false;
    parse.Report(columns.Text(1), 0,
                 SafeEncodeDateTime(year, month, day, hour, minute, parse.TodayYear), records);
    return true;
}

// "Name Size TTR Alias-of AC Attributes Amode Rmode": size and TTR in hexadecimal.
bool ParseLoadModule(TListingParse& parse, const TColumnTable& columns) {
    if (columns.Count < 3 || columns.Text(2).size() != 6 || columns.Text(3).size() != 6)
        return false;
    const int64_t size = HexValue(columns.Text(2));
    if (size < 0 || HexValue(columns.Text(3)) < 0) return false;
    parse.Report(columns.Text(1), 0, 0, size);
    return true;
}

} // namespace

void ParseMVSLine(TListingParse& parse) {
    const QByteArrayView line = ReadListingLine(parse);
    TColumnTable columns;
    if (SplitColumns(line, columns) == 0) return;
    if (IsHeading(columns)) {
        parse.Understood = true;
        return;
    }
    const QByteArrayView first = columns.Text(1);
    if (columns.Count == 2 && first == QByteArrayView("Migrated")) {
        parse.Report(DatasetName(columns.Text(2)), 0, 0, 0);
        return;
    }
    if (columns.Count == 3 && first == QByteArrayView("Pseudo") &&
        columns.Text(2) == QByteArrayView("Directory")) {
        parse.Report(DatasetName(columns.Text(3)), raFolder, 0, 0);
        return;
    }
    if (columns.Count == 1) {
        if (IsMemberName(first)) parse.Report(first, 0, 0, 0);
        return;
    }
    if (!IsMemberName(first) ||
        !(ParseMemberWithStatistics(parse, columns) || ParseLoadModule(parse, columns)))
        ParseDataset(parse, columns);
}
