#pragma once

#include "listing/FtpUtils.h"

#include <QString>
#include <QStringList>

// The logic of the "Connection to URL" window: a URL built from its parts and a type,
// read back with SplitURL, and the history of typed URLs.

enum class TURLType { HTTP, FTP, FTPAnonymous };

// The parts as the user typed them (the port as text).
struct TURLParts {
    QString User;
    QString Password;
    QString Host;
    QString Port;
    QString Folder;
    QString FileName;
};

struct TComposedURL {
    QString URL;
    // The host, folder and file texts after a path typed into the host moved out of it:
    // its folders to the front of the folder, its last name to an empty file.
    QString Host;
    QString Folder;
    QString FileName;
    bool PathMoved = false;
};

// Builds the URL of the parts: user and password unless anonymous, the host (bracketed
// when an IPv6 address), the port unless the type's default, the folder always ending
// in '/', then the file. User, password, folder names and file are percent-encoded, so
// that SplitURL gives every character back. An FTP URL with implicitTls is ftps://, whose
// default port is 990.
TComposedURL ComposeURL(const TURLParts& parts, TURLType type, bool implicitTls = false);

// Percent-encodes every ASCII character but letters, digits and "-._~" (and '/' with
// keepSlashes); other characters stay as typed.
QString EncodeURLPart(const QString& text, bool keepSlashes = false);

// The scheme of a URL in lower case; "ftp" when it names none.
QString URLScheme(const QString& url);

// The type a URL text stands for: HTTP for http, FTP anonymous for ftp with the user
// "anonymous", otherwise FTP.
TURLType TypeOfURL(const QString& url, const QString& user);

// Splits the URL and says why it cannot be used: empty when it can. A host still
// missing gives no text, only false from the split.
QString CheckURL(const QString& url, const QString& anonymousPassword, TSplitURL& parts,
                 bool& valid);

// The URL with its password taken out (the user stays).
QString URLWithoutPassword(const QString& url);

// Moves the URL (without its password) to the top of the history, or inserts it there,
// takes out its duplicates and keeps at most max entries.
void AddToURLHistory(QStringList& history, const QString& url, int max);
