#pragma once

#include <QString>
#include <QStringList>

// Starting the user's viewer and editor, and the desktop's program for a file. Names of
// the files come from servers: a program gets them as arguments of its own, never
// through a shell, and each as an absolute path, so that no name is read as an option.

// A program with the arguments that come before the files.
struct TProgramCommand {
    QString Program;
    QStringList Arguments;
};

// A command kept in the settings (the viewer) or the registry (the editor). A text that
// names an existing file is that program as it stands, blanks and all (the options
// window stores a chosen path unquoted); anything else is split as a command line, and
// placeholders for the file ("%1", "%f", "%U" ...) are dropped, as the files follow.
TProgramCommand SplitProgramCommand(const QString& setting);

// Starts the command with the files appended, one argument each, detached, in the
// working folder. False when the program could not be started.
bool StartProgram(const TProgramCommand& command, const QStringList& files,
                  const QString& workingFolder = {});

// Whether the program is the desktop's opener, which starts whatever program the file's
// type names (xdg-open and its kin).
bool IsDesktopOpener(const QString& program);

// Whether the desktop's opener would run the file rather than show it: types the MIME
// database counts as executable (programs, scripts) and desktop entries, by name or by
// content.
bool OpenerWouldRun(const QString& file);
