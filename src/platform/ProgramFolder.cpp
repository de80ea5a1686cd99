#include "platform/ProgramFolder.h"

#include "platform/ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <mutex>

namespace {
constexpr char RegistryFileName[] = "Quenmoor.conf";
std::mutex gOverrideLock;
QString gOverride;

QString ConfigHome() {
    // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    return config;
}

QString ExecutableFolder() {
    return QFileInfo(ExecutablePath()).absolutePath();
}

QString ExecutableBaseName() {
    // Only the last extension is replaced ("tolvar.bin" -> "tolvar.ini"); a name
    // without one gets it appended.
    return QFileInfo(ExecutablePath()).completeBaseName();
}

QString Join(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name;
}

// Folders the program makes for the user's own files are the user's alone.
void MakeOwnFolder(const QString& folder) {
    if (QFileInfo(folder).isDir()) return;
    const QString parent = QFileInfo(folder).absolutePath();
    const bool newParent = !QFileInfo::exists(parent);
    if (!QDir().mkpath(folder)) return;
    constexpr auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(folder, owner);
    if (newParent) QFile::setPermissions(parent, owner);
}

// A rename, or for a file on another file system a copy that replaces the original.
bool MoveEntry(const QString& from, const QString& to) {
    if (QDir().rename(from, to)) return true;
    if (!QFileInfo(from).isFile() || !QFile::copy(from, to)) return false;
    if (QFile::remove(from)) return true;
    QFile::remove(to);
    return false;
}

void MoveOne(const QString& from, const QString& to, QStringList& lines) {
    if (!QFileInfo::exists(from) && !QFileInfo(from).isSymLink()) return;
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink()) {
        lines << QStringLiteral("%1 was not moved to %2: the file there is used.").arg(from, to);
        return;
    }
    MakeOwnFolder(QFileInfo(to).absolutePath());
    if (MoveEntry(from, to))
        lines << QStringLiteral("Moved %1 to %2.").arg(from, to);
    else
        lines << QStringLiteral("%1 could not be moved to %2; it is not used.").arg(from, to);
}

} // namespace

QString ExecutablePath() {
    // /proc/self/exe works before (and without) a QCoreApplication.
    const QString target = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (!target.isEmpty()) return target;
    return QCoreApplication::applicationFilePath();
}

QString ChooseProgramFolder(const QString& executableFolder) {
    if (QFileInfo(Join(executableFolder, QStringLiteral("portable"))).isFile())
        return QDir::cleanPath(executableFolder);
    return QDir::cleanPath(Join(ConfigHome(), QStringLiteral("tolvar")));
}

QString ProgramFolder() {
    {
        std::lock_guard<std::mutex> lock(gOverrideLock);
        if (!gOverride.isEmpty()) return gOverride;
    }
    const QString folder = ChooseProgramFolder(ExecutableFolder());
    MakeOwnFolder(folder);
    return folder;
}

QString ProgramFilePath(const QString& fileName) {
    return Join(ProgramFolder(), fileName);
}

void SetProgramFolderOverride(const QString& folder) {
    std::lock_guard<std::mutex> lock(gOverrideLock);
    gOverride = folder;
}

QStringList MoveStoredFiles(const QString& from, const QString& to, const QString& baseName,
                            const QString& oldRegistry) {
    QStringList lines;
    if (QDir::cleanPath(from) == QDir::cleanPath(to)) return lines;
    const QString settingsName = baseName + QStringLiteral(".ini");
    for (const QString& name :
         {settingsName, QStringLiteral("Sites.ini"), baseName + QStringLiteral(".log"),
          QStringLiteral("Debug.txt"), QStringLiteral("Dev")})
        MoveOne(Join(from, name), Join(to, name), lines);
    if (!oldRegistry.isEmpty()) {
        MoveOne(oldRegistry, Join(to, QString::fromLatin1(RegistryFileName)), lines);
        // The organisation's folder held nothing else of ours; rmdir leaves it if it does.
        QDir().rmdir(QFileInfo(oldRegistry).absolutePath());
    }

    // A log file named in the settings that still lies in the old folder follows them.
    TProfileFile settings(Join(to, settingsName));
    const QString log =
        settings.ReadString(QStringLiteral("General"), QStringLiteral("LogFile"), QString());
    if (!log.isEmpty() && QDir::cleanPath(QFileInfo(log).absolutePath()) == QDir::cleanPath(from)) {
        const QString moved = Join(to, QFileInfo(log).fileName());
        MoveOne(log, moved, lines);
        if (settings.WriteString(QStringLiteral("General"), QStringLiteral("LogFile"), moved) &&
            settings.Flush())
            lines << QStringLiteral("The log file is now %1.").arg(moved);
    }
    return lines;
}

QStringList MoveStoredFiles() {
    {
        std::lock_guard<std::mutex> lock(gOverrideLock);
        if (!gOverride.isEmpty()) return {};
    }
    // QSettings kept the registry's values in the organisation's own folder before.
    const QString oldRegistry = ConfigHome() + QStringLiteral("/Kelvenar/Quenmoor.conf");
    return MoveStoredFiles(ExecutableFolder(), ProgramFolder(), ExecutableBaseName(), oldRegistry);
}

QString SettingsFilePath() {
    return ProgramFilePath(ExecutableBaseName() + QStringLiteral(".ini"));
}

QString DefaultLogFilePath() {
    return ProgramFilePath(ExecutableBaseName() + QStringLiteral(".log"));
}

QString SitesFilePath() {
    return ProgramFilePath(QStringLiteral("Sites.ini"));
}

QString RegistryFilePath() {
    return ProgramFilePath(QString::fromLatin1(RegistryFileName));
}

QString DevFolder() {
    return ProgramFilePath(QStringLiteral("Dev"));
}

QString DevFilePath() {
    return DevFolder() + QStringLiteral("/dev.ini");
}
