#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

bool RealFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

// The folder and any missing parents made for the user alone; true when it is a real
// folder the user can write into.
bool MakeOwnFolder(const QString& path) {
    QStringList missing;
    for (QString p = QDir::cleanPath(path); !QFileInfo::exists(p) && !QFileInfo(p).isSymLink();
         p = QFileInfo(p).absolutePath()) {
        missing.prepend(p);
        if (p == QFileInfo(p).absolutePath()) break;
    }
    for (const QString& p : missing)
        if (!QDir().mkdir(p) || !QFile::setPermissions(p, OwnerOnly)) return false;
    return RealFolder(path) && QFileInfo(path).isWritable();
}

// "A trash directory contains two subdirectories, named info and files."
QString Complete(const QString& trash) {
    if (MakeOwnFolder(trash) && MakeOwnFolder(trash + QStringLiteral("/files")) &&
        MakeOwnFolder(trash + QStringLiteral("/info")))
        return trash;
    return QString();
}

bool Sticky(const QString& path) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    return ::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
}

QString TopDirTrash(const QString& topDir) {
    const QString uid = QString::number(::getuid());
    const QString shared = topDir + QStringLiteral("/.Trash");
    // An administrator's shared trash counts only when it is sticky and not a link.
    if (RealFolder(shared) && Sticky(shared)) {
        const QString trash = Complete(shared + QLatin1Char('/') + uid);
        if (!trash.isEmpty()) return trash;
    }
    return Complete(topDir + QStringLiteral("/.Trash-") + uid);
}

} // namespace

QString TrashFolderFor(const QString& path) {
    const QString source = QFileInfo(path).absoluteFilePath();
    // The same test Qt makes, so that it picks the folder found here.
    const QStorageInfo sourceStorage(source);
    const QStorageInfo homeStorage(QDir::home());
    if (sourceStorage != homeStorage) {
        QString topDir = sourceStorage.rootPath();
        if (topDir.endsWith(QLatin1Char('/'))) topDir.chop(1);
        // Qt tries the home trash after these, but cannot rename across file systems.
        return sourceStorage.isValid() ? TopDirTrash(topDir) : QString();
    }
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty()) return QString();
    return Complete(dataHome + QStringLiteral("/Trash"));
}

bool DeletePermanently(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) return QDir(path).removeRecursively();
    return QFile::remove(path);
}
