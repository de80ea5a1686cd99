#include "views/LocalFileCopy.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {
// Deeper trees than this are almost surely a loop made by a bind mount.
constexpr int MaxDepth = 256;

bool Taken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A link is copied as a link with the same (possibly relative) target.
bool CopyLink(const QString& source, const QString& dest) {
    const QByteArray from = QFile::encodeName(source);
    QByteArray target(4096, '\0');
    const ssize_t length = ::readlink(from.constData(), target.data(), size_t(target.size()));
    if (length <= 0 || length >= target.size()) return false;
    target.truncate(length);
    return ::symlink(target.constData(), QFile::encodeName(dest).constData()) == 0;
}

bool CopyTree(const QString& source, const QString& dest, int depth, QString& failed) {
    if (depth > MaxDepth || !QDir().mkdir(dest)) {
        failed = dest;
        return false;
    }
    QDirIterator it(source, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    bool ok = true;
    while (ok && it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString target = dest + QLatin1Char('/') + info.fileName();
        if (info.isSymLink())
            ok = CopyLink(info.filePath(), target);
        else if (info.isDir())
            ok = CopyTree(info.filePath(), target, depth + 1, failed);
        else
            ok = QFile::copy(info.filePath(), target);
        if (!ok && failed.isEmpty()) failed = info.filePath();
    }
    QFile::setPermissions(dest, QFileInfo(source).permissions());
    return ok;
}

bool CopyItem(const QFileInfo& info, const QString& dest, QString& failed) {
    bool ok;
    if (info.isSymLink())
        ok = CopyLink(info.filePath(), dest);
    else if (info.isDir())
        return CopyTree(info.filePath(), dest, 0, failed);
    else
        ok = QFile::copy(info.filePath(), dest);
    if (!ok) failed = info.filePath();
    return ok;
}
} // namespace

bool PasteLocalItem(const QString& source, const QString& folder, bool move, QString& error) {
    const QFileInfo info(source);
    const QString name = info.fileName();
    if (!info.exists() && !info.isSymLink()) {
        error = QStringLiteral("'%1' no longer exists.").arg(source);
        return false;
    }
    const QString dest = QDir(folder).filePath(name);
    if (Taken(dest)) {
        error = QStringLiteral("'%1' was not pasted: this folder already has an item called '%1'.")
                    .arg(name);
        return false;
    }
    const QString from = QDir::cleanPath(info.absoluteFilePath());
    const QString into = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (info.isDir() && !info.isSymLink() &&
        (into == from || into.startsWith(from + QLatin1Char('/')))) {
        error = QStringLiteral("'%1' cannot be pasted into itself.").arg(name);
        return false;
    }
    QString failed;
    if (move) {
        // A folder on another disk cannot be renamed: copy it whole, then remove the original.
        if (info.isDir() && !info.isSymLink() ? QDir().rename(from, dest)
                                              : QFile::rename(from, dest))
            return true;
        if (info.isDir() && !info.isSymLink() && CopyTree(from, dest, 0, failed)) {
            if (QDir(from).removeRecursively()) return true;
            error = QStringLiteral("'%1' was copied but could not be removed from '%2'.")
                        .arg(name, info.absolutePath());
            return false;
        }
    } else if (CopyItem(info, dest, failed)) {
        return true;
    }
    error = failed.isEmpty() || failed == from
                ? QStringLiteral("'%1' could not be pasted.").arg(name)
                : QStringLiteral("'%1' could not be pasted: '%2' failed.").arg(name, failed);
    return false;
}
