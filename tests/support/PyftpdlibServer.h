#pragma once

#include "LoopbackServerProcess.h"

// pyftpdlib (Debian's python3-pyftpdlib) serving rootPath() to anonymous users on
// 127.0.0.1. Debian's own interpreter is used: the one on PATH may lack the package.
class TPyftpdlibServer : public TLoopbackServerProcess {
public:
    static constexpr const char* Python = "/usr/bin/python3";

    // Lets anonymous users upload, create folders, rename and delete.
    void setWritable(bool on) { m_writable = on; }
    // FTPS with the certificate and key given (python3-openssl); no implicit TLS.
    using TTls = TServerTls;
    void setTls(TTls mode, const QString& certificate, const QString& key) {
        m_tls = mode;
        m_certificate = certificate;
        m_key = key;
    }

protected:
    bool command(quint16 port, QString& program, QStringList& arguments) override;

private:
    bool m_writable = false;
    TTls m_tls = TTls::Off;
    QString m_certificate, m_key;
};
