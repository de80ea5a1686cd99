#pragma once

// Reads the listing case files in tests/listing/data. A file holds cases:
//
//   server 11              defaults for the cases below (server type, date of "today")
//   today 2024-06-15
//   == name of the case    starts a case; "server" and "today" lines may follow
//   < listing line         one listing line, a LF is appended
//   <= raw text            listing text with no LF appended
//   > name | size | mode | YYYY-MM-DD HH:MM    one expected entry, in order
//
// Listing text and names take the escapes \r \n \t \0 \xHH and \\. The mode is the
// entry's attributes as ls writes them ("drwxr-xr-x"; 'l' for a link, '-' for neither).
// Lines starting with # are comments.

#include "listing/RemoteItem.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

struct TListingCase {
    QString Name;
    int ServerType = 11;
    QDate Today;
    QByteArray Listing;
    QStringList Expected; // in the form EntryText gives
    QString Source;       // file:line of the case
};

// The cases of a file; an unreadable or malformed file gives a case named after the
// problem, which fails when run.
QList<TListingCase> ReadListingCases(const QString& path);

QByteArray Unescape(const QByteArray& text);
QString EscapeName(const QByteArray& name);
QString ModeText(uint16_t attributes);
// One entry as "name | size | mode | YYYY-MM-DD HH:MM", comparable with Expected.
QString EntryText(const TRemoteListEntry& entry);
