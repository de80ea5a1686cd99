#pragma once

#include "LoopbackServerProcess.h"

#include <sys/types.h>

// pure-ftpd, unpacked by scripts/install-deps.sh (its package conflicts with vsftpd),
// serving rootPath() on 127.0.0.1 to one virtual user with a password, chrooted there.
// pure-ftpd refuses root log-ins, so when the tests run as root the user is "nobody"
// and files the test puts into the root must be handed over with adopt().
class TPureFtpdServer : public TLoopbackServerProcess {
public:
    static constexpr const char* Prefix = "/opt/tolvar-test/pure-ftpd";
    static constexpr const char* User = "tester";
    static constexpr const char* Password = "secret";

    // Gives a file or folder made by the test to the log-in user, so it may change it.
    bool adopt(const QString& path) const;
    // FTPS with the certificate and key given; this build has no implicit TLS.
    using TTls = TServerTls;
    void setTls(TTls mode, const QString& certificate, const QString& key) {
        m_tls = mode;
        m_certificate = certificate;
        m_key = key;
    }

protected:
    bool command(quint16 port, QString& program, QStringList& arguments) override;

private:
    uid_t loginUid() const;
    gid_t loginGid() const;

    TTls m_tls = TTls::Off;
    QString m_certificate, m_key;
};
