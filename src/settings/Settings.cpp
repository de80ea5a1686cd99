#include "settings/Settings.h"

#include "platform/ProgramFolder.h"

#include <QStandardPaths>

QString GuestEMail() {
    return QStringLiteral("guest@tolvar.invalid");
}

QString DefaultViewer() {
    // The desktop's opener starts the user's text editor for text files. $VISUAL and
    // $EDITOR are not used: they usually name terminal editors, which cannot run
    // from a program started without a terminal.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return opener.isEmpty() ? QStringLiteral("xdg-open") : opener;
}

QStringList DefaultASCIIExtensions() {
    // No ".doc": today it names word-processor files, which text mode would corrupt.
    return {QStringLiteral(".1st"),  QStringLiteral(".asc"),   QStringLiteral(".asi"),
            QStringLiteral(".asp"),  QStringLiteral(".cfm"),   QStringLiteral(".css"),
            QStringLiteral(".diz"),  QStringLiteral(".htm"),   QStringLiteral(".html"),
            QStringLiteral(".shtm"), QStringLiteral(".shtml"), QStringLiteral(".txt"),
            QStringLiteral(".text")};
}

QStringList SoundKeys() {
    return {QStringLiteral("ConnectSuccess"), QStringLiteral("ConnectFailure"),
            QStringLiteral("Disconnect"),     QStringLiteral("EndOfFile"),
            QStringLiteral("EndOfTotal"),     QStringLiteral("Error")};
}

TSettings DefaultSettings() {
    TSettings settings;
    settings.EMail = GuestEMail();
    settings.Viewer = DefaultViewer();
    settings.LogFile = DefaultLogFilePath();
    for (int i = 0; i < SoundCount; ++i)
        settings.Sounds.append(QString());
    settings.ASCIIExtensions = DefaultASCIIExtensions();
    return settings;
}

bool AddASCIIExtension(QStringList& extensions, const QString& text) {
    QString extension = text.trimmed();
    if (extension.isEmpty()) return false;
    if (!extension.startsWith(QLatin1Char('.'))) extension.prepend(QLatin1Char('.'));
    if (extension == QLatin1String(".") || extensions.contains(extension, Qt::CaseInsensitive))
        return false;
    extensions.append(extension);
    return true;
}
