#include "LoopbackServerProcess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

quint16 FreeLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

TLoopbackServerProcess::TLoopbackServerProcess() {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

TLoopbackServerProcess::~TLoopbackServerProcess() { stop(); }

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
        if (m_port == 0 || !command(m_port, program, arguments))
            return false;
        if (!QFileInfo(program).isExecutable()) {
            m_error = program + QStringLiteral(" is not installed");
            return false;
        }
        m_process.start(program, arguments);
        if (!m_process.waitForStarted(timeoutMs)) {
            m_error = program + QStringLiteral(" did not start: ") + m_process.errorString();
            return false;
        }
        if (waitUntilAccepting(timeoutMs))
            return true;
        stop();
    }
    return false;
}

bool TLoopbackServerProcess::waitUntilAccepting(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process.state() == QProcess::NotRunning) {
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

void TLoopbackServerProcess::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    // QProcess signals only the process it started (by its id), never anything else.
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    output();
}

QByteArray TLoopbackServerProcess::output() {
    m_output += m_process.readAll();
    return m_output;
}
