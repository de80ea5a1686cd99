// Transfers against a scripted server playing what real servers won't: refused or
// hostile PASV replies, short and reset data connections, silence, aborts, size
// announcements, refused REST and a path the server only takes after CWD.
#include "TestFiles.h"
#include "ScriptedFtpServer.h"
#include "SessionRecorder.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <atomic>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void LogIn(TScriptedConnection& c) {
    c.sendLine("220 Scripted server ready.");
    c.expect("USER");
    c.sendLine("331 Password please.");
    c.expect("PASS");
    c.sendLine("230 Logged in.");
    c.expect("TYPE");
    c.sendLine("200 Type set to I.");
}

// SIZE refused, PASV granted, then the transfer command answered with "150".
void OpenDownload(TScriptedConnection& c,
                  const QByteArray& preliminary = "150 Opening data connection.") {
    c.expect("SIZE");
    c.sendLine("550 Could not get file size.");
    c.expect("PASV");
    c.sendLine(c.openPassive());
    c.expect("RETR");
    c.sendLine(preliminary);
    c.acceptData();
}

const QMap<QByteArray, QByteArray> Idle = {{"NOOP", "200 NOOP ok."}, {"TYPE", "200 Type set."}};

// Counts connections a listener on 127.0.0.2 receives.
struct TForeignListener {
    explicit TForeignListener(quint16 port) {
        Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(0x7F000002);
        Listening = Fd >= 0 && ::bind(Fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::listen(Fd, 8) == 0;
    }
    ~TForeignListener() {
        if (Fd >= 0) ::close(Fd);
    }
    int Accepted() {
        int n = 0;
        for (int fd; (fd = ::accept(Fd, nullptr, nullptr)) >= 0; ++n)
            ::close(fd);
        return n;
    }
    int Fd = -1;
    bool Listening = false;
};

} // namespace

class TestTransferScripted : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void pasvRefusedFallsBackToPort();
    void pasvAddressIsNeverTrusted();
    void malformedPasvFailsWithoutRetr();
    void shortDownloadFailsAndResumes();
    void refusedRestRewritesFromStart();
    void preliminaryReplyAnnouncesSize();
    void resetDataConnectionLetsReplyDecide();
    void abortReadsTheReplyAndKeepsSession();
    void silentDataConnectionTimesOut();
    void refusedPathIsRetriedAfterCwd();
    void unwritableLocalFileFailsCleanly();
    void uploadResumesFromOffset();
    void listingParsesWithBareListCommand();
    void activeModeTurnsAwayOtherHosts();

private:
    TFTPComponent* NewSession(quint16 port, bool passive = true);
    QTemporaryDir Dir;
    std::unique_ptr<TFTPComponent> Session;
};

void TestTransferScripted::initTestCase() {
    EngineSettings().RetryCount = 1;
    EngineSettings().KeepAlive = false;
    QVERIFY(Dir.isValid());
}

void TestTransferScripted::init() {
    EngineSettings().TimeOut = 10000;
}

void TestTransferScripted::cleanup() {
    Session.reset();
    QVERIFY(TFTPComponent::WaitForWorkers(15000));
}

TFTPComponent* TestTransferScripted::NewSession(quint16 port, bool passive) {
    // Without an owner: no resume probe and no QUIT, so the scripts stay short.
    Session = std::make_unique<TFTPComponent>(nullptr);
    Session->Host = QStringLiteral("127.0.0.1");
    Session->Port = port;
    Session->User = "user";
    Session->Password = "secret";
    Session->SetServerType(11);
    Session->SetPassive(passive);
    Session->Login();
    return Session.get();
}

void TestTransferScripted::pasvRefusedFallsBackToPort() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        LogIn(c);
        c.expect("SIZE");
        c.sendLine("550 No size.");
        c.expect("PASV");
        c.sendLine("502 Command not implemented.");
        const QByteArray port = c.expect("PORT");
        c.sendLine(c.connectActive(port) ? "200 PORT ok." : "500 Bad PORT.");
        c.expect("RETR");
        c.sendLine("150 Opening data connection.");
        c.sendData("active bytes");
        c.closeData();
        c.sendLine("226 Done.");
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    const QString local = Dir.filePath(QStringLiteral("active.txt"));
    s->Download("", "file.txt", local, 2);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Download")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed Download 1 0")) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(rec.Count(QStringLiteral("Log info Server does not support passive (PASV) mode")), 1);
    QVERIFY(!s->Passive());
    QCOMPARE(ReadFile(local), QByteArray("active bytes"));
    QVERIFY2(server.failures().isEmpty(), qPrintable(server.failures().join('\n')));
}

