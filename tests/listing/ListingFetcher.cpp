#include "ListingFetcher.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QRegularExpression>

namespace {
constexpr int kTimeoutMs = 10000;
}

bool TListingFetcher::fail(const QString& text) {
    m_error = text;
    m_control.abort();
    return false;
}

// A reply ends with the line that starts with its code and a blank (RFC 959 multi-line).
bool TListingFetcher::readReply(QByteArray& reply) {
    reply.clear();
    const QDeadlineTimer deadline(kTimeoutMs);
    while (!deadline.hasExpired()) {
        while (m_control.canReadLine()) {
            const QByteArray line = m_control.readLine();
            reply += line;
            if (line.size() >= 4 && line[3] == ' ' && reply.startsWith(line.left(3))) return true;
        }
        if (!m_control.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) break;
    }
    return fail(QStringLiteral("no complete reply: ") + QString::fromUtf8(reply));
}

bool TListingFetcher::command(const QByteArray& line, char expectedFirstDigit, QByteArray* reply) {
    QByteArray text;
    if (!line.isEmpty()) {
        m_control.write(line + "\r\n");
        if (!m_control.waitForBytesWritten(kTimeoutMs))
            return fail(QStringLiteral("cannot send ") + QString::fromUtf8(line));
    }
    if (!readReply(text)) return false;
    if (reply) *reply = text;
    if (text.isEmpty() || text[0] != expectedFirstDigit)
        return fail(QString::fromUtf8(line) + QStringLiteral(" -> ") + QString::fromUtf8(text));
    return true;
}

bool TListingFetcher::fetch(quint16 port, const QByteArray& folder, QByteArray& listing) {
    listing.clear();
    m_control.connectToHost(QHostAddress::LocalHost, port);
    if (!m_control.waitForConnected(kTimeoutMs))
        return fail(QStringLiteral("cannot connect: ") + m_control.errorString());
    QByteArray reply;
    if (!command({}, '2')) return false;
    // A server that asks no anonymous password logs in at USER already.
    m_control.write("USER anonymous\r\n");
    if (!readReply(reply)) return false;
    if (reply.startsWith('3') && !command("PASS test@", '2')) return false;
    if (!reply.startsWith('2') && !reply.startsWith('3'))
        return fail(QStringLiteral("USER -> ") + QString::fromUtf8(reply));
    if (!folder.isEmpty() && !command("CWD " + folder, '2')) return false;
    if (!command("PASV", '2', &reply)) return false;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"))
            .match(QString::fromLatin1(reply));
    if (!match.hasMatch())
        return fail(QStringLiteral("no address in ") + QString::fromLatin1(reply));
    // Only the port is taken: the data connection stays on loopback whatever the reply says.
    const quint16 dataPort = quint16(match.captured(5).toInt() * 256 + match.captured(6).toInt());
    QTcpSocket data;
    data.connectToHost(QHostAddress::LocalHost, dataPort);
    if (!data.waitForConnected(kTimeoutMs))
        return fail(QStringLiteral("cannot open the data connection"));
    if (!command("LIST", '1')) return false;
    const QDeadlineTimer deadline(kTimeoutMs);
    while (data.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        data.waitForReadyRead(100);
        listing += data.readAll();
    }
    listing += data.readAll();
    if (!command({}, '2')) return false;
    command("QUIT", '2');
    m_control.disconnectFromHost();
    return true;
}
