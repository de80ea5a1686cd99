// The scripted FTP server checked from a plain QTcpSocket client: the protocol tests rely on its
// segment boundaries, transcript, resets and data connections being exactly what the script says.
#include "ScriptedFtpServer.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <arpa/inet.h>
#include <cerrno>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void connectTo(QTcpSocket& socket, quint16 port) {
    socket.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY2(socket.waitForConnected(10000), qPrintable(socket.errorString()));
}

QByteArray readReply(QTcpSocket& socket) {
    QElapsedTimer timer;
    timer.start();
    while (!socket.canReadLine() && timer.elapsed() < 10000)
        if (!socket.waitForReadyRead(int(10000 - timer.elapsed()))) break;
    return socket.readLine().trimmed();
}

QByteArray command(QTcpSocket& socket, const QByteArray& line) {
    socket.write(line + "\r\n");
    socket.waitForBytesWritten(10000);
    return readReply(socket);
}

// Varying bytes, so a lost or repeated block cannot go unnoticed.
QByteArray pattern(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    return bytes;
}

TScriptedFtpServer::Script greetThenServe(const QByteArray& banner) {
    return [banner](TScriptedConnection& c) {
        c.sendLine(banner);
        ServeCommands(c, {{"USER", "331 Password required."}});
    };
}

} // namespace

class TestScriptedServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splitSendsArriveAsSeparateReads();
    void transcriptKeepsOrderAcrossConnections();
    void resetAndCloseDifferForClient();
    void passiveDownloadArrivesIntact();
    void activeUploadIsReceivedAndForeignHostRefused();
    void failuresAreRecorded();
    void destructorReturnsWhileClientsHoldConnections();
};

void TestScriptedServer::splitSendsArriveAsSeparateReads() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        // Longer than the default pause, so a loaded machine (sanitizers, parallel ctest)
        // still reads between sends.
        c.setSendPause(200);
        c.send("22");
        c.send("0 Rea");
        c.send("dy.\r\n");
    });
    QTcpSocket client;
    connectTo(client, server.port());
    QList<QByteArray> reads;
    qsizetype total = 0;
    while (total < 10 && client.waitForReadyRead(10000)) {
        reads.append(client.readAll());
        total += reads.last().size();
    }
    QCOMPARE(reads, (QList<QByteArray>{"22", "0 Rea", "dy.\r\n"}));
}

void TestScriptedServer::transcriptKeepsOrderAcrossConnections() {
    TScriptedFtpServer server;
    server.setScripts({greetThenServe("220 first"), greetThenServe("220 later")});
    QTcpSocket a, b, c;
    connectTo(a, server.port());
    QCOMPARE(readReply(a), "220 first");
    connectTo(b, server.port());
    QCOMPARE(readReply(b), "220 later");
    connectTo(c, server.port());
    QCOMPARE(readReply(c), "220 later");

    QCOMPARE(command(a, "USER a"), "331 Password required.");
    QCOMPARE(command(b, "USER b"), "331 Password required.");
    // ABOR as clients send it, behind Telnet IP and DM.
    const QByteArray abor = QByteArray("\xff\xf4\xff\xf2") + "ABOR";
    QCOMPARE(command(a, abor), "502 Command not implemented.");
    QCOMPARE(command(b, "QUIT"), "221 Goodbye.");
    QVERIFY(b.waitForDisconnected(10000));
    a.disconnectFromHost();
    c.disconnectFromHost();

    QVERIFY(server.waitForScriptsDone());
    QCOMPARE(server.transcript(), (QList<QByteArray>{"USER a", "USER b", "ABOR", "QUIT"}));
    QCOMPARE(server.transcript(1), (QList<QByteArray>{"USER b", "QUIT"}));
    QCOMPARE(server.connectionCount(), 3);
    QCOMPARE(server.failures(), QStringList());
}

void TestScriptedServer::resetAndCloseDifferForClient() {
    TScriptedFtpServer server;
    const auto greetThen = [](bool reset) {
        return [reset](TScriptedConnection& c) {
            c.sendLine("220 Going away.");
            reset ? c.reset() : c.close();
        };
    };
    server.setScripts({greetThen(true), greetThen(false), greetThen(true)});
    // A raw socket tells the two apart, which QTcpSocket cannot (see below).
    for (const int expectedErrno : {ECONNRESET, 0}) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const timeval timeout{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(server.port());
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        // Left unread by the script: an orderly close must still not turn into a reset.
        QCOMPARE(::send(fd, "NOOP\r\n", 6, MSG_NOSIGNAL), ssize_t(6));
        char buf[64];
        QCOMPARE(::recv(fd, buf, sizeof buf, 0), ssize_t(17));
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        const int error = n < 0 ? errno : 0;
        ::close(fd);
        QCOMPARE(n, expectedErrno ? ssize_t(-1) : ssize_t(0));
        QCOMPARE(error, expectedErrno);
    }
    QTcpSocket client;
    connectTo(client, server.port());
    QCOMPARE(readReply(client), "220 Going away.");
    QVERIFY(client.state() == QAbstractSocket::UnconnectedState ||
            client.waitForDisconnected(10000));
    // Qt's socket engine reports ECONNRESET on read as an orderly close.
    QCOMPARE(client.error(), QAbstractSocket::RemoteHostClosedError);
}