void TestTransferScripted::pasvAddressIsNeverTrusted() {
    std::atomic<int> foreign{-1};
    const QByteArray payload = Pattern(70000);
    TScriptedFtpServer server;
    server.setScript([&](TScriptedConnection& c) {
        LogIn(c);
        c.expect("SIZE");
        c.sendLine("550 No size.");
        c.expect("PASV");
        c.openPassive();
        const quint16 port = c.passivePort();
        // Same port on another loopback address: a client that believed the reply lands here.
        TForeignListener trap(port);
        c.sendLine("227 Entering Passive Mode (127,0,0,2," + QByteArray::number(port >> 8) + ',' +
                   QByteArray::number(port & 0xFF) + ").");
        c.expect("RETR");
        c.sendLine("150 Opening data connection.");
        c.acceptData();
        c.sendData(payload);
        c.closeData();
        c.sendLine("226 Done.");
        foreign = trap.Listening ? trap.Accepted() : -2;
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    const QString local = Dir.filePath(QStringLiteral("trusted.bin"));
    s->Download("", "file.bin", local, 2);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Download")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed Download 1 0")) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(ReadFile(local), payload);
    QTRY_VERIFY(foreign != -1);
    QCOMPARE(foreign.load(), 0);
}

void TestTransferScripted::malformedPasvFailsWithoutRetr() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        LogIn(c);
        c.expect("SIZE");
        c.sendLine("550 No size.");
        c.expect("PASV");
        c.sendLine("227 Entering Passive Mode (127,0,0,1,4");
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->Download("", "file.bin", Dir.filePath(QStringLiteral("never.bin")), 2);
    s->NoOp();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed NoOp")), qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log error Illegal response from server")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log info Unable to complete transfer")) >= 0);
    QCOMPARE(rec.Count(QStringLiteral("Completed Download 0 0")), 1);
    for (const QByteArray& line : server.transcript())
        QVERIFY2(!line.startsWith("RETR"), line.constData());
}

void TestTransferScripted::shortDownloadFailsAndResumes() {
    const QByteArray whole = Pattern(100000, 7);
    TScriptedFtpServer server;
    server.setScript([&](TScriptedConnection& c) {
        LogIn(c);
        c.expect("SIZE");
        c.sendLine("213 100000");
        c.expect("PASV");
        c.sendLine(c.openPassive());
        c.expect("RETR");
        c.sendLine("150 Opening data connection.");
        c.acceptData();
        c.sendData(whole.left(60000));
        c.closeData();
        c.sendLine("226 Transfer complete.");
        // The resume: REST with the partial length, then only the rest of the file.
        c.expect("TYPE");
        c.sendLine("200 Type set to I.");
        c.expect("SIZE");
        c.sendLine("213 100000");
        c.expect("PASV");
        c.sendLine(c.openPassive());
        if (c.expect("REST") != "REST 60000") return;
        c.sendLine("350 Restarting at 60000.");
        c.expect("RETR");
        c.sendLine("150 Opening data connection.");
        c.acceptData();
        c.sendData(whole.mid(60000));
        c.closeData();
        c.sendLine("226 Transfer complete.");
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    const QString local = Dir.filePath(QStringLiteral("short.bin"));
    s->Download("", "short.bin", local, 2);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Download")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed Download 0 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log error Transfer ended after 60000 of 100000 bytes")) >= 0);
    QCOMPARE(ReadFile(local), whole.left(60000));

    s->ResumeDownload("", "short.bin", local, 2, 0, 60000);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed ResumeDownload")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeDownload 1 0")) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(ReadFile(local), whole);
    // Progress starts at the bytes already on disk.
    QVERIFY2(rec.Progress.contains(QStringLiteral("0 1 60000")),
             qPrintable(rec.Progress.join('\n')));
    QCOMPARE(rec.Progress.last(), QStringLiteral("2 1 100000"));
}

