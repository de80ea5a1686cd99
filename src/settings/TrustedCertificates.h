#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The server certificates the user chose to trust always, kept in a file of their own
// beside the site list ("TrustedCertificates.txt"): one line per entry,
// "host:port SHA-256-fingerprint", the host as typed in lower case and the port always
// written. Lines that cannot be read are skipped. The file is readable by its owner only.
class TTrustedCertificates {
public:
    explicit TTrustedCertificates(const QString& fileName) : FileName_(fileName) {}

    const QString& FileName() const { return FileName_; }

    // The fingerprints ("AB:CD:…") trusted for host:port, oldest first.
    QList<QByteArray> Fingerprints(const QString& host, int port) const;
    // Trusts the fingerprint for host:port from now on, in place of any other trusted
    // for it: only a certificate the user chose to trust is remembered. False with
    // errorText when the file cannot be written or the fingerprint is not one.
    bool Remember(const QString& host, int port, const QByteArray& fingerprint,
                  QString* errorText = nullptr);

    // "host:port" as the file keys it.
    static QString Key(const QString& host, int port);

private:
    struct TEntry {
        QString Key;
        QByteArray Fingerprint;
    };
    QList<TEntry> Read() const;

    QString FileName_;
};

// The store beside the given site list.
QString TrustedCertificatesFileBeside(const QString& sitesFile);
