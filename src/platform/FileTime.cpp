#include "platform/FileTime.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

bool SetModificationTime(const QString& fileName, const QDateTime& time) {
    if (!time.isValid()) return false;
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(time.toSecsSinceEpoch());
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, QFile::encodeName(fileName).constData(), times, 0) == 0;
}
