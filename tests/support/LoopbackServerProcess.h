#pragma once

// A real server program started by a test on a free 127.0.0.1 port, serving a temporary
// folder. Subclasses say how to start their program; this class finds the port, waits
// (bounded) until the port accepts connections, and stops exactly the process it started.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

class TLoopbackServerProcess {
public:
    TLoopbackServerProcess();
    virtual ~TLoopbackServerProcess();
    TLoopbackServerProcess(const TLoopbackServerProcess&) = delete;
    TLoopbackServerProcess& operator=(const TLoopbackServerProcess&) = delete;

    // Starts the server; false with errorText() when it did not come up within the time-out.
    bool start(int timeoutMs = 10000);
    void stop();
    // Stops the server and starts it again on the same port, as a restarted server is
    // found again by the clients that knew it.
    bool restart(int timeoutMs = 10000);
    bool isRunning() const;

    quint16 port() const { return m_port; }
    // The folder the server serves as "/"; fill it before or after start().
    QString rootPath() const { return m_root.path(); }
    // A private folder for configuration and logs.
    QString workPath() const { return m_work.path(); }
    QString errorText() const { return m_error; }
    // Everything the server wrote to standard output and error so far.
    QByteArray output();

protected:
    // The program and its arguments to serve rootPath() on 127.0.0.1:port; false with
    // errorText set when the program cannot run here.
    virtual bool command(quint16 port, QString& program, QStringList& arguments) = 0;
    void setErrorText(const QString& text) { m_error = text; }

private:
    bool waitUntilAccepting(int timeoutMs);

    QTemporaryDir m_root;
    QTemporaryDir m_work;
    // posix_spawn rather than QProcess: QProcess's clone-based start trips ThreadSanitizer.
    mutable pid_t m_pid = -1;
    QByteArray m_output;
    quint16 m_port = 0;
    QString m_error;
};

// How an FTP server started by a test offers TLS: AUTH TLS offered, or required for the
// log-in and every data connection, or TLS from the first byte.
enum class TServerTls { Off, Offered, Required, Implicit };

// A free TCP port on 127.0.0.1 at the time of the call.
quint16 FreeLoopbackPort();
