#pragma once

#include <QString>
#include <QStringList>

// Linux keeps no 8.3 short names, so the short form of a name is derived from the
// name itself the way FAT derives it: blanks and inner dots dropped, characters that
// 8.3 names cannot hold turned into "_", upper case, at most eight characters, a "~N"
// tail when the name had to be cut or changed, and at most three characters of
// extension. "Read the Instructions.txt" gives "READTH~1.TXT"; a name that already
// fits ("readme.txt") only changes case ("README.TXT").
//
// The tail number keeps the aliases of one folder apart: among the sibling names
// that would get the same alias, the n-th in sorted order gets "~n". Without
// siblings the tail is "~1".
QString ShortFileName(const QString& name, const QStringList& siblings = {});

// The short form of an existing path: its folder unchanged, its last part by
// ShortFileName among the other entries of that folder. Empty when the path does
// not exist.
QString ShortPathName(const QString& path);
