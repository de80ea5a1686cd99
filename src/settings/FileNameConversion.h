#pragma once

#include "settings/Settings.h"

#include <QString>

// How upload names are converted before they are stored on the server.
struct TNameConversion {
    bool UseShortName = false;
    int Case = 0;   // 0 unchanged, 1 lower case, 2 upper case
    int Spaces = 0; // 0 leave, 1 remove, 2 replace with Char
    QString Char = QStringLiteral("_");
};

TNameConversion NameConversion(const TSettings& settings);

// The name a local file is stored under: its file name, or its short (8.3) form when
// short names are on (empty when the path does not exist); then the case; then the
// blanks, or the tildes of a short name, removed or replaced.
QString ConvertFileName(const QString& localPath, const TNameConversion& rule);

// The case and blank steps alone, on a name given as it is: the options window's
// preview ("Read the Instructions.txt", or "READTH~1.TXT" with short names).
QString ApplyNameConversion(const QString& name, const TNameConversion& rule);
