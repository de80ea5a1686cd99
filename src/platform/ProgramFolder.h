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