void TestScriptedServer::passiveDownloadArrivesIntact() {
    const QByteArray blob = pattern(1024 * 1024);
    TScriptedFtpServer server;
    server.setScript([&blob](TScriptedConnection& c) {
        c.sendLine("220 Ready.");
        c.expect("PASV");
        c.sendLine(c.openPassive());
        c.expect("RETR big");
        if (!c.acceptData()) return;
        c.sendLine("150 Opening data connection.");
        c.sendData(blob);
        c.closeData();
        c.sendLine("226 Transfer complete.");
    });
    QTcpSocket control;
    connectTo(control, server.port());
    QCOMPARE(readReply(control), "220 Ready.");
    const QByteArray pasv = command(control, "PASV");
    const auto m = QRegularExpression(QStringLiteral(R"(\(127,0,0,1,(\d+),(\d+)\))"))
                       .match(QString::fromLatin1(pasv));
    QVERIFY2(m.hasMatch(), pasv.constData());

    QTcpSocket data;
    connectTo(data, quint16(m.captured(1).toInt() * 256 + m.captured(2).toInt()));
    control.write("RETR big\r\n");
    QCOMPARE(readReply(control), "150 Opening data connection.");
    QByteArray received;
    while (data.waitForReadyRead(10000))
        received += data.readAll();
    received += data.readAll();
    QCOMPARE(received.size(), blob.size());
    QVERIFY(received == blob);
    QCOMPARE(readReply(control), "226 Transfer complete.");
    QCOMPARE(server.failures(), QStringList());
}

void TestScriptedServer::activeUploadIsReceivedAndForeignHostRefused() {
    const QByteArray blob = pattern(300 * 1000);
    QByteArray received; // written by the script, read after waitForScriptsDone()
    TScriptedFtpServer server;
    server.setScript([&received](TScriptedConnection& c) {
        c.sendLine(c.connectActive(c.expect("PORT")) ? "200 OK." : "500 Refused.");
        const QByteArray port = c.expect("PORT");
        if (!c.connectActive(port)) return;
        c.sendLine("200 OK.");
        c.expect("STOR");
        received = c.receiveDataUntilClose();
        c.sendLine("226 Stored.");
    });
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    const quint16 p = listener.serverPort();
    const QByteArray portArgs =
        "," + QByteArray::number(p >> 8) + "," + QByteArray::number(p & 255);
    QTcpSocket control;
    connectTo(control, server.port());
    QCOMPARE(command(control, "PORT 10,0,0,1" + portArgs), "500 Refused.");
    QCOMPARE(command(control, "PORT 127,0,0,1" + portArgs), "200 OK.");
    QVERIFY(listener.waitForNewConnection(10000));
    std::unique_ptr<QTcpSocket> data(listener.nextPendingConnection());
    control.write("STOR up\r\n");
    QVERIFY(control.waitForBytesWritten(10000));
    data->write(blob);
    while (data->bytesToWrite() > 0 && data->waitForBytesWritten(10000)) {
    }
    data->disconnectFromHost();
    QCOMPARE(readReply(control), "226 Stored.");

    QVERIFY(server.waitForScriptsDone());
    QVERIFY(received == blob);
    QCOMPARE(server.failures().size(), 1);
    QVERIFY2(server.failures().first().contains("PORT 10,0,0,1"),
             qPrintable(server.failures().first()));
}

void TestScriptedServer::failuresAreRecorded() {
    TScriptedFtpServer server;
    std::atomic<bool> silentReadFailed{false};
    server.setScript([&silentReadFailed](TScriptedConnection& c) {
        c.sendLine("220 Ready.");
        c.expect("USER");
        c.readLine(200);
        silentReadFailed = c.readFailed();
        c.sendLine("421 Bye.");
        c.readLine();
    });
    QTcpSocket client;
    connectTo(client, server.port());
    QCOMPARE(readReply(client), "220 Ready.");
    client.write("PASS x\r\n");
    QCOMPARE(readReply(client), "421 Bye.");
    client.disconnectFromHost();
    QVERIFY(server.waitForScriptsDone());

    QVERIFY(silentReadFailed);
    QCOMPARE(server.transcript(), QList<QByteArray>{"PASS x"});
    const QStringList failures = server.failures();
    QCOMPARE(failures.size(), 3);
    QCOMPARE(failures[0], "expected USER, got PASS x");
    QVERIFY2(failures[1].contains("200 ms"), qPrintable(failures[1]));
    QVERIFY2(failures[2].contains("closed"), qPrintable(failures[2]));
}

void TestScriptedServer::destructorReturnsWhileClientsHoldConnections() {
    auto server = std::make_unique<TScriptedFtpServer>();
    // One script returns and leaves its connection open, the other waits for a command.
    server->setScripts({[](TScriptedConnection& c) { c.sendLine("220 Held."); },
                        [](TScriptedConnection& c) {
                            c.sendLine("220 Waiting.");
                            c.readLine();
                        }});
    QTcpSocket held, waiting;
    connectTo(held, server->port());
    QCOMPARE(readReply(held), "220 Held.");
    connectTo(waiting, server->port());
    QCOMPARE(readReply(waiting), "220 Waiting.");

    QElapsedTimer timer;
    timer.start();
    server.reset();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(held.waitForDisconnected(2000));
    QVERIFY(waiting.waitForDisconnected(2000));
}

QTEST_GUILESS_MAIN(TestScriptedServer)
#include "tst_scriptedserver.moc"
