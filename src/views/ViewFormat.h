#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMimeType>
#include <QString>

#include <cstdint>

// Texts the panes show for sizes and places.

// Status bar sizes: "0 Bytes", "1 Byte", "1,023 Bytes", "1.5KB", "1.02E3KB", "4GB".
QString FormatSize(int64_t bytes);
// The Size column of a remote file: whole kilobytes rounded up ("1KB", "1,024KB").
QString KilobyteText(int64_t bytes);
// The Modified column of both panes: the locale's short date and time without seconds,
// which remote dates do not have, so that the same time reads the same on both sides.
QString ModifiedText(const QDateTime& time);
// The local pane's free space: "75.5 GB free", "312 GB free", "900 KB free"; rounded
// down, so that it never promises room that is not there.
QString FreeSpaceText(int64_t bytes);
// The Type column of a file the desktop knows no type for: its extension in capitals and
// "File" ("BIN File" for a.bin and b.BIN alike), or "File" without an extension.
QString ExtensionTypeText(const QString& extension);
// The Type column of a file, the same in both panes: what the desktop's MIME database
// calls files of that name ("Zip archive", "Makefile"), else ExtensionTypeText. Blanks
// around a name are no part of its type; the case of its extension does not matter.
QString FileTypeText(const QString& name);
// What files of this name share their type by: the lower-case extension, or "/" and the
// whole name (blanks around it dropped) when it has none. The type helpers cache by it.
QString FileTypeKey(const QString& name);
// The desktop's MIME type for a type key, by name alone.
QMimeType FileMimeType(const QString& key);
// What follows a name's last dot; nothing for a name that only starts with one (".profile").
QString FileExtension(const QString& name);
// The properties window: "1MB (1048577 Bytes)".
QString PropertiesSizeText(int64_t bytes);

// The location of a remote item as a URL, for file-change events: the user and password
// unless anonymous, the port unless 21, the path percent-encoded with a leading "/".
QString ComposeItemURL(const QString& host, int port, const QString& user, const QString& password,
                       const QByteArray& path);
// The same URL with the password left out, for log lines.
QString ItemURLForLog(const QString& url);

// Local times as day numbers (days since 1899-12-30, time as the fraction) with the
// seconds dropped, so that they compare with remote dates, which have none.
double DayNumberFromDateTime(const QDateTime& time);
QDateTime DateTimeFromDayNumber(double date);
