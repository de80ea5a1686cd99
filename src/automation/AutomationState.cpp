#include "automation/AutomationState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString FileNameFieldText(const QStringList& names) {
    QString text;
    for (const QString& name : names)
        text += QStringLiteral("\"%1\" ").arg(name);
    text = text.trimmed();
    if (names.size() == 1 && text.size() >= 2) text = text.mid(1, text.size() - 2);
    return text;
}

TServerMode ServerMode(const QStringList& switches) {
    TServerMode mode = TServerMode::Standalone;
    for (const QString& arg : switches) {
        const QString word = arg.mid(1).toLower();
        if (word == u"regserver") return TServerMode::RegServer;
        if (word == u"unregserver") return TServerMode::UnregServer;
        if (word == u"automation" || word == u"embedding") mode = TServerMode::Automation;
    }
    return mode;
}

QString ActivationFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/dbus-1/services/") + QString::fromLatin1(AutomationService) +
           QStringLiteral(".service");
}

QByteArray ActivationFileText(const QString& program) {
    // The bus splits Exec at blanks and honours quotes, as a shell would.
    QString quoted = program;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return "[D-BUS Service]\nName=" + QByteArray(AutomationService) + "\nExec=\"" +
           QFile::encodeName(quoted) + "\" -Automation\n";
}

bool WriteActivationFile(const QString& program, QString* error) {
    const QString path = ActivationFilePath();
    QSaveFile file(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly) ||
        file.write(ActivationFileText(program)) < 0 || !file.commit()) {
        if (error) *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool RemoveActivationFile(QString* error) {
    QFile file(ActivationFilePath());
    if (!file.exists() || file.remove()) return true;
    if (error)
        *error = QStringLiteral("Cannot remove %1: %2").arg(file.fileName(), file.errorString());
    return false;
}
