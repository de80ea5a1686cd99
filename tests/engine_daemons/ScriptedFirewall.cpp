#include "ScriptedFirewall.h"

#include <QDeadlineTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int WaitMs = 20000;

// Waits (bounded) until fd is readable; false on time-out or when the stop pipe fires.
bool WaitReadable(int fd, int stopFd, int timeoutMs) {
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd, POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0 || fds[0].revents != 0) return false;
    return fds[1].revents != 0;
}

bool SendAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

bool SendLine(int fd, const QByteArray& line) {
    return SendAll(fd, line + "\r\n");
}

int ConnectLoopback(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

} // namespace

TScriptedFirewall::TScriptedFirewall(int kind, const QByteArray& user, const QByteArray& password)
    : m_kind(kind), m_user(user), m_password(password) {}

TScriptedFirewall::~TScriptedFirewall() {
    if (m_stopPipe[1] >= 0) {
        const char stop = 's';
        (void)!::write(m_stopPipe[1], &stop, 1);
    }
    if (m_thread.joinable()) m_thread.join();
    for (int fd : {m_listenFd, m_stopPipe[0], m_stopPipe[1]})
        if (fd >= 0) ::close(fd);
}

bool TScriptedFirewall::listen() {
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0) return false;
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listenFd, 4) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
    return true;
}

QList<QByteArray> TScriptedFirewall::transcript() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_transcript;
}

QString TScriptedFirewall::failure() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}

bool TScriptedFirewall::fail(const QString& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failure.isEmpty()) m_failure = text;
    return false;
}

void TScriptedFirewall::record(const QByteArray& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_transcript << line;
}

void TScriptedFirewall::run() {
    if (!WaitReadable(m_listenFd, m_stopPipe[0], WaitMs)) {
        fail(QStringLiteral("no client connected"));
        return;
    }
    const int client = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
        fail(QStringLiteral("accept failed"));
        return;
    }
    if (!serve(client)) SendLine(client, "421 Firewall closing");
    ::close(client);
}

// One line without CR/LF from fd, buffered; null on time-out, close or stop.
QByteArray TScriptedFirewall::readLine(int fd, QByteArray& buffer) {
    const QDeadlineTimer deadline(WaitMs);
    for (int end = buffer.indexOf('\n'); end < 0; end = buffer.indexOf('\n')) {
        char chunk[4096];
        const int left = int(deadline.remainingTime());
        if (left <= 0 || !WaitReadable(fd, m_stopPipe[0], left)) return {};
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return {};
        buffer.append(chunk, n);
    }
    const int end = int(buffer.indexOf('\n'));
    QByteArray line = buffer.left(end);
    buffer.remove(0, end + 1);
    if (line.endsWith('\r')) line.chop(1);
    return line;
}

bool TScriptedFirewall::serve(int client) {
    QByteArray fromClient;
    auto expect = [&](const QByteArray& wanted) {
        const QByteArray line = readLine(client, fromClient);
        if (line.isNull())
            return fail(
                QStringLiteral("no line where \"%1\" was due").arg(QString::fromLatin1(wanted)));
        record(line);
        if (line == wanted) return true;
        return fail(QStringLiteral("\"%1\" where \"%2\" was due")
                        .arg(QString::fromLatin1(line), QString::fromLatin1(wanted)));
    };
    SendLine(client, "220 Scripted firewall ready");
    if (m_kind == 0 || m_kind == 2) {
        if (!expect("USER " + m_user) || !SendLine(client, "331 Firewall password required") ||
            !expect("PASS " + m_password) || !SendLine(client, "230 Firewall user logged in"))
            return false;
    }
    // The rest of the firewall part names the target; its user line is forwarded.
    const QByteArray line = readLine(client, fromClient);
    if (line.isNull()) return fail(QStringLiteral("no target named"));
    record(line);
    static const char* const verbs[] = {"SITE ", "OPEN ", "USER ", "USER "};
    if (m_kind < 0 || m_kind > 3 || !line.startsWith(verbs[m_kind]))
        return fail(QStringLiteral("unexpected \"%1\"").arg(QString::fromLatin1(line)));
    QByteArray target = line.mid(5);
    QByteArray forward;
    if (m_kind >= 2) {
        const int at = int(target.lastIndexOf('@'));
        if (at < 0) return fail(QStringLiteral("no @target in the user line"));
        forward = "USER " + target.left(at);
        target = target.mid(at + 1);
    }
    const QList<QByteArray> hostPort = target.split(':');
    bool numeric = hostPort.size() <= 2;
    const int port = hostPort.size() == 2 ? hostPort[1].toInt(&numeric) : 21;
    if (hostPort[0] != "127.0.0.1" || !numeric || port <= 0 || port > 65535)
        return fail(
            QStringLiteral("target \"%1\" is not on loopback").arg(QString::fromLatin1(target)));
    const int server = ConnectLoopback(quint16(port));
    if (server < 0) return fail(QStringLiteral("target refused"));
    // The client has its greeting already: the server's is read here and not passed on.
    QByteArray fromServer;
    QByteArray greeting;
    do {
        greeting = readLine(server, fromServer);
    } while (!greeting.isNull() && !(greeting.size() >= 4 && greeting[3] == ' '));
    const bool ready = greeting.startsWith("220 ") &&
                       (forward.isEmpty() ? SendLine(client, "200 Connected to " + target)
                                          : SendLine(server, forward));
    if (ready) {
        // Bytes already read past the greeting or the target line travel on first.
        if (SendAll(server, fromClient) && SendAll(client, fromServer)) relay(client, server);
    } else {
        fail(QStringLiteral("the target did not greet"));
    }
    ::close(server);
    return ready;
}

void TScriptedFirewall::relay(int client, int server) {
    QByteArray pending;
    // Ends when either side closes, on stop, or after a long silence.
    for (;;) {
        pollfd fds[3] = {{m_stopPipe[0], POLLIN, 0}, {client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(fds, 3, WaitMs) <= 0 || fds[0].revents != 0) return;
        for (int i = 1; i <= 2; ++i) {
            if (fds[i].revents == 0) continue;
            char chunk[4096];
            const ssize_t n = ::recv(fds[i].fd, chunk, sizeof chunk, 0);
            if (n <= 0) return;
            if (!SendAll(i == 1 ? server : client, QByteArray(chunk, n))) return;
            if (i != 1) continue;
            pending.append(chunk, n);
            for (int end = int(pending.indexOf('\n')); end >= 0; end = int(pending.indexOf('\n'))) {
                record(pending.left(end).trimmed());
                pending.remove(0, end + 1);
            }
        }
    }
}
