// EPLF lines: "+" then facts separated by commas, a tab, then the name:
//   "+i8388621.29609,m824255902,/,\tdev"
//   "+i8388621.44468,m839956783,r,s10376,up644,\tRFCEPLF"
// Facts read: "/" a folder, "s" the size, "m" the modification in seconds since 1970
// (UTC), "up" the octal permissions. Others ("r", "i" identities) are ignored.
#include "listing/ListingParser.h"

namespace {

uint16_t PermissionAttributes(QByteArrayView octal) {
    if (octal.isEmpty() || octal.size() > 4) return 0;
    int mode = 0;
    for (const char c : octal) {
        if (c < '0' || c > '7') return 0;
        mode = mode * 8 + (c - '0');
    }
    uint16_t attributes = 0;
    for (int i = 0; i < 9; ++i)
        if (mode & (0400 >> i)) attributes |= uint16_t(raOwnerRead << i);
    return attributes;
}

} // namespace

void ParseEPLFLine(TListingParse& parse) {
    const QByteArrayView line = ReadListingLine(parse);
    const qsizetype tab = line.indexOf('\t');
    if (!line.startsWith('+') || tab < 0) return;
    const QByteArrayView facts = line.sliced(1, tab - 1);
    uint16_t attributes = 0;
    int64_t size = 0;
    double date = 0;
    for (qsizetype from = 0; from < facts.size();) {
        qsizetype end = facts.indexOf(',', from);
        if (end < 0) end = facts.size();
        const QByteArrayView fact = facts.sliced(from, end - from);
        from = end + 1;
        if (fact == QByteArrayView("/")) {
            attributes |= raFolder;
        } else if (fact.startsWith('s')) {
            size = DigitsValue(fact.sliced(1), 18);
        } else if (fact.startsWith('m')) {
            const int64_t seconds = DigitsValue(fact.sliced(1), 18);
            date = seconds < 0 ? 0 : LocalDayNumber(seconds);
        } else if (fact.startsWith("up")) {
            attributes |= PermissionAttributes(fact.sliced(2));
        }
    }
    parse.Report(line.sliced(tab + 1), attributes, date, (attributes & raFolder) ? 0 : size);
}