void TestTransferScripted::refusedRestRewritesFromStart() {
    const QByteArray fresh = Pattern(1500, 3);
    TScriptedFtpServer server;
    server.setScript([&](TScriptedConnection& c) {
        LogIn(c);
        c.expect("SIZE");
        c.sendLine("550 No size.");
        c.expect("PASV");
        c.sendLine(c.openPassive());
        c.expect("REST 1000");
        c.sendLine("502 REST not implemented.");
        c.expect("RETR");
        c.sendLine("150 Opening data connection.");
        c.acceptData();
        c.sendData(fresh);
        c.closeData();
        c.sendLine("226 Transfer complete.");
        ServeCommands(c, Idle);
    });
    const QString local = Dir.filePath(QStringLiteral("partial.bin"));
    QVERIFY(WriteFile(local, QByteArray(1000, 'x')));
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->ResumeDownload("", "partial.bin", local, 2, 0, 1000);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed ResumeDownload")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeDownload 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log info Server unable to resume broken downloads")) >= 0);
    QCOMPARE(ReadFile(local), fresh);
}

void TestTransferScripted::preliminaryReplyAnnouncesSize() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        LogIn(c);
        OpenDownload(c, "150 Opening BINARY mode data connection for a.zip (2048 bytes).");
        c.sendData(QByteArray(2048, 'z'));
        c.closeData();
        c.sendLine("226 Transfer complete.");
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->Download("", "a.zip", Dir.filePath(QStringLiteral("a.zip")), 2);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Download")), qPrintable(rec.Dump()));
    const int size = rec.Find(QStringLiteral("Size 2048"));
    QVERIFY2(size >= 0, qPrintable(rec.Dump()));
    QCOMPARE(rec.Count(QStringLiteral("Size ")), 1);
    QVERIFY(size < rec.Find(QStringLiteral("Completed Download 1 0")));
    QVERIFY(rec.Find(QStringLiteral("Log info Transferred 2,048 bytes in ")) >= 0);
}

void TestTransferScripted::resetDataConnectionLetsReplyDecide() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        LogIn(c);
        OpenDownload(c);
        c.sendData(QByteArray(5000, 'a'));
        c.pause(100);
        c.resetData();
        c.sendLine("226 Transfer complete.");
        c.expect("TYPE");
        c.sendLine("200 Type set to I.");
        OpenDownload(c);
        c.sendData(QByteArray(5000, 'b'));
        c.pause(100);
        c.resetData();
        c.sendLine("426 Connection closed; transfer aborted.");
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->Download("", "one.bin", Dir.filePath(QStringLiteral("one.bin")), 2);
    s->Download("", "two.bin", Dir.filePath(QStringLiteral("two.bin")), 2);
    s->NoOp();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed NoOp")), qPrintable(rec.Dump()));
    QCOMPARE(rec.Count(QStringLiteral("Completed Download 1 0")), 1);
    QCOMPARE(rec.Count(QStringLiteral("Completed Download 0 0")), 1);
    QVERIFY(rec.Find(QStringLiteral("Completed Download 1 0")) <
            rec.Find(QStringLiteral("Completed Download 0 0")));
    QVERIFY(rec.Find(QStringLiteral("Completed NoOp 1 0")) >= 0);
}

void TestTransferScripted::abortReadsTheReplyAndKeepsSession() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        LogIn(c);
        OpenDownload(c);
        c.sendData(QByteArray(100000, 'q'));
        // Nothing more until the client gives up on the data connection.
        c.receiveDataUntilClose(15000);
        c.sendLine("426 Connection closed; transfer aborted.");
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->Download("", "endless.bin", Dir.filePath(QStringLiteral("endless.bin")), 2);
    QTRY_VERIFY_WITH_TIMEOUT(rec.Progress.contains(QStringLiteral("0 1 0")), 10000);
    QTest::qWait(200);
    s->Abort();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Download")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed Download 0 1")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Abort")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log error 426 ")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log info Action aborted by user.")) >= 0);
    QCOMPARE(rec.Count(QStringLiteral("Log info Unable to complete transfer")), 0);
    s->NoOp();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed NoOp")), qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Completed NoOp 1 0")) >= 0);
}

void TestTransferScripted::silentDataConnectionTimesOut() {
    EngineSettings().TimeOut = 1500;
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        LogIn(c);
        OpenDownload(c);
        c.receiveDataUntilClose(15000);
        c.sendLine("426 Connection closed; transfer aborted.");
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->Download("", "silent.bin", Dir.filePath(QStringLiteral("silent.bin")), 2);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Download")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed Download 0 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Error 10060 Operation timed out")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log info Unable to complete transfer")) >= 0);
}

