#include "platform/SafeName.h"

#include "listing/FtpUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

bool SafeLocalName(const QByteArray& serverName, QString& localName, QString* reason) {
    QString why;
    if (serverName.isEmpty())
        why = QStringLiteral("the server sent an empty name");
    else if (serverName == "." || serverName == "..")
        why = QStringLiteral("\"%1\" names a folder, not a file")
                  .arg(QString::fromLatin1(serverName));
    else if (serverName.contains('/'))
        why = QStringLiteral("\"%1\" holds a \"/\"").arg(QString::fromUtf8(serverName));
    else if (serverName.contains('\0'))
        why = QStringLiteral("the name holds a NUL byte");
    if (!why.isEmpty()) {
        if (reason) *reason = why;
        return false;
    }
    // Local names are UTF-8; a name in another encoding is read as Latin-1, so distinct
    // server names stay distinct instead of collapsing into replacement characters.
    localName = DisplayText(serverName);
    return true;
}

QString PrivateTempFolder() {
    // QTemporaryDir makes its folder with mode 0700 and removes it at exit.
    static std::unique_ptr<QTemporaryDir> folder;
    if (!folder || !folder->isValid()) folder = std::make_unique<QTemporaryDir>();
    QString path = folder->path();
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

QString NewPrivateTempFolder() {
    static int next = 0;
    const QString base = PrivateTempFolder();
    // Bounded: the folder is ours alone, so a taken number is only one made earlier.
    for (int tries = 0; tries < 1000; ++tries) {
        const QString folder = base + QString::number(++next);
        if (QDir().mkdir(folder)) return folder + QLatin1Char('/');
    }
    return {};
}
