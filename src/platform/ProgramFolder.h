#pragma once

#include <QString>

// The one place that decides where the program's own files live (settings file,
// site list, debug log, log file): beside the executable when that folder is
// writable, else the XDG config folder of the application.
QString ExecutablePath();
QString ProgramFolder();
QString ProgramFilePath(const QString& fileName);

// Tests and tools point the program folder elsewhere; an empty path restores the default.
void SetProgramFolderOverride(const QString& folder);

// The settings file: the executable's name with ".ini" in place of its extension.
QString SettingsFilePath();
// The default log file: the executable's name with ".log".
QString DefaultLogFilePath();
// The site list "Sites.ini".
QString SitesFilePath();
// "Dev" under the program folder holds the predefined site's "dev.ini" and "logo.gif".
QString DevFolder();
QString DevFilePath();
