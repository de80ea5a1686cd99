#include "PureFtpdServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <csignal>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The crypt(3) hash of TPureFtpdServer::Password.
constexpr const char* PasswordHash = "$6$tolvar$St0iymofZD9JtYxZkadIABOBy9R4q7Shp3YD310XM."
                                     "DLoELW3JD6v7Ns2Izo18fKgFN9FNaVUL4E9Q9DAl7YJ.";

constexpr uid_t Nobody = 65534;

// Runs a short helper program to its end (bounded); true when it exited with 0.
bool RunToEnd(const QByteArray& program, const QList<QByteArray>& arguments) {
    std::vector<QByteArray> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    const QDeadlineTimer deadline(10000);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        QThread::msleep(10);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

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
    if (!RunToEnd(prefix + "/usr/bin/pure-pw",
                  {"mkdb", QFile::encodeName(database), "-f", QFile::encodeName(passwd)})) {
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
    return true;
}
