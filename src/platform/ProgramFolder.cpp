#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <mutex>

namespace {
std::mutex gOverrideLock;
QString gOverride;
} // namespace

QString ExecutablePath() {
    // /proc/self/exe works before (and without) a QCoreApplication.
    const QString target = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (!target.isEmpty())
        return target;
    return QCoreApplication::applicationFilePath();
}

QString ProgramFolder() {
    {
        std::lock_guard<std::mutex> lock(gOverrideLock);
        if (!gOverride.isEmpty())
            return gOverride;
    }
    const QFileInfo exe(ExecutablePath());
    const QString beside = exe.absolutePath();
    if (!beside.isEmpty() && QFileInfo(beside).isWritable())
        return beside;

    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = config + QStringLiteral("/tolvar");
    QDir().mkpath(folder);
    return folder;
}

QString ProgramFilePath(const QString& fileName) {
    return ProgramFolder() + QLatin1Char('/') + fileName;
}

void SetProgramFolderOverride(const QString& folder) {
    std::lock_guard<std::mutex> lock(gOverrideLock);
    gOverride = folder;
}

namespace {
QString ExecutableFileWithExtension(const QString& extension) {
    // Only the last extension is replaced ("tolvar.bin" -> "tolvar.ini"); a name
    // without one gets it appended.
    return ProgramFilePath(QFileInfo(ExecutablePath()).completeBaseName() + extension);
}
} // namespace

QString SettingsFilePath() {
    return ExecutableFileWithExtension(QStringLiteral(".ini"));
}

QString DefaultLogFilePath() {
    return ExecutableFileWithExtension(QStringLiteral(".log"));
}

QString SitesFilePath() {
    return ProgramFilePath(QStringLiteral("Sites.ini"));
}

QString DevFolder() {
    return ProgramFilePath(QStringLiteral("Dev"));
}

QString DevFilePath() {
    return DevFolder() + QStringLiteral("/dev.ini");
}
