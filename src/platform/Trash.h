#pragma once

#include <QString>

// The desktop's trash as freedesktop.org's trash rules lay it out: the home
// trash $XDG_DATA_HOME/Trash (by default ~/.local/share/Trash) for files on the home's
// file system; $topdir/.Trash/$uid (only in a sticky, real .Trash) or else
// $topdir/.Trash-$uid for files on other mounts. Missing folders are made, mode 0700.
//
// QFile::moveToTrash is asked only once this has found a trash: without one, Qt's own
// search ends at the working folder and writes "files" and "info" there.

// The trash folder (holding "files" and "info") that takes `path`; empty when none
// exists or can be made.
QString TrashFolderFor(const QString& path);

// Removes a file, a link (never what it points to) or a folder with its contents.
bool DeletePermanently(const QString& path);
