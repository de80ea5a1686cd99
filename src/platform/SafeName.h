#pragma once

#include <QByteArray>
#include <QString>

// The one gate through which a name from a server becomes a local file name: an empty
// name, ".", "..", or one holding "/" or NUL could write outside the chosen folder, so it
// is refused (false, with the reason for a log line). Otherwise the name as display text
// (UTF-8, or Latin-1 when it is not UTF-8) becomes the local name.
bool SafeLocalName(const QByteArray& serverName, QString& localName, QString* reason = nullptr);

// The folder under which downloads for viewing are written: one private folder per run
// (mode 0700), removed when the program ends. Ends with "/".
QString PrivateTempFolder();

// A new, empty folder inside the private folder, one for each fetched file, so that
// files of one name from two folders or servers never overwrite each other (a program
// may still have the first open). Ends with "/"; empty when none could be made.
QString NewPrivateTempFolder();
