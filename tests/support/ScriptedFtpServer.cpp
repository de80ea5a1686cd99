#include "ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <limits>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A command line longer than this is a client fault; the cap keeps a runaway client bounded.
constexpr qsizetype MaxLineLength = 64 * 1024;

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

enum class Wait { Ready, Timeout, Stopped };

// Waits for `events` on fd, or until the stop pipe becomes readable (server being destroyed).
Wait waitFor(int fd, short events, int stopFd, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd fds[2] = {{stopFd, POLLIN, 0}, {fd, events, 0}};
        const int n = ::poll(fds, fd >= 0 ? 2 : 1, remainingMs(deadline));
        if (n < 0 && errno == EINTR) continue;
        if (fds[0].revents) return Wait::Stopped;
        if (n > 0) return Wait::Ready;
        return Wait::Timeout;
    }
}

sockaddr_in loopback(quint16 port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    return addr;
}

// Waits for input and appends it (up to a little past the cap), or notes the close.
Wait receive(int fd, int stopFd, int timeoutMs, QByteArray& input, bool& closed,
             qsizetype cap = MaxLineLength) {
    const Wait w = waitFor(fd, POLLIN, stopFd, timeoutMs);
    if (w != Wait::Ready) return w;
    char buf[65536];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n > 0 && input.size() <= cap)
        input.append(buf, n);
    else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
        closed = true;
    return w;
}

int listenLoopback(quint16* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in addr = loopback(0);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

void setNoDelay(int fd) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// A blocking connect: on loopback it is refused or accepted at once.
int connectLoopback(quint16 port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in addr = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    setNoDelay(fd);
    return fd;
}

// Closing with unread input makes the kernel send RST, so an orderly close drains it first.
void closeOrderly(int& fd) {
    if (fd < 0) return;
    ::shutdown(fd, SHUT_WR);
    char buf[4096];
    while (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
    }
    ::close(fd);
    fd = -1;
}

void closeWithReset(int& fd) {
    if (fd < 0) return;
    const linger lin{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lin, sizeof lin);
    ::close(fd);
    fd = -1;
}

} // namespace

// ---- TScriptedConnection ------------------------------------------------------------------------

TScriptedConnection::TScriptedConnection(TScriptedFtpServer& server, int fd, int stopFd)
    : m_server(server), m_fd(fd), m_stopFd(stopFd) {}

TScriptedConnection::~TScriptedConnection() {
    closeOrderly(m_dataFd);
    if (m_passiveFd >= 0) ::close(m_passiveFd);
    closeOrderly(m_fd);
}

void TScriptedConnection::fail(const QString& text) {
    m_server.addFailure(text);
}

void TScriptedConnection::record(const QByteArray& line) {
    m_server.record(line);
}

bool TScriptedConnection::writeAll(int fd, const QByteArray& bytes, const char* what) {
    if (fd < 0) {
        fail(QStringLiteral("%1 on a closed connection").arg(QLatin1String(what)));
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Bounded by progress, not total time: a huge reply may take long to a slow reader.
            const Wait w = waitFor(fd, POLLOUT, m_stopFd, 10000);
            if (w == Wait::Stopped) return false;
            if (w == Wait::Timeout) {
                fail(QStringLiteral("%1 stalled: the client reads nothing for 10 s")
                         .arg(QLatin1String(what)));
                return false;
            }
            continue;
        }
        // The client went away; scripts that care ask peerClosed(), others carry on.
        m_peerClosed = true;
        return false;
    }
    return true;
}

void TScriptedConnection::send(const QByteArray& bytes) {
    if (writeAll(m_fd, bytes, "send")) pause(m_sendPauseMs);
}

void TScriptedConnection::sendLine(const QByteArray& line) {
    send(line + "\r\n");
}

TScriptedConnection::ReadResult TScriptedConnection::readRawLine(int timeoutMs, QByteArray& line) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const qsizetype eol = m_input.indexOf('\n');
        if (eol >= 0 || m_input.size() > MaxLineLength) {
            const qsizetype end = eol >= 0 ? eol : MaxLineLength;
            line = m_input.left(end);
            m_input.remove(0, eol >= 0 ? eol + 1 : end);
            if (line.endsWith('\r')) line.chop(1);
            return ReadResult::Line;
        }
        if (m_fd < 0 || m_peerClosed) return ReadResult::Closed;
        const Wait w = receive(m_fd, m_stopFd, remainingMs(deadline), m_input, m_peerClosed);
        if (w == Wait::Stopped) return ReadResult::Stopped;
        if (w == Wait::Timeout) return ReadResult::Timeout;
    }
}

QByteArray TScriptedConnection::readLine(int timeoutMs) {
    QByteArray line;
    ReadResult r = readRawLine(timeoutMs, line);
    while (r == ReadResult::Line && line.toUpper() == "FEAT") {
        sendLine(m_server.featReply());
        r = readRawLine(timeoutMs, line);
    }
    m_readFailed = r != ReadResult::Line;
    if (r == ReadResult::Line) {
        record(line);
        return line;
    }
    if (r == ReadResult::Timeout)
        fail(QStringLiteral("no command within %1 ms").arg(timeoutMs));
    else if (r == ReadResult::Closed)
        fail(QStringLiteral("connection closed while waiting for a command"));
    return QByteArray();
}