void TestTransferScripted::refusedPathIsRetriedAfterCwd() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        LogIn(c);
        c.expect("SIZE /dir/f.txt");
        c.sendLine("550 No size.");
        c.expect("PASV");
        c.sendLine(c.openPassive());
        c.expect("RETR /dir/f.txt");
        c.sendLine("550 No such file.");
        c.expect("SIZE /dir/f.txt");
        c.sendLine("550 No size.");
        c.expect("CWD /dir/");
        c.sendLine("250 Okay.");
        c.expect("PASV");
        c.sendLine(c.openPassive());
        c.expect("RETR f.txt");
        c.sendLine("150 Opening data connection.");
        c.acceptData();
        c.sendData("first");
        c.closeData();
        c.sendLine("226 Done.");
        // From now on the session changes folder first, once per folder.
        c.expect("TYPE");
        c.sendLine("200 Type set to I.");
        c.expect("SIZE /dir/g.txt");
        c.sendLine("550 No size.");
        c.expect("PASV");
        c.sendLine(c.openPassive());
        c.expect("RETR g.txt");
        c.sendLine("150 Opening data connection.");
        c.acceptData();
        c.sendData("second");
        c.closeData();
        c.sendLine("226 Done.");
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->Download("/dir/", "/dir/f.txt", Dir.filePath(QStringLiteral("f.txt")), 2);
    s->Download("/dir/", "/dir/g.txt", Dir.filePath(QStringLiteral("g.txt")), 2);
    s->NoOp();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed NoOp")), qPrintable(rec.Dump()));
    QCOMPARE(rec.Count(QStringLiteral("Completed Download 1 0")), 3);
    QCOMPARE(rec.Count(QStringLiteral("Completed Download 0")), 0);
    QCOMPARE(ReadFile(Dir.filePath(QStringLiteral("f.txt"))), QByteArray("first"));
    QCOMPARE(ReadFile(Dir.filePath(QStringLiteral("g.txt"))), QByteArray("second"));
    QVERIFY2(server.failures().isEmpty(), qPrintable(server.failures().join('\n')));
}

void TestTransferScripted::unwritableLocalFileFailsCleanly() {
    if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        LogIn(c);
        OpenDownload(c);
        c.sendData(QByteArray(300000, 'f'));
        c.receiveDataUntilClose(15000);
        c.sendLine("426 Connection closed; transfer aborted.");
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->Download("", "full.bin", QStringLiteral("/dev/full"), 2);
    s->NoOp();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed NoOp")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Log error Error writing file \"/dev/full\".")) >= 0,
             qPrintable(rec.Dump()));
    QCOMPARE(rec.Count(QStringLiteral("Completed Download 0 0")), 1);
    QVERIFY(rec.Find(QStringLiteral("Completed NoOp 1 0")) >= 0);
}

void TestTransferScripted::uploadResumesFromOffset() {
    const QByteArray whole = Pattern(300000, 11);
    QByteArray resumed, rewritten;
    TScriptedFtpServer server;
    server.setScript([&](TScriptedConnection& c) {
        LogIn(c);
        c.expect("PASV");
        c.sendLine(c.openPassive());
        c.expect("REST 120000");
        c.sendLine("350 Restarting at 120000.");
        c.expect("STOR");
        c.sendLine("150 Ok to send data.");
        c.acceptData();
        resumed = c.receiveDataUntilClose();
        c.sendLine("226 Transfer complete.");
        c.expect("TYPE");
        c.sendLine("200 Type set to I.");
        c.expect("PASV");
        c.sendLine(c.openPassive());
        c.expect("REST 120000");
        c.sendLine("502 REST not implemented.");
        c.expect("STOR");
        c.sendLine("150 Ok to send data.");
        c.acceptData();
        rewritten = c.receiveDataUntilClose();
        c.sendLine("226 Transfer complete.");
        ServeCommands(c, Idle);
    });
    const QString local = Dir.filePath(QStringLiteral("up.bin"));
    QVERIFY(WriteFile(local, whole));
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->ResumeUpload(local, "", "up.bin", 2, 120000);
    s->ResumeUpload(local, "", "up.bin", 2, 120000);
    QTRY_COMPARE_WITH_TIMEOUT(rec.Count(QStringLiteral("Completed ResumeUpload")), 2, 20000);
    QCOMPARE(rec.Count(QStringLiteral("Completed ResumeUpload 1 0")), 2);
    QVERIFY(resumed == whole.mid(120000));
    QVERIFY(rewritten == whole);
}

