#pragma once

// Machine listings (MLSD, RFC 3659): each line is "fact=value;fact=value; name". Unlike
// LIST output they look the same on every server, so no server type chooses their parser.
#include "listing/ListingParser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// One line as an entry. Facts read (names in any case): type (file, dir, OS.unix=slink:target
// or symlink as a link, whose name becomes "name -> target" as in Unix listings), size (files
// and links only), modify (UTC, given in local time as the day number, 0 when missing or
// invalid), unix.mode and, without it, perm as the owner's bits. Other facts are ignored.
// The name is everything after the blank that ends the facts, byte for byte.
// False for a line that is no entry: without facts or the blank, with a fact lacking "=",
// for the folder itself and its parent (cdir, pdir), kinds other than files, folders and
// links, and names that are empty, "." or "..", or hold "/", NUL, CR or LF (nor may the
// facts hold a line end).
bool ParseFactsLine(QByteArrayView line, TRemoteListEntry& out);

// As a TListingParser: consumes one line and reports its entry, if it has one.
void ParseFactsListingLine(TListingParse& parse);

// The whole listing in line order; the host name only labels the debug log lines.
TRemoteItemList ParseFactsListing(const QByteArray& text, const QString& host = QString());
