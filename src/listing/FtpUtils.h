#pragma once

#include "engine/Tls.h"
#include "listing/NameCharset.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Free functions every subsystem shares: texts, remote paths, masks, URLs.

// Link names of Unix listings: "name -> target".
QByteArray LinkName(const QByteArray& entry);
QByteArray LinkTarget(const QByteArray& entry);
QString LinkName(const QString& entry);
QString LinkTarget(const QString& entry);

// Cuts the first line (up to CR or LF) off the text; one LF right after the line
// end is dropped too.
QByteArray ExtractFirstLine(QByteArray& text);
QString ExtractFirstLine(QString& text);

void ReplaceChar(QString& text, QChar from, QChar to);
void AppendCharIfMissing(QString& text, QChar c);
void AppendCharIfMissing(QByteArray& text, char c);
// "/pub/incoming/" -> "/pub/"; false (path unchanged) when nothing can be removed.
bool StripLastFolder(QString& path);
bool StripLastFolder(QByteArray& path);

// Groups a digit text in threes from the right with the separator (the locale's
// when none is given).
QString FormatThousands(const QString& digits);
QString FormatThousands(const QString& digits, QChar separator);

// Wildcard masks ('*', '?'), matched without regard to case; "*.*" matches all.
bool MatchesMaskList(const QString& name, const QStringList& masks);
bool MatchesMask(const QString& name, const QString& mask);

// Stored-password scrambling; its own inverse.
QByteArray ScrambleText(const QByteArray& text);

// Server bytes as display text: UTF-8 when valid, else Latin-1.
QString DisplayText(const QByteArray& bytes);
// A name as one line of display text: control characters are written as escapes ("\n",
// "\r", "\t", "\x7f"), so a name holding a line break shows whole and on one line.
// The raw bytes stay what is sent back to the server.
QString NameText(const QByteArray& name);
// The same, with names that are not UTF-8 read in the server's character set.
QString NameText(const QByteArray& name, const TNameCharset& charset);
// True for a name no FTP command can carry: CR, LF or NUL would end or break the line.
bool NameBreaksCommand(const QByteArray& name);

struct TSplitURL {
    QString Host;
    int Port = 21;
    // ftps:// is implicit TLS; ftp:// and http:// are not encrypted.
    TEncryption Encryption = TEncryption::None;
    QString User;
    QString Password;
    QString FolderPath;
    QString FileName;
};

// Splits an ftp://, ftps:// (implicit TLS, port 990 unless given) or http:// URL
// (scheme ftp assumed when missing) and decodes its percent-escapes. A URL without a user gets
// "anonymous" and the given password. False (and empty parts, port 21) when the URL cannot be read,
// has another scheme or port 0.
bool SplitURL(const QString& url, const QString& anonymousPassword, TSplitURL& out);

// Temporary files deleted when the program ends (last added first).
QString TempFolder();
void AddTemporaryFile(const QString& path);
void DeleteTemporaryFiles();