void TestTransferScripted::listingParsesWithBareListCommand() {
    const QByteArray listing = "-rw-r--r--   1 ftp ftp 5368709120 Jan 02  2024 big image.iso\r\n"
                               "drwxr-xr-x   2 ftp ftp       4096 Mar 10 12:30 sub dir\r\n";
    TScriptedFtpServer server;
    server.setScript([&](TScriptedConnection& c) {
        c.sendLine("220 Scripted server ready.");
        c.expect("USER");
        c.sendLine("230 Logged in.");
        for (int i = 0; i < 2; ++i) {
            c.expect("PASV");
            c.sendLine(c.openPassive());
            c.expect("LIST");
            c.sendLine("150 Here comes the directory listing.");
            c.acceptData();
            c.sendData(listing);
            c.closeData();
            c.sendLine("226 Directory send OK.");
        }
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port());
    TSessionRecorder rec(*s);
    s->List("/pub/", "*.*");
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed List")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed List 1 0")) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(rec.Find(QStringLiteral("List /pub/")) >= 0, true);
    QCOMPARE(rec.Listing.size(), size_t(2));
    QCOMPARE(rec.Listing[0].Name, QByteArray("big image.iso"));
    QCOMPARE(rec.Listing[0].Item.Size, int64_t(5368709120LL));
    QVERIFY(rec.Listing[1].Item.Attributes & raFolder);
    QVERIFY(server.transcript().contains("LIST"));
    QCOMPARE(rec.Progress.last(), QStringLiteral("2 0 %1").arg(listing.size()));

    // A server type without a parser ("Not Relevant") lists nothing.
    s->SetServerType(1);
    s->List("/pub/", "");
    QTRY_COMPARE_WITH_TIMEOUT(rec.Count(QStringLiteral("Completed List")), 2, 10000);
    QCOMPARE(rec.Count(QStringLiteral("Completed List 0 0")), 1);
    QCOMPARE(rec.Count(QStringLiteral("List /pub/")), 1);
}

void TestTransferScripted::activeModeTurnsAwayOtherHosts() {
    std::atomic<int> intruderGot{-1};
    TScriptedFtpServer server;
    server.setScript([&](TScriptedConnection& c) {
        LogIn(c);
        c.expect("SIZE");
        c.sendLine("550 No size.");
        const QByteArray portLine = c.expect("PORT");
        const QList<QByteArray> f = portLine.mid(5).split(',');
        // Someone on another loopback address finds the port before the server connects.
        const int intruder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(0x7F000002);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(0x7F000001);
        to.sin_port = htons(quint16(f.value(4).toInt() * 256 + f.value(5).toInt()));
        const bool connected =
            ::bind(intruder, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
            ::connect(intruder, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
        c.sendLine(c.connectActive(portLine) ? "200 PORT ok." : "500 Bad PORT.");
        c.expect("RETR");
        c.sendLine("150 Opening data connection.");
        c.sendData("for the client only");
        c.closeData();
        c.sendLine("226 Done.");
        // The intruder's connection is closed without a byte.
        char byte = 0;
        timeval wait{5, 0};
        ::setsockopt(intruder, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        intruderGot = connected ? int(::recv(intruder, &byte, 1, 0)) : -2;
        ::close(intruder);
        ServeCommands(c, Idle);
    });
    TFTPComponent* s = NewSession(server.port(), false);
    TSessionRecorder rec(*s);
    const QString local = Dir.filePath(QStringLiteral("mine.txt"));
    s->Download("", "mine.txt", local, 2);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Download")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed Download 1 0")) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(ReadFile(local), QByteArray("for the client only"));
    QTRY_VERIFY_WITH_TIMEOUT(intruderGot != -1, 10000);
    QVERIFY2(intruderGot <= 0 && intruderGot != -2, qPrintable(QString::number(intruderGot)));
}

QTEST_GUILESS_MAIN(TestTransferScripted)
#include "tst_transfer_scripted.moc"
