// Fuzz target for the listing parsers: the first byte is the server type (0xFF for a
// machine listing, MLSD), the rest the listing text, read with the fallback to the other
// parsers. Besides crashes and sanitizer reports
// it stops on broken guarantees: entries with empty names, line ends inside names (but a
// CR LF listing's lone LF), a "/" in a machine listing's name, negative sizes, dot folders,
// stray attribute bits, and a column table that differs from a plain byte-by-byte split.
#include "listing/FactsListing.h"
#include "listing/FtpUtils.h"
#include "listing/ListingParser.h"

#include <QByteArray>
#include <QDate>

#include <cstdio>
#include <cstdlib>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken guarantee: %s\n", what);
        std::abort();
    }
}

void CheckColumns(QByteArrayView line) {
    TColumnTable table;
    const int count = SplitColumns(line, table);
    int expected = 0;
    for (qsizetype i = 0; i < line.size() && expected < MaxListingColumns;) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        if (i == line.size()) break;
        const qsizetype start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        Require(table.Columns[expected].Offset == start, "column start");
        Require(table.Columns[expected].Length == i - start, "column length");
        ++expected;
    }
    Require(count == expected, "column count");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int serverType = data[0];
    const QByteArray text(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const bool facts = serverType == 0xFF;
    // The session's reading, every line the chosen parser leaves tried with the others.
    const TListingOutcome outcome =
        facts ? TListingOutcome{ParseFactsListing(text), {}, 0, 0}
              : ReadListing(ListingParserFor(serverType), text, QDate(2024, 6, 15));
    const TRemoteItemList& list = outcome.Items;
    Require(outcome.NotUnderstood.size() <= MaxNotUnderstood &&
                outcome.NotUnderstoodCount >= outcome.NotUnderstood.size(),
            "lines not understood");
    for (const QByteArray& line : outcome.NotUnderstood)
        Require(!line.trimmed().isEmpty() && !line.contains('\r') && !line.endsWith('\n'),
                "line not understood");
    // A listing whose lines end in CR LF may carry a lone LF inside a name; nothing else may.
    // Machine listings never give one, nor a name that would lead into another folder.
    const bool lineFeedsInNames = text.endsWith("\r\n") && !facts;
    for (const TRemoteListEntry& entry : list) {
        Require(!facts || !LinkName(entry.Name).contains('/'), "slash in a name");
        Require(!entry.Name.isEmpty(), "empty name");
        Require((lineFeedsInNames || !entry.Name.contains('\n')) && !entry.Name.contains('\r') &&
                    !entry.Name.contains('\0'),
                "line end inside a name");
        Require(entry.Item.Size >= 0, "negative size");
        Require((entry.Item.Attributes & ~uint16_t(0x07FF)) == 0, "stray attribute bits");
        Require(!(entry.Item.Attributes & raFolder) ||
                    (entry.Name != QByteArrayView(".") && entry.Name != QByteArrayView("..")),
                "dot folder");
        Require(DayNumberText(entry.Item.Date).size() >= 16, "date text");
    }

    CheckColumns(QByteArrayView(text).first(qMin<qsizetype>(text.size(), 4096)));
    LenientStrToInt(text);
    return 0;
}
