#pragma once

#include "LoopbackServerProcess.h"

// Debian's vsftpd serving rootPath() to anonymous users on 127.0.0.1, run as the
// launching user (no privilege separation, no seccomp sandbox), passive and active
// data connections on loopback.
class TVsftpdServer : public TLoopbackServerProcess {
public:
    static constexpr const char* Program = "/usr/sbin/vsftpd";

    // Lets anonymous users upload, create folders, rename and delete.
    void setWritable(bool on) { m_writable = on; }
    // Converts line ends in ASCII mode, both ways (vsftpd sends text unchanged by default).
    void setAsciiConversion(bool on) { m_ascii = on; }
    // Caps each anonymous data transfer at this many bytes a second (0: no cap), so that a
    // test can look at a transfer while it runs.
    void setMaxRate(int bytesPerSecond) { m_maxRate = bytesPerSecond; }
    // Logs every command the clients send to protocolLog() ("FTP command: ... \"QUIT\"").
    void setProtocolLog(bool on) { m_protocolLog = on; }
    QString protocolLog() const { return workPath() + QStringLiteral("/vsftpd.log"); }
    // Refuses (421) a client's sessions beyond this many at once (0: no limit).
    void setMaxPerIp(int sessions) { m_maxPerIp = sessions; }
    // FTPS with the certificate and key given. vsftpd's default of refusing a data
    // connection that does not resume the control connection's TLS session stays on.
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
    bool m_ascii = false;
    int m_maxRate = 0;
    bool m_protocolLog = false;
    int m_maxPerIp = 0;
    TTls m_tls = TTls::Off;
    QString m_certificate, m_key;
};
