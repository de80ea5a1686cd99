#pragma once

// A scripted FTP server on 127.0.0.1 for protocol tests: each accepted control connection runs a
// script on its own thread, so a test can play servers that misbehave in ways real ones won't
// (replies split across segments, silence, closes, resets, huge replies).
//
// Plain POSIX sockets and std::thread rather than Qt: the test thread is busy in
// QSignalSpy::wait / QTest::qWait, and segment boundaries must be under exact control.
// Every blocking call is bounded by its timeout and wakes at once when the server is destroyed.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TScriptedFtpServer;

// One accepted control connection, used from its script's thread only.
class TScriptedConnection {
public:
    TScriptedConnection(TScriptedFtpServer& server, int fd, int stopFd);
    ~TScriptedConnection();
    TScriptedConnection(const TScriptedConnection&) = delete;
    TScriptedConnection& operator=(const TScriptedConnection&) = delete;

    // One write, then a pause (30 ms by default) so separate calls arrive as separate segments.
    void send(const QByteArray& bytes);
    void sendLine(const QByteArray& line);
    void setSendPause(int ms) { m_sendPauseMs = ms; }

    // One command line without CR/LF, recorded in the transcript.
    // On timeout or close: a null QByteArray, readFailed() is true and a failure is recorded.
    QByteArray readLine(int timeoutMs = 10000);
    QByteArray expect(const QByteArray& prefix, int timeoutMs = 10000);
    bool readFailed() const { return m_readFailed; }

    void pause(int ms);
    void close();
    void reset();
    bool waitForPeerClose(int timeoutMs = 10000);
    bool isClosed() const { return m_fd < 0; }
    bool peerClosed() const { return m_peerClosed; }

    // Data connections. openPassive() listens on 127.0.0.1:0 and returns the 227 reply for it;
    // passivePort() lets a test word its own reply (EPSV, a foreign address in 227...).
    QByteArray openPassive();
    quint16 passivePort() const { return m_passivePort; }
    // "PORT 127,0,0,1,p1,p2"; any other host is refused.
    bool connectActive(const QByteArray& portCommandLine);
    bool acceptData(int timeoutMs = 10000);
    void sendData(const QByteArray& bytes);
    QByteArray receiveDataUntilClose(int timeoutMs = 10000);
    void closeData();
    void resetData();

    // Plays a firewall that has done its part: connects to the server at 127.0.0.1:port, drops
    // its greeting (the client has one), sends toServer there and toClient back if not empty,
    // then relays both ways, recording the client's lines, until either side closes.
    void relayTo(quint16 port, const QByteArray& toServer, const QByteArray& toClient);

private:
    enum class ReadResult { Line, Timeout, Closed, Stopped };
    friend void ServeCommands(TScriptedConnection&, const QMap<QByteArray, QByteArray>&, int);
    ReadResult readRawLine(int timeoutMs, QByteArray& line);
    bool writeAll(int fd, const QByteArray& bytes, const char* what);
    void fail(const QString& text);
    void record(const QByteArray& line);

    TScriptedFtpServer& m_server;
    int m_fd;
    const int m_stopFd;
    int m_passiveFd = -1;
    int m_dataFd = -1;
    quint16 m_passivePort = 0;
    int m_sendPauseMs = 30;
    bool m_readFailed = false;
    bool m_peerClosed = false;
    QByteArray m_input;
};

class TScriptedFtpServer {
public:
    using Script = std::function<void(TScriptedConnection&)>;

    TScriptedFtpServer();
    // Stops listening, wakes every blocked call, joins every thread, closes every socket.
    // A script that blocks outside this class's calls delays it.
    ~TScriptedFtpServer();
    TScriptedFtpServer(const TScriptedFtpServer&) = delete;
    TScriptedFtpServer& operator=(const TScriptedFtpServer&) = delete;

    quint16 port() const { return m_port; }
    // Runs for every accepted control connection, each on its own thread. When a script returns
    // without close(), the connection stays open until the client closes it or the server goes.
    void setScript(Script script);

    // Clients ask for the features once logged in: readLine() answers FEAT with this
    // reply (lines joined by CR LF) and goes on to the next command, so scripts need not
    // know of it. By default the server has no FEAT.
    void setFeatReply(const QByteArray& reply);
    QByteArray featReply() const;

    int connectionCount() const { return m_connectionCount.load(); }
    QList<QByteArray> transcript() const; // every command line read, over all connections
    QStringList failures() const;

private:
    friend class TScriptedConnection;
    void acceptLoop();
    static void runConnection(TScriptedConnection* connection, Script script);
    void record(const QByteArray& line);
    void addFailure(const QString& text);

    int m_listenFd = -1;
    int m_stopPipe[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<int> m_connectionCount{0};

    mutable std::mutex m_mutex;
    Script m_script;
    QList<QByteArray> m_transcript;
    QByteArray m_featReply = "502 Command not implemented.";
    QStringList m_failures;

    // Touched by the accept thread only, and by the destructor after it has joined that thread.
    std::vector<std::unique_ptr<TScriptedConnection>> m_connections;
    std::vector<std::thread> m_threads;
    std::thread m_acceptThread;
};

// A script step answering the remaining commands with fixed replies until the client closes:
// replies maps a verb ("NOOP", "TYPE", "QUIT"...) to a reply line; other verbs get
// "502 Command not implemented."; QUIT sends its reply (default "221 Goodbye.") and closes.
void ServeCommands(TScriptedConnection& c, const QMap<QByteArray, QByteArray>& replies,
                   int idleTimeoutMs = 10000);
