#pragma once

#include <QString>
#include <QStringList>

// The one place that decides where the program's own files live (settings file, site
// list, the window-state store, debug log, log file): the XDG config folder's "tolvar"
// ($XDG_CONFIG_HOME/tolvar, by default ~/.config/tolvar), or beside the executable when
// a file named "portable" lies there.
QString ExecutablePath();
QString ProgramFolder();
QString ProgramFilePath(const QString& fileName);

// Tests and tools point the program folder elsewhere; an empty path restores the default.
void SetProgramFolderOverride(const QString& folder);

// The choice above for an executable in `executableFolder`, from the environment as it
// is now. Makes nothing.
QString ChooseProgramFolder(const QString& executableFolder);

// Files an earlier run stored beside the executable move to the program folder, once:
// what is moved, or left because the program folder has its own, is said in the lines
// returned for the log. Nothing moves in portable use. The settings' log file that lay
// in the old folder is moved with it and the setting follows.
QStringList MoveStoredFiles();
// The same between two given folders, for an executable named `baseName` (without its
// extension); `oldRegistry` is where the window-state store lay before.
QStringList MoveStoredFiles(const QString& from, const QString& to, const QString& baseName,
                            const QString& oldRegistry);

// The settings file: the executable's name with ".ini" in place of its extension.
QString SettingsFilePath();
// The default log file: the executable's name with ".log".
QString DefaultLogFilePath();
// The site list "Sites.ini".
QString SitesFilePath();
// The window placement, column widths and last connections (the registry's values).
QString RegistryFilePath();
// "Dev" under the program folder holds the predefined site's "dev.ini" and "logo.gif".
QString DevFolder();
QString DevFilePath();
