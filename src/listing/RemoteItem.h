#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <vector>

// Kind and permission bits of a remote entry. Permissions come from Unix-style mode
// columns only; other listing kinds give raFolder or nothing.
enum TRemoteAttribute : uint16_t {
    raFolder = 1,
    raLink = 2,
    raOwnerRead = 4,
    raOwnerWrite = 8,
    raOwnerExecute = 16,
    raGroupRead = 32,
    raGroupWrite = 64,
    raGroupExecute = 128,
    raOthersRead = 256,
    raOthersWrite = 512,
    raOthersExecute = 1024,
};

constexpr uint16_t raPermissionMask = 0x07FC;

struct TRemoteItem {
    uint16_t Attributes = 0;
    // Bytes; never negative. 0 for folders of Unix and DOS listings.
    int64_t Size = 0;
    // Day number: days since 1899-12-30, time of day as the fraction, seconds 0,
    // in the server's own time zone.
    double Date = 0;
};

// Name as the server sent it (raw bytes, not necessarily UTF-8), so it can be sent back
// unchanged. A Unix link's name is "name -> target" (see LinkName / LinkTarget).
struct TRemoteListEntry {
    QByteArray Name;
    TRemoteItem Item;
};

// In listing order; neither sorted nor free of duplicates.
using TRemoteItemList = std::vector<TRemoteListEntry>;

// Listing lines no parser understood: the first of them as received, and how many there
// were in all.
struct TNotUnderstoodLines {
    QList<QByteArray> Lines;
    int64_t Count = 0;
};
