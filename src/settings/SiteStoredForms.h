#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The forms in which a site's notes and password are stored in the site list file.

// The "Comments" value: an empty line put in front of the notes, each line quoted
// (inner quotes doubled) when it holds a blank, a control character, a quote or a
// comma, the lines joined with ",". No notes store as two quote characters.
QString NotesToStoredForm(const QStringList& notes);
// Reads the value back exactly as written: a quoted line keeps its commas and quotes.
// An empty value gives no notes.
QStringList NotesFromStoredForm(const QString& value);

// The "Password" bytes: the password scrambled with ScrambleText. ASCII passwords
// store exactly as they always have. Others are stored as UTF-8, or as Latin-1 when
// the scrambled UTF-8 would hold a line break or NUL (which no line of the file can
// keep) and Latin-1 reads back the same. Nothing when neither fits: the caller then
// stores PasswordHexForm in a key of its own.
std::optional<QByteArray> StoredPassword(const QString& password);
QString PasswordFromStored(const QByteArray& stored);
// The scrambled UTF-8 as hexadecimal digits, which any line keeps.
QByteArray PasswordHexForm(const QString& password);
QString PasswordFromHexForm(const QByteArray& hex);