QByteArray TScriptedConnection::expect(const QByteArray& prefix, int timeoutMs) {
    const QByteArray line = readLine(timeoutMs);
    if (!m_readFailed && !line.startsWith(prefix))
        fail(QStringLiteral("expected %1, got %2")
                 .arg(QString::fromLatin1(prefix), QString::fromLatin1(line)));
    return line;
}

void TScriptedConnection::pause(int ms) {
    if (ms > 0) waitFor(-1, 0, m_stopFd, ms);
}

void TScriptedConnection::close() {
    closeOrderly(m_fd);
}

void TScriptedConnection::reset() {
    closeWithReset(m_fd);
}

bool TScriptedConnection::waitForPeerClose(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Bytes sent meanwhile stay available to readLine().
    while (!m_peerClosed)
        if (m_fd < 0 ||
            receive(m_fd, m_stopFd, remainingMs(deadline), m_input, m_peerClosed) != Wait::Ready)
            return false;
    return true;
}

QByteArray TScriptedConnection::openPassive() {
    if (m_passiveFd >= 0) ::close(m_passiveFd);
    m_passiveFd = listenLoopback(&m_passivePort);
    if (m_passiveFd < 0) {
        fail(QStringLiteral("cannot open a passive listener: %1").arg(qt_error_string(errno)));
        m_passivePort = 0;
    }
    return QByteArray("227 Entering Passive Mode (127,0,0,1,") +
           QByteArray::number(m_passivePort >> 8) + ',' + QByteArray::number(m_passivePort & 0xFF) +
           ").";
}

bool TScriptedConnection::connectActive(const QByteArray& portCommandLine) {
    const QList<QByteArray> f = portCommandLine.mid(5).trimmed().split(',');
    const int port = f.size() == 6 ? f[4].toInt() * 256 + f[5].toInt() : 0;
    // Tests must never reach beyond loopback, whatever address the client announces.
    if (!portCommandLine.toUpper().startsWith("PORT ") || f.mid(0, 4).join('.') != "127.0.0.1" ||
        port <= 0 || port > 65535) {
        fail(QStringLiteral("refused active data connection for: %1")
                 .arg(QString::fromLatin1(portCommandLine)));
        return false;
    }
    closeOrderly(m_dataFd);
    m_dataFd = connectLoopback(quint16(port));
    if (m_dataFd < 0)
        fail(QStringLiteral("active data connection to port %1 failed: %2")
                 .arg(port)
                 .arg(qt_error_string(errno)));
    return m_dataFd >= 0;
}

