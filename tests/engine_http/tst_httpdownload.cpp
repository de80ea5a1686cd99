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
    void nginxFiles();
    void nginxNotFound();
    void scripted_data();
    void scripted();
    void abortMidBody();
    void localFileFaults();
    void refusedAndWrongScheme();

private:
    QStringList Run(TFTPComponent& session, const QString& url, const QString& file,
                    int timeoutMs = 15000);
    QString LocalPath(const QString& name) const { return Dir.filePath(name); }

    TNginxServer Nginx;
    QTemporaryDir Dir;
};

namespace {

enum class End { Close, Reset, KeepOpen, Endless, Silence };

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
                                  int timeoutMs) {
    TSessionRecorder recorder(session, TSessionRecorder::ProgressAsEvents);
    session.GetHTTP(url, file);
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

void TestHttpDownload::nginxFiles() {
    const QByteArray big = Pattern(3 * 1024 * 1024 + 17);
    const QString odd = QStringLiteral("a b \u00fc.txt");
    for (const auto& [name, bytes] : {std::pair{QStringLiteral("big.bin"), big},
                                      std::pair{QStringLiteral("empty.txt"), QByteArray()},
                                      std::pair{odd, QByteArray("unicode\n")}}) {
        QFile file(Nginx.rootPath() + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    TFTPComponent session;
    session.Host = QStringLiteral("127.0.0.1");
    QStringList events =
        Run(session, Nginx.url(QStringLiteral("/big.bin")), LocalPath(QStringLiteral("big.bin")));
    const QString dump = events.join(QLatin1Char('\n'));
    QCOMPARE(ReadFile(LocalPath(QStringLiteral("big.bin"))), big);
    QVERIFY2(events.contains(QStringLiteral("Size %1").arg(big.size())), qPrintable(dump));
    QCOMPARE(events.filter(QStringLiteral("Progress 2")),
             QStringList{QStringLiteral("Progress 2 %1").arg(big.size())});
    QCOMPARE(events.filter(QStringLiteral("Error")), QStringList());
    QCOMPARE(events.filter(QStringLiteral("Disconnect")).size(), 1);
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP 1 0"));
    QVERIFY(!session.Connected());

    // The same session again: an empty file, and a name that needs escaping in the request.
    events = Run(session, Nginx.url(QStringLiteral("/empty.txt")),
                 LocalPath(QStringLiteral("empty.txt")));
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP 1 0"));
    QVERIFY(QFile::exists(LocalPath(QStringLiteral("empty.txt"))));
    QCOMPARE(QFileInfo(LocalPath(QStringLiteral("empty.txt"))).size(), 0);
    events = Run(session, Nginx.url(QLatin1Char('/') + odd), LocalPath(QStringLiteral("odd.txt")));
    QVERIFY(events.contains(QStringLiteral("Log command GET /a%20b%20%C3%BC.txt HTTP/1.1")));
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP 1 0"));
    QCOMPARE(ReadFile(LocalPath(QStringLiteral("odd.txt"))), QByteArray("unicode\n"));
}

void TestHttpDownload::nginxNotFound() {
    const QString local = LocalPath(QStringLiteral("kept.txt"));
    {
        QFile file(local);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep") == 4);
    }
    TFTPComponent session;
    const QStringList events = Run(session, Nginx.url(QStringLiteral("/missing.bin")), local);
    const QString dump = events.join(QLatin1Char('\n'));
    QVERIFY2(events.contains(QStringLiteral("Log error HTTP/1.1 404 Not Found")), qPrintable(dump));
    QVERIFY2(events.contains(QStringLiteral("Error 404 Not Found")), qPrintable(dump));
    QCOMPARE(events.filter(QStringLiteral("Log reply")), QStringList());
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP 1 0"));
    QCOMPARE(ReadFile(local), QByteArray("keep"));
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
            5000);
    const QString dump = events.join(QLatin1Char('\n'));
    QCOMPARE(server.transcript().mid(0, 4),
             (QList<QByteArray>{"GET /dir/file.bin HTTP/1.1",
                                "Host: 127.0.0.1:" + QByteArray::number(server.port()),
                                "User-Agent: Tolvar/1.10a", "Connection: close"}));
    QVERIFY2(events.filter(event).size() == 1, qPrintable(dump));
    QVERIFY2(events.filter(QStringLiteral("Disconnect")).size() == 1, qPrintable(dump));
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP %1 0").arg(int(success)));
    if (!file.isNull()) QCOMPARE(ReadFile(local), file);
}

void TestHttpDownload::abortMidBody() {
    TScriptedFtpServer server;
    server.setScript(Respond(
        {"HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\n", Pattern(100000)}, End::Silence));
    TFTPComponent session;
    TSessionRecorder recorder(session, TSessionRecorder::ProgressAsEvents);
    session.GetHTTP(QStringLiteral("http://127.0.0.1:%1/x").arg(server.port()),
                    LocalPath(QStringLiteral("aborted")));
    QVERIFY2(recorder.WaitFor(QStringLiteral("Progress 0")), qPrintable(recorder.Dump()));
    QTest::qWait(100);
    session.Abort();
    QVERIFY2(recorder.WaitFor(QStringLiteral("Completed"), 5000), qPrintable(recorder.Dump()));
    QCOMPARE(recorder.Count(QStringLiteral("Abort")), 1);
    QCOMPARE(recorder.Count(QStringLiteral("Disconnect")), 1);
    QCOMPARE(recorder.Events.last(), QStringLiteral("Completed Get HTTP 0 1"));
}

void TestHttpDownload::localFileFaults() {
    QFile file(Nginx.rootPath() + QStringLiteral("/small.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Pattern(70000)) == 70000);
    file.close();
    const QString url = Nginx.url(QStringLiteral("/small.txt"));

    TFTPComponent session;
    QStringList events = Run(session, url, LocalPath(QStringLiteral("no/such/folder/small.txt")));
    QVERIFY2(!events.filter(QStringLiteral("Log error Unable to create file")).isEmpty(),
             qPrintable(events.join('\n')));
    QCOMPARE(events.filter(QStringLiteral("Disconnect")).size(), 1);
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP 0 0"));

    // A full disk.
    events = Run(session, url, QStringLiteral("/dev/full"));
    QVERIFY2(!events.filter(QStringLiteral("Log error Unable to write to file")).isEmpty(),
             qPrintable(events.join('\n')));
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP 0 0"));

    // The session is still usable.
    events = Run(session, url, LocalPath(QStringLiteral("small.txt")));
    QCOMPARE(events.last(), QStringLiteral("Completed Get HTTP 1 0"));
    QCOMPARE(ReadFile(LocalPath(QStringLiteral("small.txt"))), Pattern(70000));
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
