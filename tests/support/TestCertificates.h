#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Certificates made with openssl for one test run: a private authority, server
// certificates it signed for 127.0.0.1 and for another host name, and a self-signed one
// for 127.0.0.1. Pointing SSL_CERT_FILE at authority() makes it the system's only one.
class TTestCertificates {
public:
    enum TKind { ForLoopback, ForOtherHost, SelfSigned, KindCount };

    // False with errorText() when openssl failed.
    bool make();
    QString errorText() const { return m_error; }
    QString authority() const { return path("ca.pem"); }
    QString certificate(TKind kind) const { return path(Names[kind]) + ".pem"; }
    QString key(TKind kind) const { return path(Names[kind]) + ".key"; }
    // As `openssl x509 -fingerprint -sha256` prints it: "AB:CD:…".
    QByteArray fingerprint(TKind kind) const;

private:
    static constexpr const char* Names[KindCount] = {"loopback", "other", "self"};
    QString path(const char* name) const { return m_dir.path() + '/' + QString::fromLatin1(name); }
    bool openssl(const QStringList& arguments);

    QTemporaryDir m_dir;
    QString m_error;
};
