#pragma once

#include "listing/RemoteItem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>

#include <cstdint>

// Listing parsers: the text of a LIST reply becomes remote items. Every function here is
// pure (the only side effect is the optional "Parser Line" debug line) and safe to call
// from several session threads at once.

// Receives each entry a parser makes: (context, name, attributes, date, size).
using TListingCallback = void (*)(void* context, QByteArrayView name, uint16_t attributes,
                                  double date, int64_t size);

// One listing being parsed: the read position in its text, where entries go, the date
// "today" and "the current year" come from, and the VMS continuation that carries a
// wrapped long name to the next line of this listing (and of no other). It points into
// the text, which must outlive it.
struct TListingParse {
    TListingParse(QByteArrayView text, const QDate& today, TListingCallback callback,
                  void* context);

    const char* Pos;
    const char* End;
    TListingCallback Callback;
    void* Context;
    int TodayYear;
    int TodayMonth;
    int TodayDay;
    QByteArray VMSContinuation;
    // Set when the listing ends its lines with CR LF, as FTP asks: a lone LF is then part
    // of a line (a name holding a line break) rather than the end of one.
    bool LineFeedInLine = false;
    // Set when the parser made sense of the line just read: it reported an entry, or the
    // line holds none by its kind (a heading, a total, the first half of a wrapped entry).
    // Lines left without it were not understood.
    bool Understood = false;
    // False when the line last read holds only bytes below 0x80 (true may be either).
    bool LineHighBytes = true;

    bool AtEnd() const { return Pos >= End; }
    void Report(QByteArrayView name, uint16_t attributes, double date, int64_t size) {
        Understood = true;
        Callback(Context, name, attributes, date, size);
    }
};

// Each parser consumes exactly one line from the position and reports at most one entry.
using TListingParser = void (*)(TListingParse& parse);
void ParseUnixLine(TListingParse& parse);
void ParseWindowsNTLine(TListingParse& parse);
void ParseVMSLine(TListingParse& parse);
void ParseIBMVMLine(TListingParse& parse);
// z/OS (MVS) datasets and partitioned dataset members, IBM i (OS/400) objects, OS/2 and
// EPLF ("+facts,\tname") lines.
void ParseMVSLine(TListingParse& parse);
void ParseOS400Line(TListingParse& parse);
void ParseOS2Line(TListingParse& parse);
void ParseEPLFLine(TListingParse& parse);

// The parser for a server type, or nullptr for "Not Relevant" (never listed).
TListingParser ListingParserFor(int serverType);
bool ServerTypeHasParser(int serverType);

// The whole listing in line order. Empty when the server type has no parser. The host
// name only labels the debug log lines.
TRemoteItemList ParseListing(int serverType, const QByteArray& text,
                             const QDate& today = QDate::currentDate(),
                             const QString& host = QString());

// A listing read as the session reads it: each line the chosen parser does not understand
// is tried with the parsers of the other kinds (lines it understands keep its result);
// lines none understands are counted, and the first MaxNotUnderstood kept.
struct TListingOutcome {
    TRemoteItemList Items;
    QList<QByteArray> NotUnderstood;
    int64_t NotUnderstoodCount = 0;
    int64_t Lines = 0;
};
constexpr int MaxNotUnderstood = 100;
TListingOutcome ReadListing(TListingParser parser, const QByteArray& text, const QDate& today,
                            const QString& host = QString(), bool fallback = true,
                            qsizetype maxNotUnderstood = MaxNotUnderstood);

// The callback that builds the item list; context is a TListingTarget.
struct TListingTarget {
    TRemoteItemList* List = nullptr;
    QString Host;
};
void AddListingEntry(void* context, QByteArrayView name, uint16_t attributes, double date,
                     int64_t size);

// Text up to the first CR, LF or NUL (a lone LF does not count when LineFeedInLine is
// set); the position moves past the line end and every further CR, LF and NUL, so blank
// lines never reach a parser.
QByteArrayView ReadListingLine(TListingParse& parse);

// Blank-separated columns of a line (only code 32 separates; a tab belongs to its column).
// Columns past maxColumns (at most MaxListingColumns) are not recorded.
constexpr int MaxListingColumns = 64;
struct TColumnTable {
    struct Column {
        int Offset; // 0-based position in the line
        int Length;
    };
    Column Columns[MaxListingColumns];
    int Count = 0;
    QByteArrayView Line;

    // Column n counted from 1; empty when the line has no such column.
    QByteArrayView Text(int n) const {
        if (n < 1 || n > Count) return {};
        return Line.sliced(Columns[n - 1].Offset, Columns[n - 1].Length);
    }
    // From the start of column n to the end of the line.
    QByteArrayView FromColumn(int n) const {
        if (n < 1 || n > Count) return {};
        return Line.sliced(Columns[n - 1].Offset);
    }
};
int SplitColumns(QByteArrayView line, TColumnTable& table, int maxColumns = MaxListingColumns);

// Mode column "drwxr-x---": kind from the first character, one permission bit for each
// exact lower-case letter in its place ('s', 't' and the like give no execute bit).
uint16_t ParseUnixAttributes(QByteArrayView line);

// The whole text as a decimal integer if it is one; else the stretch from its first to its
// last digit if that is one ("12\xD4\xC2" gives 12); else -1 (no digit, "1,234", "12/14",
// or more than 64 bits).
int64_t LenientStrToInt(QByteArrayView text);

// The text as a number when it is nothing but 1..maxDigits digits (at most 18), else -1.
int64_t DigitsValue(QByteArrayView text, qsizetype maxDigits);

// Day number of the date and time (seconds 0); 1 January of fallbackYear at 00:00 when the
// date or time does not exist.
double SafeEncodeDateTime(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                          int fallbackYear);

// A day number back as date and time, and as "YYYY-MM-DD HH:MM".
struct TDayNumberParts {
    int Year, Month, Day, Hour, Minute;
};
TDayNumberParts SplitDayNumber(double date);
// Seconds since 1970 in UTC as the day number of this machine's local time; 0 when out of
// the range of dates.
double LocalDayNumber(int64_t utcSeconds);
QByteArray DayNumberText(double date);
