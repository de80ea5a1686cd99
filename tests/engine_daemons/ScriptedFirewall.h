#pragma once

// A scripted FTP firewall on 127.0.0.1 for one client: it answers the firewall part of the
// log-in of one of the four kinds itself, checking each command exactly, then connects to
// the target named by the client (127.0.0.1 only) and relays the control connection both
// ways. Data connections go straight to the real server, whose passive address is loopback.
//
// Plain POSIX sockets on a thread of its own, as the scripted server: the test thread waits
// in its event loop meanwhile. Every wait is bounded and ends at once on destruction.

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

class TScriptedFirewall {
public:
    // kind: 0 USER/PASS then SITE target, 1 OPEN target, 2 USER/PASS then USER user@target,
    // 3 USER user@target.
    TScriptedFirewall(int kind, const QByteArray& user, const QByteArray& password);
    ~TScriptedFirewall();
    TScriptedFirewall(const TScriptedFirewall&) = delete;
    TScriptedFirewall& operator=(const TScriptedFirewall&) = delete;

    bool listen();
    quint16 port() const { return m_port; }

    // Every line the client sent, the firewall part and the relayed lines, in order.
    QList<QByteArray> transcript() const;
    // What went wrong, empty when the firewall part went as the kind prescribes.
    QString failure() const;

private:
    void run();
    bool serve(int client);
    void relay(int client, int server);
    QByteArray readLine(int fd, QByteArray& buffer);
    // Keeps the first failure; returns false for the caller to pass on.
    bool fail(const QString& text);
    void record(const QByteArray& line);

    const int m_kind;
    const QByteArray m_user, m_password;
    int m_listenFd = -1;
    int m_stopPipe[2] = {-1, -1};
    quint16 m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    QList<QByteArray> m_transcript;
    QString m_failure;
};
