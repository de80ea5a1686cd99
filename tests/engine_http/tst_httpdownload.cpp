#include "NginxServer.h"
#include "ScriptedFtpServer.h"
#include "SessionRecorder.h"
#include "TestFiles.h"

#include "engine/EngineSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The GetHTTP command end to end: a real nginx for what servers do, a scripted server
// for what they should not do (no blank after a colon, short bodies, resets, endless heads).
class TestHttpDownload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void nginx_data();
    void nginx();
    void scripted_data();
    void scripted();
    void refusedAndWrongScheme();

private:
    QStringList Run(TFTPComponent& session, const QString& url, const QString& file,
                    int timeoutMs = 15000, bool abort = false);
    QString LocalPath(const QString& name) const { return Dir.filePath(name); }

    TNginxServer Nginx;
    QTemporaryDir Dir;
    TFTPComponent NginxSession; // one for all of nginx's rows, run one after the other
};

namespace {

// Silent too when the user aborts.
enum class End { Close, Reset, KeepOpen, Endless, Silence, Abort };

// Reads the request up to its empty line, then plays the segments and the ending.
TScriptedFtpServer::Script Respond(QList<QByteArray> segments, End end) {
    return [segments, end](TScriptedConnection& c) {
        for (int i = 0; i < 20; ++i) {
            const QByteArray line = c.readLine(5000);
            if (line.isEmpty() || c.readFailed()) break;
        }
        for (const QByteArray& segment : segments)
            c.send(segment);
        switch (end) {
        case End::Close:
            c.close();
            break;
        case End::Reset:
            c.reset();
            break;
        case End::KeepOpen:
            break;
        case End::Silence:
        case End::Abort:
            c.pause(10000);
            break;
        case End::Endless:
            c.setSendPause(0);
            for (int i = 0; i < 40 && !c.peerClosed(); ++i)
                c.send("X-Filler: " + QByteArray(4000, 'f') + "\r\n");
            c.pause(5000);
            break;
        }
    };
}

} // namespace

QStringList TestHttpDownload::Run(TFTPComponent& session, const QString& url, const QString& file,
                                  int timeoutMs, bool abort) {
    TSessionRecorder recorder(session, TSessionRecorder::ProgressAsEvents);
    session.GetHTTP(url, file);
    if (abort && recorder.WaitFor(QStringLiteral("Progress 0"))) {
        QTest::qWait(100);
        session.Abort();
    }
    if (!recorder.WaitFor(QStringLiteral("Completed"), timeoutMs))
        qWarning("no completion:\n%s", qPrintable(recorder.Dump()));
    // Whatever the command posted after completing (nothing, normally) arrives too.
    QTest::qWait(50);
    return recorder.Events;
}

void TestHttpDownload::initTestCase() {
    QVERIFY(Dir.isValid());
    QVERIFY2(Nginx.start(), qPrintable(Nginx.errorText()));
}

void TestHttpDownload::cleanup() {
    EngineSettings().TimeOut = 120000;
}

void TestHttpDownload::nginx_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("local");
    QTest::addColumn<QByteArray>("file");    // null: not checked
    QTest::addColumn<QStringList>("events"); // each begins an event; "!" one that must not
    QTest::addColumn<bool>("success");
    const QByteArray big = Pattern(3 * 1024 * 1024 + 17), small = Pattern(70000);
    const QString size = QString::number(big.size());
    for (const auto& [name, bytes] : {std::pair{QStringLiteral("big.bin"), big},
                                      std::pair{QStringLiteral("empty.txt"), QByteArray("")},
                                      std::pair{QStringLiteral("a b \u00fc.txt"), small}})
        QVERIFY(WriteFile(Nginx.rootPath() + QLatin1Char('/') + name, bytes));
    QVERIFY(WriteFile(LocalPath("kept.txt"), "keep"));
    QTest::newRow("big file") << "/big.bin"
                              << "big.bin" << big
                              << QStringList{"Size " + size, "Progress 2 " + size, "!Error"}
                              << true;
    QTest::newRow("empty file") << "/empty.txt"
                                << "empty.txt" << QByteArray("") << QStringList{} << true;
    QTest::newRow("name escaped in the request")
        << "/a b \u00fc.txt"
        << "odd.txt" << small << QStringList{"Log command GET /a%20b%20%C3%BC.txt HTTP/1.1"}
        << true;
    // A failure the server reports leaves the local file as it was.
    QTest::newRow("not found") << "/missing.bin"
                               << "kept.txt" << QByteArray("keep")
                               << QStringList{"Log error HTTP/1.1 404 Not Found",
                                              "Error 404 Not Found", "!Log reply"}
                               << true;
    QTest::newRow("no such local folder")
        << "/big.bin"
        << "no/such/folder/big.bin" << QByteArray()
        << QStringList{"Log error Unable to create file"} << false;
    QTest::newRow("full disk") << "/big.bin"
                               << "/dev/full" << QByteArray()
                               << QStringList{"Log error Unable to write to file"} << false;
    QTest::newRow("after the failures, the session works")
        << "/a b \u00fc.txt"
        << "again.txt" << small << QStringList{} << true;
}

void TestHttpDownload::nginx() {
    QFETCH(QString, path);
    QFETCH(QString, local);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, events);
    QFETCH(bool, success);
    const QString target = local.startsWith('/') ? local : LocalPath(local);
    const QStringList got = Run(NginxSession, Nginx.url(path), target);
    const QString dump = got.join(QLatin1Char('\n'));
    for (const QString& event : events)
        if (event.startsWith('!'))
            QVERIFY2(got.filter(event.mid(1)).isEmpty(), qPrintable(dump));
        else
            QVERIFY2(!got.filter(event).isEmpty(), qPrintable(dump));
    QVERIFY2(got.filter(QStringLiteral("Progress 2")).size() <= 1, qPrintable(dump));
    QCOMPARE(got.filter(QStringLiteral("Disconnect")).size(), 1);
    QCOMPARE(got.last(), QStringLiteral("Completed Get HTTP %1 0").arg(int(success)));
    QVERIFY(!NginxSession.Connected());
    // A missing file reads as "<missing>".
    if (!file.isNull()) QCOMPARE(ReadFile(target), file);
}

