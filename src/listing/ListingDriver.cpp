// Chooses the parser by server type, runs it over a whole listing and collects the items.
#include "listing/DebugLog.h"
#include "listing/ListingParser.h"
#include "listing/ListingScan.h"
#include "listing/ServerTypes.h"

#include <algorithm>
#include <cstring>

namespace {

size_t CountLineFeeds(const QByteArray& text) {
    size_t count = 0;
    const char* p = text.constData();
    const char* const end = p + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))) != nullptr) {
        ++count;
        ++p;
    }
    return count;
}

bool IsDigitByte(char c) {
    return c >= '0' && c <= '9';
}

// Cheap tests of the shape each kind's lines have, so that a line is tried only with the
// parsers it could belong to: the more lenient parsers would make an entry of nearly any
// line with enough columns.
bool MaybeEPLF(QByteArrayView line) {
    return line.startsWith('+') && line.contains('\t');
}

bool MaybeDos(QByteArrayView line) {
    const auto at = [&](qsizetype i) { return i < line.size() ? line[i] : '\0'; };
    return (at(2) == '-' && at(12) == ':') ||
           (((at(2) == '-' && at(5) == '-') || (at(4) == '-' && at(7) == '-')) && at(10) == ' ');
}

// "drwxr-xr-x", "-rw-r--r--+", or NetWare's "d [RWCEAFMS]".
bool MaybeUnix(QByteArrayView line) {
    if (line.size() < 10 || std::strchr("-dlbcpsD", line[0]) == nullptr || line[0] == '\0')
        return false;
    if (line[1] == ' ' && line.size() > 2 && line[2] == '[') return true;
    for (qsizetype i = 1; i < 10; ++i)
        if (std::strchr("rwxsStTlL-", line[i]) == nullptr || line[i] == '\0') return false;
    return true;
}

bool MaybeVMS(const TColumnTable& columns) {
    const QByteArrayView name = columns.Text(1);
    const qsizetype semicolon = name.indexOf(';');
    return columns.Count >= 4 && semicolon > 0 && semicolon + 1 < name.size() &&
           IsDigitByte(name[semicolon + 1]);
}

// "PROFILE  EXEC  V  68  8 ...": format F or V, then record length and records.
bool MaybeVM(const TColumnTable& columns) {
    const QByteArrayView format = columns.Text(3);
    return columns.Count >= 8 && (format == QByteArrayView("F") || format == QByteArrayView("V")) &&
           DigitsValue(columns.Text(4), 18) >= 0 && DigitsValue(columns.Text(5), 18) >= 0;
}

// Tries the line with every parser but the chosen one; true when one of them understood it.
bool ReadWithOtherParsers(QByteArrayView line, const TListingParse& parent, TListingParser chosen) {
    TColumnTable columns;
    SplitColumns(line, columns);
    const bool unixLike = chosen == ParseUnixLine || chosen == ParseWindowsNTLine;
    const struct {
        TListingParser Parser;
        bool Plausible;
    } candidates[] = {
        {ParseEPLFLine, MaybeEPLF(line)},
        {ParseWindowsNTLine, MaybeDos(line)},
        {ParseUnixLine, !unixLike && MaybeUnix(line)},
        {ParseVMSLine, MaybeVMS(columns)},
        {ParseOS400Line, columns.Count >= 3},
        {ParseOS2Line, columns.Count >= 4},
        // A bare member name could be any single word.
        {ParseMVSLine, columns.Count >= 2},
        {ParseIBMVMLine, MaybeVM(columns)},
    };
    for (const auto& candidate : candidates) {
        if (!candidate.Plausible || candidate.Parser == chosen) continue;
        TListingParse single(line, QDate(parent.TodayYear, parent.TodayMonth, parent.TodayDay),
                             parent.Callback, parent.Context);
        single.LineFeedInLine = parent.LineFeedInLine;
        candidate.Parser(single);
        if (single.Understood) return true;
    }
    return false;
}

// The line the parser consumed: from its start up to the line end bytes after it.
QByteArrayView ConsumedLine(const char* start, const char* end) {
    while (end > start && listing_detail::IsLineEndByte(end[-1]))
        --end;
    return QByteArrayView(start, end - start);
}

} // namespace

TListingOutcome ReadListing(TListingParser parser, const QByteArray& text, const QDate& today,
                            const QString& host, bool fallback, qsizetype maxNotUnderstood) {
    TListingOutcome outcome;
    if (parser == nullptr) return outcome;
    outcome.Items.reserve(CountLineFeeds(text) + 1);
    TListingTarget target{&outcome.Items, host};
    TListingParse parse(text, today, AddListingEntry, &target);
    while (!parse.AtEnd()) {
        const char* const start = parse.Pos;
        parse.Understood = false;
        parser(parse);
        ++outcome.Lines;
        if (parse.Understood) continue;
        const QByteArrayView line = ConsumedLine(start, parse.Pos);
        if (line.trimmed().isEmpty() || (fallback && ReadWithOtherParsers(line, parse, parser)))
            continue;
        if (outcome.NotUnderstood.size() < maxNotUnderstood)
            outcome.NotUnderstood.append(line.toByteArray());
        ++outcome.NotUnderstoodCount;
    }
    return outcome;
}

TListingParser ListingParserFor(int serverType) {
    // Only the low seven bits choose; indices past the list get the Unix parser.
    switch (serverType & 0x7F) {
    case ServerTypeNotRelevant:
        return nullptr;
    case ServerTypeIBMVM:
        return ParseIBMVMLine;
    case ServerTypeVMSMultiNet:
    case ServerTypeVMSUCX:
        return ParseVMSLine;
    case ServerTypeMicrosoftNT:
        return ParseWindowsNTLine;
    case ServerTypeZOS:
        return ParseMVSLine;
    case ServerTypeIBMi:
        return ParseOS400Line;
    case ServerTypeOS2:
        return ParseOS2Line;
    case ServerTypeEPLF:
        return ParseEPLFLine;
    default:
        return ParseUnixLine;
    }
}

bool ServerTypeHasParser(int serverType) {
    return ListingParserFor(serverType) != nullptr;
}

void AddListingEntry(void* context, QByteArrayView name, uint16_t attributes, double date,
                     int64_t size) {
    auto* target = static_cast<TListingTarget*>(context);
    if (target == nullptr || target->List == nullptr || name.isEmpty()) return;
    if ((attributes & raFolder) && (name == QByteArrayView(".") || name == QByteArrayView("..")))
        return;
    size = std::max<int64_t>(size, 0);
    target->List->push_back({name.toByteArray(), TRemoteItem{attributes, size, date}});
    if (DebugLogEnabled()) {
        const QByteArray n = name.toByteArray();
        DebugLogFmt("Host %s: Parser Entry. Name = \"%s\", Size = %lld, Date = \"%s\"",
                    qUtf8Printable(target->Host), n.constData(), static_cast<long long>(size),
                    DayNumberText(date).constData());
    }
}

TRemoteItemList ParseListing(int serverType, const QByteArray& text, const QDate& today,
                             const QString& host) {
    TRemoteItemList list;
    const TListingParser parser = ListingParserFor(serverType);
    if (parser == nullptr) return list;
    list.reserve(CountLineFeeds(text) + 1);
    TListingTarget target{&list, host};
    TListingParse parse(text, today, AddListingEntry, &target);
    while (!parse.AtEnd())
        parser(parse);
    return list;
}
