#include "PureFtpdServer.h"
#include "RunProgram.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The crypt(3) hash of TPureFtpdServer::Password.
constexpr const char* PasswordHash = "$6$tolvar$St0iymofZD9JtYxZkadIABOBy9R4q7Shp3YD310XM."
                                     "DLoELW3JD6v7Ns2Izo18fKgFN9FNaVUL4E9Q9DAl7YJ.";

constexpr uid_t Nobody = 65534;

} // namespace

uid_t TPureFtpdServer::loginUid() const {
    return ::getuid() == 0 ? Nobody : ::getuid();
}

gid_t TPureFtpdServer::loginGid() const {
    return ::getuid() == 0 ? Nobody : ::getgid();
}

bool TPureFtpdServer::adopt(const QString& path) const {
    if (::getuid() != 0) return true;
    return ::chown(QFile::encodeName(path).constData(), loginUid(), loginGid()) == 0;
}

bool TPureFtpdServer::command(quint16 port, QString& program, QStringList& arguments) {
    const QByteArray prefix(Prefix);
    if (!QFile::exists(QString::fromLatin1(prefix + "/usr/bin/pure-pw"))) {
        setErrorText(QStringLiteral("pure-ftpd is not unpacked in %1: run scripts/install-deps.sh")
                         .arg(QString::fromLatin1(prefix)));
        return false;
    }
    if (!adopt(rootPath())) {
        setErrorText(QStringLiteral("cannot hand the root folder to the log-in user"));
        return false;
    }
    // "/./" at the end of the home folder chroots the user there.
    const QByteArray home = QFile::encodeName(rootPath()) + "/./";
    const QByteArray line = QByteArray(User) + ':' + PasswordHash + ':' +
                            QByteArray::number(loginUid()) + ':' + QByteArray::number(loginGid()) +
                            "::" + home + "::::::::::::\n";
    const QString passwd = workPath() + QStringLiteral("/pureftpd.passwd");
    const QString database = workPath() + QStringLiteral("/pureftpd.pdb");
    QFile file(passwd);
    if (!file.open(QIODevice::WriteOnly) || file.write(line) != line.size()) {
        setErrorText(QStringLiteral("cannot write ") + passwd);
        return false;
    }
    file.close();
    QFile::remove(database);
    if (RunProgram(QString::fromLatin1(prefix + "/usr/bin/pure-pw"),
                   {QStringLiteral("mkdb"), database, QStringLiteral("-f"), passwd}, {}, 10000)
            .ExitCode != 0) {
        setErrorText(QStringLiteral("pure-pw could not build the user database"));
        return false;
    }
    program = QString::fromLatin1(prefix + "/usr/sbin/pure-ftpd");
    arguments = {QStringLiteral("--bind"), QStringLiteral("127.0.0.1,%1").arg(port),
                 QStringLiteral("--login"), QStringLiteral("puredb:") + database,
                 QStringLiteral("--noanonymous"), QStringLiteral("--dontresolve"),
                 // Data connections stay on loopback whatever address the server has.
                 QStringLiteral("--forcepassiveip"), QStringLiteral("127.0.0.1"),
                 QStringLiteral("--umask"), QStringLiteral("133:022"),
                 QStringLiteral("--syslogfacility"), QStringLiteral("none")};
    if (m_tls == TTls::Implicit) {
        setErrorText(QStringLiteral("pure-ftpd offers implicit TLS only when built for it"));
        return false;
    }
    // 1 offers AUTH TLS; 3 refuses log-ins and data connections without it.
    if (m_tls != TTls::Off)
        arguments << QStringLiteral("--tls=%1").arg(m_tls == TTls::Offered ? 1 : 3)
                  << QStringLiteral("--certfile=%1,%2").arg(m_certificate, m_key);
    return true;
}