void TestHttpDownload::scripted_data() {
    QTest::addColumn<QList<QByteArray>>("segments");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QByteArray>("file"); // null: not checked
    QTest::addColumn<QString>("event");

    const auto row = [](const char* tag, QList<QByteArray> segments, End end, bool success,
                        const QByteArray& file, const char* event) {
        QTest::newRow(tag) << segments << int(end) << success << file << QString::fromUtf8(event);
    };
    const QByteArray body = Pattern(5000);
    const QByteArray ok = "HTTP/1.1 200 OK\r\n", length = ok + "Content-Length: 5000\r\n\r\n";
    const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    row("keep-alive server, no blank after the colon",
        {ok + "Content-Length:5000\r\n\r\n" + body.left(1000), body.mid(1000)}, End::KeepOpen, true,
        body, "Size 5000");
    row("head in pieces with bare line feeds", {"HTTP/1.1 200 OK\n", "Server: x\n", "\nabc"},
        End::Close, true, "abc", "Log reply Server: x");
    row("bytes past the length are dropped", {ok + "Content-Length: 4\r\n\r\n0123EXTRA"},
        End::KeepOpen, true, "0123", "Size 4");
    row("chunked body", {chunked + "5\r\nHello\r\n", "6\r\n world\r\n0\r\n\r\n"}, End::KeepOpen,
        true, "Hello world", "Progress 2 11");
    row("short body", {length, body.left(1000)}, End::Close, false, body.left(1000),
        "Log error Connection closed after 1000 of 5000 bytes");
    row("reset mid-body", {length, body.left(1000)}, End::Reset, false, {},
        "Log error Connection closed after");
    row("chunked body cut short", {chunked + "5\r\nHello\r\n"}, End::Close, false, "Hello",
        "Log error Connection closed before the last chunk");
    row("conflicting lengths", {ok + "Content-Length: 12, 13\r\n\r\n"}, End::KeepOpen, false, {},
        "Log error Invalid Content-Length");
    row("reset before the head ends", {ok + "Content-Le"}, End::Reset, false, {},
        "Log error Connection reset by peer");
    row("endless head", {ok}, End::Endless, false, {},
        "Log error Response header from server too long");
    // The only row that waits for the time-out, set short for it.
    row("silence mid-body", {ok + "Content-Length: 100\r\n\r\n0123456789"}, End::Silence, false,
        "0123456789", "Error 10060 Operation timed out");
    row("user aborts mid-body", {ok + "Content-Length: 100000000\r\n\r\n", Pattern(100000)},
        End::Abort, false, {}, "Abort");
}

void TestHttpDownload::scripted() {
    QFETCH(QList<QByteArray>, segments);
    QFETCH(int, end);
    QFETCH(bool, success);
    QFETCH(QByteArray, file);
    QFETCH(QString, event);
    // A download that waited for the 8 s time-out does not complete in the 5 s given.
    EngineSettings().TimeOut = End(end) == End::Silence ? 1000 : 8000;
    TScriptedFtpServer server;
    server.setScript(Respond(segments, End(end)));
    const QString local = LocalPath(QStringLiteral("scripted.bin"));
    QFile::remove(local);

    TFTPComponent session;
    const QStringList events =
        Run(session, QStringLiteral("http://127.0.0.1:%1/dir/file.bin").arg(server.port()), local,
            5000, End(end) == End::Abort);
    const QString dump = events.join(QLatin1Char('\n'));
    QCOMPARE(server.transcript().mid(0, 4),
             (QList<QByteArray>{"GET /dir/file.bin HTTP/1.1",
                                "Host: 127.0.0.1:" + QByteArray::number(server.port()),
                                "User-Agent: Tolvar/1.10a", "Connection: close"}));
    QVERIFY2(events.filter(event).size() == 1, qPrintable(dump));
    QVERIFY2(events.filter(QStringLiteral("Disconnect")).size() == 1, qPrintable(dump));
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP %1 %2")
                                .arg(int(success))
                                .arg(int(End(end) == End::Abort)));
    if (!file.isNull()) QCOMPARE(ReadFile(local), file);
}

void TestHttpDownload::refusedAndWrongScheme() {
    TFTPComponent session;
    QStringList events =
        Run(session, QStringLiteral("http://127.0.0.1:%1/x").arg(FreeLoopbackPort()),
            LocalPath(QStringLiteral("refused")));
    QCOMPARE(events, (QStringList{QStringLiteral("Error 10061 Connection refused"),
                                  QStringLiteral("Disconnect"), QStringLiteral("CantLogIn"),
                                  QStringLiteral("Completed Get HTTP 0 0")}));

    TScriptedFtpServer server;
    server.setScript(Respond({}, End::Close));
    events = Run(session, QStringLiteral("ftp://127.0.0.1:%1/x").arg(server.port()),
                 LocalPath(QStringLiteral("ftp")));
    QCOMPARE(events.size(), 2);
    QVERIFY(events.first().startsWith(QStringLiteral("Log error Only http:// URLs")));
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP 0 0"));
    QCOMPARE(server.connectionCount(), 0);
}

QTEST_GUILESS_MAIN(TestHttpDownload)
#include "tst_httpdownload.moc"
