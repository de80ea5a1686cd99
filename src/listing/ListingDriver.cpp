// Chooses the parser by server type, runs it over a whole listing and collects the items.
#include "listing/DebugLog.h"
#include "listing/ListingParser.h"
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

} // namespace

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
