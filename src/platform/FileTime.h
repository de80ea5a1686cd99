#pragma once

#include <QDateTime>
#include <QString>

// Sets a local file's modification time, leaving its access time as it is. By path:
// opening the file to stamp it would risk truncating what was just written.
bool SetModificationTime(const QString& fileName, const QDateTime& time);
