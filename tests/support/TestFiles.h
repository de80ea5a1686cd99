#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>

// Files the transfer tests put on servers and compare afterwards.

// Bytes that differ from seed to seed and never repeat in a short period.
QByteArray Pattern(int size, int seed = 1);
// The file's bytes, or "<missing>".
QByteArray ReadFile(const QString& path);
// Creates the file's folder when needed.
bool WriteFile(const QString& path, const QByteArray& bytes);
// A sparse file of the given size whose last bytes are the tail.
bool WriteSparse(const QString& path, qint64 size, const QByteArray& tail);
QByteArray ReadTail(const QString& path, qint64 length);
bool SetModified(const QString& path, const QDateTime& when);
// Every regular file under the folder, by its path relative to it.
QMap<QString, QByteArray> FilesUnder(const QString& folder);
