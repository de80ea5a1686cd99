#include "VsftpdServer.h"

#include <QDir>
#include <QFile>

bool TVsftpdServer::command(quint16 port, QString& program, QStringList& arguments) {
    const QString empty = workPath() + QStringLiteral("/empty");
    QDir().mkpath(empty);
    const char* yesNo[] = {"NO", "YES"};
    const QByteArray writable = yesNo[m_writable ? 1 : 0];
    QByteArray config;
    config += "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n";
    config += "listen_port=" + QByteArray::number(port) + "\n";
    config += "background=NO\nrun_as_launching_user=YES\nseccomp_sandbox=NO\n";
    config += "secure_chroot_dir=" + QFile::encodeName(empty) + "\n";
    config += "anonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n";
    config += "anon_root=" + QFile::encodeName(rootPath()) + "\n";
    config += "write_enable=" + writable + "\nanon_upload_enable=" + writable +
              "\nanon_mkdir_write_enable=" + writable + "\nanon_other_write_enable=" + writable +
              "\nanon_umask=022\n";
    // Data connections stay on loopback whatever address the control connection reports.
    config += "pasv_enable=YES\npasv_address=127.0.0.1\npasv_addr_resolve=NO\n";
    config += "port_enable=YES\nconnect_from_port_20=NO\n";
    // Temporary folders are private (0700); anonymous users still may read them.
    config += "anon_world_readable_only=NO\n";
    config += "use_localtime=NO\nhide_ids=NO\n";
    config += m_protocolLog ? "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\n"
                            : "xferlog_enable=NO\n";
    config += "syslog_enable=NO\ndual_log_enable=NO\n";
    config +=
        "vsftpd_log_file=" + QFile::encodeName(workPath() + QStringLiteral("/vsftpd.log")) + "\n";
    config += "idle_session_timeout=120\ndata_connection_timeout=60\n";
    if (m_ascii) config += "ascii_upload_enable=YES\nascii_download_enable=YES\n";
    config += "anon_max_rate=" + QByteArray::number(m_maxRate) + "\n";
    config += "max_per_ip=" + QByteArray::number(m_maxPerIp) + "\n";
    if (m_tls != TTls::Off) {
        const QByteArray required = yesNo[m_tls == TTls::Offered ? 0 : 1];
        config += "ssl_enable=YES\nallow_anon_ssl=YES\nrequire_ssl_reuse=YES\n";
        config += "force_anon_logins_ssl=" + required + "\nforce_anon_data_ssl=" + required + "\n";
        config += "implicit_ssl=" + QByteArray(yesNo[m_tls == TTls::Implicit ? 1 : 0]) + "\n";
        // Uploads must end with close_notify; the package's default ciphers are ones
        // OpenSSL 3 no longer offers.
        config += "strict_ssl_read_eof=YES\nssl_ciphers=HIGH\n";
        config += "rsa_cert_file=" + QFile::encodeName(m_certificate) + "\n";
        config += "rsa_private_key_file=" + QFile::encodeName(m_key) + "\n";
    }

    QFile file(workPath() + QStringLiteral("/vsftpd.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size()) {
        setErrorText(QStringLiteral("cannot write ") + file.fileName());
        return false;
    }
    program = QString::fromLatin1(Program);
    arguments = {file.fileName()};
    return true;
}