bool TScriptedConnection::acceptData(int timeoutMs) {
    if (m_passiveFd < 0) {
        fail(QStringLiteral("acceptData without openPassive"));
        return false;
    }
    const Wait w = waitFor(m_passiveFd, POLLIN, m_stopFd, timeoutMs);
    if (w == Wait::Ready) {
        closeOrderly(m_dataFd);
        m_dataFd = ::accept4(m_passiveFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    }
    // One data connection per PASV, as real servers do.
    ::close(m_passiveFd);
    m_passiveFd = -1;
    if (m_dataFd < 0 && w != Wait::Stopped)
        fail(QStringLiteral("no data connection within %1 ms").arg(timeoutMs));
    if (m_dataFd >= 0) setNoDelay(m_dataFd);
    return m_dataFd >= 0;
}

void TScriptedConnection::sendData(const QByteArray& bytes) {
    writeAll(m_dataFd, bytes, "sendData");
}

QByteArray TScriptedConnection::receiveDataUntilClose(int timeoutMs) {
    QByteArray data;
    if (m_dataFd < 0) fail(QStringLiteral("receiveDataUntilClose without a data connection"));
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (bool closed = m_dataFd < 0; !closed;) {
        const Wait w = receive(m_dataFd, m_stopFd, remainingMs(deadline), data, closed,
                               std::numeric_limits<qsizetype>::max());
        if (w == Wait::Timeout)
            fail(QStringLiteral("data connection still open after %1 ms").arg(timeoutMs));
        if (w != Wait::Ready) return data;
    }
    ::close(m_dataFd);
    m_dataFd = -1;
    return data;
}

void TScriptedConnection::closeData() {
    closeOrderly(m_dataFd);
}

void TScriptedConnection::resetData() {
    closeWithReset(m_dataFd);
}

void TScriptedConnection::relayTo(quint16 port, const QByteArray& toServer,
                                  const QByteArray& toClient) {
    const int server = connectLoopback(port);
    if (server < 0) {
        fail(QStringLiteral("relay: cannot connect to port %1").arg(port));
        return;
    }
    // Both directions carry what was read beyond the last line handled so far.
    QByteArray fromServer, fromClient = m_input;
    m_input.clear();
    for (bool greeted = false; !greeted;) {
        if (waitFor(server, POLLIN, m_stopFd, 10000) != Wait::Ready) break;
        char buf[4096];
        const ssize_t n = ::recv(server, buf, sizeof buf, 0);
        if (n <= 0) break;
        fromServer.append(buf, n);
        for (qsizetype eol; !greeted && (eol = fromServer.indexOf('\n')) >= 0;) {
            greeted = eol >= 4 && fromServer[3] == ' ';
            fromServer.remove(0, eol + 1);
        }
    }
    if (writeAll(server, toServer.isEmpty() ? toServer : toServer + "\r\n", "relay") &&
        writeAll(m_fd, toClient.isEmpty() ? toClient : toClient + "\r\n", "relay") &&
        writeAll(server, fromClient, "relay") && writeAll(m_fd, fromServer, "relay")) {
        for (QByteArray pending = fromClient;;) {
            pollfd fds[3] = {{m_stopFd, POLLIN, 0}, {m_fd, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(fds, 3, 20000) <= 0 || fds[0].revents != 0) break;
            const int from = fds[1].revents ? m_fd : server;
            char buf[4096];
            const ssize_t n = ::recv(from, buf, sizeof buf, 0);
            if (n <= 0 || !writeAll(from == m_fd ? server : m_fd, QByteArray(buf, n), "relay"))
                break;
            if (from != m_fd) continue;
            pending.append(buf, n);
            for (qsizetype eol; (eol = pending.indexOf('\n')) >= 0; pending.remove(0, eol + 1))
                record(pending.left(eol).trimmed());
        }
    }
    ::close(server);
}

// ---- TScriptedFtpServer -------------------------------------------------------------------------

TScriptedFtpServer::TScriptedFtpServer() {
    if (::pipe2(m_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) qFatal("ScriptedFtpServer: pipe2 failed");
    m_listenFd = listenLoopback(&m_port);
    if (m_listenFd < 0) qFatal("ScriptedFtpServer: cannot listen on 127.0.0.1");
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

TScriptedFtpServer::~TScriptedFtpServer() {
    // The byte is never read, so every poll() on the pipe returns at once from now on.
    const char stop = 's';
    [[maybe_unused]] const ssize_t ignored = ::write(m_stopPipe[1], &stop, 1);
    m_acceptThread.join();
    for (std::thread& t : m_threads)
        t.join();
    m_connections.clear();
    ::close(m_listenFd);
    ::close(m_stopPipe[0]);
    ::close(m_stopPipe[1]);
}

void TScriptedFtpServer::setScript(Script script) {
    std::lock_guard lock(m_mutex);
    m_script = std::move(script);
}

void TScriptedFtpServer::acceptLoop() {
    for (;;) {
        if (waitFor(m_listenFd, POLLIN, m_stopPipe[0], 3600 * 1000) == Wait::Stopped) return;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) continue;
        setNoDelay(fd);
        Script script;
        {
            std::lock_guard lock(m_mutex);
            script = m_script;
        }
        m_connections.push_back(std::make_unique<TScriptedConnection>(*this, fd, m_stopPipe[0]));
        TScriptedConnection* connection = m_connections.back().get();
        m_connectionCount.fetch_add(1);
        m_threads.emplace_back([connection, script] { runConnection(connection, script); });
    }
}

void TScriptedFtpServer::runConnection(TScriptedConnection* connection, Script script) {
    if (script) script(*connection);
    if (!connection->isClosed()) {
        connection->waitForPeerClose(24 * 3600 * 1000);
        connection->close();
    }
    connection->closeData();
}

void TScriptedFtpServer::record(const QByteArray& line) {
    std::lock_guard lock(m_mutex);
    m_transcript.append(line);
}

void TScriptedFtpServer::addFailure(const QString& text) {
    std::lock_guard lock(m_mutex);
    m_failures.append(text);
}

QList<QByteArray> TScriptedFtpServer::transcript() const {
    std::lock_guard lock(m_mutex);
    return m_transcript;
}

QStringList TScriptedFtpServer::failures() const {
    std::lock_guard lock(m_mutex);
    return m_failures;
}

void TScriptedFtpServer::setFeatReply(const QByteArray& reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_featReply = reply;
}

QByteArray TScriptedFtpServer::featReply() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_featReply;
}

void ServeCommands(TScriptedConnection& c, const QMap<QByteArray, QByteArray>& replies,
                   int idleTimeoutMs) {
    for (;;) {
        QByteArray line;
        const auto result = c.readRawLine(idleTimeoutMs, line);
        if (result == TScriptedConnection::ReadResult::Timeout)
            c.fail(QStringLiteral("ServeCommands: no command within %1 ms").arg(idleTimeoutMs));
        if (result != TScriptedConnection::ReadResult::Line) return;
        c.record(line);
        const qsizetype space = line.indexOf(' ');
        const QByteArray verb = (space < 0 ? line : line.left(space)).toUpper();
        if (verb == "QUIT") {
            c.sendLine(replies.value(verb, "221 Goodbye."));
            c.close();
            return;
        }
        c.sendLine(replies.value(verb, verb == "FEAT" ? c.m_server.featReply()
                                                      : "502 Command not implemented."));
    }
}
