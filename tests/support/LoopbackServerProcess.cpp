#include "LoopbackServerProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// Starts the program with standard input from /dev/null and both outputs into logPath.
pid_t Spawn(const QString& program, const QStringList& arguments, const QString& logPath,
            QString& error) {
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString& argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray log = logPath.toLocal8Bit();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.constData(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error = program + QStringLiteral(" did not start: ") +
                QString::fromLocal8Bit(std::strerror(rc));
        return -1;
    }
    return pid;
}

} // namespace

quint16 FreeLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

TLoopbackServerProcess::TLoopbackServerProcess() = default;

TLoopbackServerProcess::~TLoopbackServerProcess() {
    stop();
}

bool TLoopbackServerProcess::start(int timeoutMs) {
    stop();
    if (!m_root.isValid() || !m_work.isValid()) {
        m_error = QStringLiteral("cannot create temporary folders");
        return false;
    }
    // Another program may take the port between the probe and the server's bind: try again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = FreeLoopbackPort();
        QString program;
        QStringList arguments;
        if (m_port == 0 || !command(m_port, program, arguments)) return false;
        if (!QFileInfo(program).isExecutable()) {
            m_error = program + QStringLiteral(" is not installed");
            return false;
        }
        m_pid = Spawn(program, arguments, m_work.filePath(QStringLiteral("output.log")), m_error);
        if (m_pid < 0) return false;
        if (waitUntilAccepting(timeoutMs)) return true;
        stop();
    }
    return false;
}

bool TLoopbackServerProcess::restart(int timeoutMs) {
    stop();
    QString program;
    QStringList arguments;
    if (m_port == 0 || !command(m_port, program, arguments)) return false;
    m_pid = Spawn(program, arguments, m_work.filePath(QStringLiteral("output.log")), m_error);
    return m_pid >= 0 && waitUntilAccepting(timeoutMs);
}

bool TLoopbackServerProcess::waitUntilAccepting(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (!isRunning()) {
            m_error = QStringLiteral("server exited: ") + QString::fromLocal8Bit(output());
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(250)) {
            probe.abort();
            return true;
        }
        QThread::msleep(50);
    }
    m_error = QStringLiteral("port %1 did not accept connections in time: %2")
                  .arg(m_port)
                  .arg(QString::fromLocal8Bit(output()));
    return false;
}

bool TLoopbackServerProcess::isRunning() const {
    if (m_pid <= 0) return false;
    int status = 0;
    const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
    if (done == m_pid || (done < 0 && errno == ECHILD)) m_pid = -1;
    return m_pid > 0;
}

void TLoopbackServerProcess::stop() {
    if (!isRunning()) return;
    // Only the process started here is signalled, by its id, never anything else.
    ::kill(m_pid, SIGTERM);
    const QDeadlineTimer deadline(3000);
    while (isRunning() && !deadline.hasExpired())
        QThread::msleep(20);
    if (isRunning()) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
}

QByteArray TLoopbackServerProcess::output() {
    QFile log(m_work.filePath(QStringLiteral("output.log")));
    if (log.open(QIODevice::ReadOnly)) m_output = log.readAll();
    return m_output;
}
