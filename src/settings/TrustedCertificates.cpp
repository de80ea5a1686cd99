#include "settings/TrustedCertificates.h"

#include "engine/Tls.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

QString TTrustedCertificates::Key(const QString& host, int port) {
    return host.trimmed().toLower() + QLatin1Char(':') + QString::number(port);
}

QList<TTrustedCertificates::TEntry> TTrustedCertificates::Read() const {
    QList<TEntry> entries;
    QFile file(FileName_);
    if (!file.open(QIODevice::ReadOnly)) return entries;
    // Bounded: a store is a few lines; anything past this is not ours.
    for (int count = 0; count < 100000 && !file.atEnd(); ++count) {
        const QList<QByteArray> fields = file.readLine(4096).simplified().split(' ');
        if (fields.size() != 2) continue;
        const QString key = QString::fromUtf8(fields[0]).toLower();
        const qsizetype colon = key.lastIndexOf(QLatin1Char(':'));
        bool numeric = false;
        const int port = colon > 0 ? key.mid(colon + 1).toInt(&numeric) : 0;
        const QByteArray fingerprint = NormalizedFingerprint(fields[1]);
        if (!numeric || port < 1 || port > 65535 || fingerprint.isEmpty()) continue;
        entries.append({key.left(colon) + QLatin1Char(':') + QString::number(port), fingerprint});
    }
    return entries;
}

QList<QByteArray> TTrustedCertificates::Fingerprints(const QString& host, int port) const {
    const QString key = Key(host, port);
    QList<QByteArray> found;
    for (const TEntry& entry : Read())
        if (entry.Key == key && !found.contains(entry.Fingerprint)) found.append(entry.Fingerprint);
    return found;
}

bool TTrustedCertificates::Remember(const QString& host, int port, const QByteArray& fingerprint,
                                    QString* errorText) {
    const QByteArray normal = NormalizedFingerprint(fingerprint);
    const QString key = Key(host, port);
    if (normal.isEmpty() || key.startsWith(QLatin1Char(':')) || key.contains(QLatin1Char(' '))) {
        if (errorText) *errorText = QStringLiteral("Not a certificate fingerprint: %1").arg(key);
        return false;
    }
    QList<TEntry> entries = Read();
    entries.removeIf([&](const TEntry& entry) { return entry.Key == key; });
    entries.append({key, normal});

    QByteArray data;
    for (const TEntry& entry : entries)
        data += entry.Key.toUtf8() + ' ' + entry.Fingerprint + '\n';
    QSaveFile file(FileName_);
    // Narrowed before any byte is written, whatever mode an older file had.
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                    file.write(data) == data.size() && file.commit();
    if (!ok && errorText)
        *errorText = QStringLiteral("Unable to write to %1: %2").arg(FileName_, file.errorString());
    return ok;
}

QString TrustedCertificatesFileBeside(const QString& sitesFile) {
    return QFileInfo(sitesFile).dir().filePath(QStringLiteral("TrustedCertificates.txt"));
}
