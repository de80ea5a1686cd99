// Transfers against a scripted server playing what real servers won't: refused or
// hostile PASV replies, short and reset data connections, silence, aborts, size
// announcements, refused and ignored REST, a path the server only takes after CWD, and
// MLSD or PASV refused by a server that offered MLST or EPSV.
#include "ScriptedSession.h"
#include "TestFiles.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"

#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <atomic>
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

void Reply(TScriptedConnection& c, const QByteArray& command, const QByteArray& reply) {
    c.expect(command);
    c.sendLine(reply);
}

void Pasv(TScriptedConnection& c) {
    c.expect("PASV");
    c.sendLine(c.openPassive());
}

// The transfer command answered with the preliminary reply; the data connection is open after.
void BeginData(TScriptedConnection& c, const QByteArray& command = "RETR",
               const QByteArray& preliminary = "150 Opening data connection.") {
    c.expect(command);
    c.sendLine(preliminary);
    c.acceptData();
}

void SendAndClose(TScriptedConnection& c, const QByteArray& bytes) {
    c.sendData(bytes);
    c.closeData();
    c.sendLine("226 Transfer complete.");
}

// SIZE refused, PASV granted, then the transfer command answered with "150".
void OpenDownload(TScriptedConnection& c,
                  const QByteArray& preliminary = "150 Opening data connection.") {
    Reply(c, "SIZE", "550 Could not get file size.");
    Pasv(c);
    BeginData(c, "RETR", preliminary);
}

// POSIX sockets, as the scripted server's: Qt's would start its proxy lookup on the
// script's thread.
sockaddr_in Loopback(quint32 address, quint16 port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    return a;
}

// A socket on 127.0.0.2, where a client that trusts what it is told may land; -1 if none.
int OtherLoopback(quint16 port, int flags = 0) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
    const sockaddr_in at = Loopback(0x7F000002, port);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0) return s;
    ::close(s);
    return -1;
}

// How the server spoils a download in downloadFaults.
enum TFault { Stall, MalformedPasv, ResetThen226, ResetThen426 };

const QMap<QByteArray, QByteArray> Idle = {{"NOOP", "200 NOOP ok."}, {"TYPE", "200 Type set."}};

} // namespace

class TestTransferScripted : public QObject, TScriptedSession {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void pasvRefusedFallsBackToPortAndOtherHostsAreTurnedAway();
    void pasvAddressIsNeverTrustedAndSizeIsAnnounced();
    void shortDownloadFailsAndResumes_data();
    void shortDownloadFailsAndResumes();
    void restartRefusedOrIgnored_data();
    void restartRefusedOrIgnored();
    void downloadFaults_data();
    void downloadFaults();
    void refusedPathIsRetriedAfterCwd();
    void uploadResumesAndIsCheckedBySize();
    void listingCommands_data();
    void listingCommands();

private:
    // The scripts use the test's locals, so each test keeps its server to itself.
    TSessionRecorder& Connect(const TScriptedFtpServer& server) {
        Open(server.port(), 11);
        Session->SetPassive(true);
        Session->Login();
        return *Rec;
    }
    // The script runs between the log-in and the idle commands that follow.
    TSessionRecorder& Connect(TScriptedFtpServer& server,
                              const TScriptedFtpServer::Script& script) {
        server.setScript([script](TScriptedConnection& c) {
            LogIn(c);
            script(c);
            ServeCommands(c, Idle);
        });
        return Connect(server);
    }
    QString Local(const QString& name) const { return Dir.filePath(name); }
    QTemporaryDir Dir;
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
    Close();
    QVERIFY(TFTPComponent::WaitForWorkers(15000));
}

void TestTransferScripted::pasvRefusedFallsBackToPortAndOtherHostsAreTurnedAway() {
    std::atomic<int> intruderGot{-1};
    TScriptedFtpServer server;
    TSessionRecorder& rec = Connect(server, [&](TScriptedConnection& c) {
        Reply(c, "SIZE", "550 No size.");
        Reply(c, "PASV", "502 Command not implemented.");
        const QByteArray portLine = c.expect("PORT");
        const QList<QByteArray> f = portLine.mid(5).split(',');
        // Someone on another loopback address finds the port before the server connects.
        const int intruder = OtherLoopback(0);
        const sockaddr_in to =
            Loopback(0x7F000001, quint16(f.value(4).toInt() * 256 + f.value(5).toInt()));
        const bool connected =
            ::connect(intruder, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
        c.sendLine(c.connectActive(portLine) ? "200 PORT ok." : "500 Bad PORT.");
        Reply(c, "RETR", "150 Opening data connection.");
        SendAndClose(c, "for the client only");
        // The intruder's connection is closed without a byte.
        char byte = 0;
        const timeval wait{5, 0};
        ::setsockopt(intruder, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        intruderGot = connected ? int(::recv(intruder, &byte, 1, 0)) : -2;
        ::close(intruder);
    });
    Session->Download("", "mine.txt", Local("mine.txt"), 2);
    WAIT_EVENT(rec, "Completed Download 1 0");
    QVERIFY(!Session->Passive());
    QCOMPARE(ReadFile(Local("mine.txt")), QByteArray("for the client only"));
    QTRY_VERIFY_WITH_TIMEOUT(intruderGot != -1, 10000);
    QVERIFY2(intruderGot <= 0 && intruderGot != -2, qPrintable(QString::number(intruderGot)));
    QVERIFY2(server.failures().isEmpty(), qPrintable(server.failures().join('\n')));
}

void TestTransferScripted::pasvAddressIsNeverTrustedAndSizeIsAnnounced() {
    std::atomic<int> foreign{-1};
    const QByteArray payload = Pattern(70000);
    TScriptedFtpServer server;
    TSessionRecorder& rec = Connect(server, [&](TScriptedConnection& c) {
        Reply(c, "SIZE", "550 No size.");
        c.expect("PASV");
        c.openPassive();
        const quint16 port = c.passivePort();
        // Same port on another loopback address: a client that believed the reply lands here.
        const int trap = OtherLoopback(port, SOCK_NONBLOCK);
        const bool listening = ::listen(trap, 8) == 0;
        c.sendLine("227 Entering Passive Mode (127,0,0,2," + QByteArray::number(port >> 8) + ',' +
                   QByteArray::number(port & 0xFF) + ").");
        // The whole file is in before the preliminary reply comes, so the transfer loop finds
        // it waiting: the time is still the transfer's.
        c.expect("RETR");
        c.acceptData();
        c.sendData(payload);
        c.closeData();
        c.pause(300);
        c.sendLine("150 Opening BINARY mode data connection for a.zip (70000 bytes).");
        c.sendLine("226 Transfer complete.");
        const int caught = ::accept(trap, nullptr, nullptr);
        foreign = !listening ? -2 : caught >= 0 ? 1 : 0;
        ::close(caught);
        ::close(trap);
    });
    Session->Download("", "a.zip", Local("a.zip"), 2);
    WAIT_EVENT(rec, "Completed Download 1 0");
    QCOMPARE(ReadFile(Local("a.zip")), payload);
    QTRY_VERIFY(foreign != -1);
    QCOMPARE(foreign.load(), 0);
    // The size from the preliminary reply, announced once and before the completion.
    QCOMPARE(rec.Count(QStringLiteral("Size ")), 1);
    const int size = rec.Find(QStringLiteral("Size 70000"));
    QVERIFY2(size >= 0 && size < rec.Find(QStringLiteral("Completed Download")),
             qPrintable(rec.Dump()));
    const int stats = rec.Find(QStringLiteral("Log info Transferred 70,000 bytes in "));
    QVERIFY2(stats >= 0, qPrintable(rec.Dump()));
    const double seconds = rec.Events.at(stats).section(' ', 6, 6).toDouble();
    QVERIFY2(seconds >= 0.29, qPrintable(rec.Events.at(stats)));
}

void TestTransferScripted::shortDownloadFailsAndResumes_data() {
    QTest::addColumn<qint64>("knownSize"); // the listing's size, given to the command
    QTest::newRow("size from SIZE") << qint64(0);
    QTest::newRow("size from the listing") << qint64(100000);
}

void TestTransferScripted::shortDownloadFailsAndResumes() {
    QFETCH(qint64, knownSize);
    const QByteArray whole = Pattern(100000, 7);
    TScriptedFtpServer server;
    TSessionRecorder& rec = Connect(server, [&](TScriptedConnection& c) {
        if (knownSize == 0) Reply(c, "SIZE", "213 100000");
        Pasv(c);
        BeginData(c);
        SendAndClose(c, whole.left(60000));
        // The resume: REST with the partial length, then only the rest of the file (the
        // type holds: no second TYPE).
        Reply(c, "SIZE", "213 100000");
        Pasv(c);
        if (c.expect("REST") != "REST 60000") return;
        c.sendLine("350 Restarting at 60000.");
        BeginData(c);
        SendAndClose(c, whole.mid(60000));
    });
    const QString local = Local("short.bin");
    Session->ResumeDownload("", "short.bin", local, 2, knownSize, 0);
    WAIT_EVENT(rec, "Completed ResumeDownload 0 0");
    EXPECT_EVENT(rec, "Log error Transfer ended after 60000 of 100000 bytes");
    QCOMPARE(ReadFile(local), whole.left(60000));

    Session->ResumeDownload("", "short.bin", local, 2, knownSize, 60000);
    WAIT_EVENT(rec, "Completed ResumeDownload 1 0");
    QCOMPARE(ReadFile(local), whole);
    // Progress starts at the bytes already on disk.
    QVERIFY2(rec.Progress.contains(QStringLiteral("0 1 60000")),
             qPrintable(rec.Progress.join('\n')));
    QCOMPARE(rec.Progress.last(), QStringLiteral("2 1 100000"));
}

void TestTransferScripted::restartRefusedOrIgnored_data() {
    QTest::addColumn<QByteArray>("restReply");
    QTest::addColumn<QByteArray>("sizeReply");
    QTest::addColumn<qint64>("knownSize");
    QTest::newRow("refused: fetched from the start")
        << QByteArray("502 REST not implemented.") << QByteArray("213 100000") << qint64(0);
    QTest::newRow("ignored, size from SIZE")
        << QByteArray("350 Restarting at 50000.") << QByteArray("213 100000") << qint64(0);
    QTest::newRow("ignored, size from the listing")
        << QByteArray("350 Restarting at 50000.") << QByteArray("550 No size.") << qint64(100000);
}

// Either the file ends identical or the download fails with the file at its earlier
// length, never longer; after an ignored restart the next attempt starts from zero.
void TestTransferScripted::restartRefusedOrIgnored() {
    QFETCH(QByteArray, restReply);
    QFETCH(QByteArray, sizeReply);
    QFETCH(qint64, knownSize);
    const bool ignored = restReply.startsWith('3');
    const QByteArray whole = Pattern(100000, 3);
    const QString local = Local("partial.bin");
    QVERIFY(WriteFile(local, whole.left(50000)));
    TScriptedFtpServer server;
    TSessionRecorder& rec = Connect(server, [&](TScriptedConnection& c) {
        Reply(c, "SIZE", sizeReply);
        Pasv(c);
        Reply(c, "REST 50000", restReply);
        BeginData(c);
        // The whole file, whatever REST said.
        SendAndClose(c, whole);
        if (ignored) {
            if (knownSize == 0) Reply(c, "SIZE", sizeReply);
            Pasv(c);
            BeginData(c);
            SendAndClose(c, whole);
        }
    });
    Session->ResumeDownload("", "partial.bin", local, 2, knownSize, 50000);
    if (!ignored) {
        WAIT_EVENT(rec, "Completed ResumeDownload 1 0");
        EXPECT_EVENT(rec, "Log info Server unable to resume broken downloads");
        QCOMPARE(ReadFile(local), whole);
        return;
    }
    WAIT_EVENT(rec, "Completed ResumeDownload 0 0");
    EXPECT_EVENT(rec, "Log error the server ignored the restart; the file will be fetched from "
                      "the start");
    QCOMPARE(ReadFile(local), whole.left(50000));
    QVERIFY(!Session->ResumeSupported());
    Session->ResumeDownload("", "partial.bin", local, 2, knownSize, 50000);
    WAIT_EVENT(rec, "Completed ResumeDownload 1 0");
    QCOMPARE(ReadFile(local), whole);
    QCOMPARE(server.transcript().count("REST 50000"), 1);
}

void TestTransferScripted::downloadFaults_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("sent"); // bytes before the server waits for the client to give up
    QTest::addColumn<QString>("local");
    QTest::addColumn<bool>("abort");
    QTest::addColumn<QString>("completion");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("unableToComplete"); // times logged; -1 not checked
    QTest::newRow("malformed PASV reply fails without RETR")
        << int(MalformedPasv) << 0 << "never.bin" << false << "Completed Download 0 0"
        << QStringList{"Log error Illegal response from server"} << 1;
    // A reset data connection lets the reply decide.
    QTest::newRow("data connection reset, then 226")
        << int(ResetThen226) << 0 << "one.bin" << false << "Completed Download 1 0" << QStringList{}
        << -1;
    QTest::newRow("data connection reset, then 426")
        << int(ResetThen426) << 0 << "two.bin" << false << "Completed Download 0 0" << QStringList{}
        << -1;
    QTest::newRow("user aborts, the reply is read and the session kept")
        << int(Stall) << 100000 << "endless.bin" << true << "Completed Download 0 1"
        << QStringList{"Abort", "Log error 426 ", "Log info Action aborted by user."} << 0;
    QTest::newRow("silent data connection times out")
        << int(Stall) << 0 << "silent.bin" << false << "Completed Download 0 0"
        << QStringList{"Error 10060 Operation timed out"} << 1;
    QTest::newRow("unwritable local file fails cleanly")
        << int(Stall) << 300000 << "/dev/full" << false << "Completed Download 0 0"
        << QStringList{"Log error Error writing file \"/dev/full\"."} << 1;
}

// Each download fails or succeeds as its row says, and the session stays usable.
void TestTransferScripted::downloadFaults() {
    QFETCH(int, fault);
    QFETCH(int, sent);
    QFETCH(QString, local);
    QFETCH(bool, abort);
    QFETCH(QString, completion);
    QFETCH(QStringList, events);
    QFETCH(int, unableToComplete);
    EngineSettings().TimeOut = fault == Stall && !abort ? 1500 : 10000;
    TScriptedFtpServer server;
    TSessionRecorder& rec = Connect(server, [fault, sent](TScriptedConnection& c) {
        if (fault == MalformedPasv) {
            Reply(c, "SIZE", "550 No size.");
            Reply(c, "PASV", "227 Entering Passive Mode (127,0,0,1,4");
        } else if (fault == Stall) {
            OpenDownload(c);
            c.sendData(QByteArray(sent, 'q'));
            c.receiveDataUntilClose(15000);
            c.sendLine("426 Connection closed; transfer aborted.");
        } else {
            OpenDownload(c);
            c.sendData(QByteArray(5000, 'a'));
            c.pause(100);
            c.resetData();
            c.sendLine(fault == ResetThen226 ? "226 Transfer complete." : "426 Connection closed.");
        }
    });
    Session->Download("", "file.bin", local.startsWith('/') ? local : Local(local), 2);
    if (abort) {
        QTRY_VERIFY_WITH_TIMEOUT(rec.Progress.contains(QStringLiteral("0 1 0")), 10000);
        QTest::qWait(200);
        Session->Abort();
    }
    WAIT_EVENT(rec, completion);
    QCOMPARE(rec.Count(QStringLiteral("Completed Download")), 1);
    for (const QString& event : events)
        EXPECT_EVENT(rec, event);
    if (unableToComplete >= 0)
        QCOMPARE(rec.Count(QStringLiteral("Log info Unable to complete transfer")),
                 unableToComplete);
    if (fault == MalformedPasv)
        for (const QByteArray& line : server.transcript())
            QVERIFY2(!line.startsWith("RETR"), line.constData());
    Session->NoOp();
    WAIT_EVENT(rec, "Completed NoOp 1 0");
}

void TestTransferScripted::refusedPathIsRetriedAfterCwd() {
    TScriptedFtpServer server;
    TSessionRecorder& rec = Connect(server, [](TScriptedConnection& c) {
        Reply(c, "SIZE /dir/f.txt", "550 No size.");
        Pasv(c);
        Reply(c, "RETR /dir/f.txt", "550 No such file.");
        Reply(c, "SIZE /dir/f.txt", "550 No size.");
        Reply(c, "CWD /dir/", "250 Okay.");
        Pasv(c);
        BeginData(c, "RETR f.txt");
        SendAndClose(c, "first");
        // From now on the session changes folder first, once per folder.
        Reply(c, "SIZE /dir/g.txt", "550 No size.");
        Pasv(c);
        BeginData(c, "RETR g.txt");
        SendAndClose(c, "second");
    });
    Session->Download("/dir/", "/dir/f.txt", Local("f.txt"), 2);
    Session->Download("/dir/", "/dir/g.txt", Local("g.txt"), 2);
    Session->NoOp();
    WAIT_EVENT(rec, "Completed NoOp");
    QCOMPARE(rec.Count(QStringLiteral("Completed Download 1 0")), 3);
    QCOMPARE(rec.Count(QStringLiteral("Completed Download 0")), 0);
    QCOMPARE(ReadFile(Local("f.txt")), QByteArray("first"));
    QCOMPARE(ReadFile(Local("g.txt")), QByteArray("second"));
    QVERIFY2(server.failures().isEmpty(), qPrintable(server.failures().join('\n')));
}

void TestTransferScripted::uploadResumesAndIsCheckedBySize() {
    const QByteArray whole = Pattern(300000, 11);
    QByteArray received[3]; // resumed, then rewritten from the start twice
    const QString local = Local("up.bin");
    QVERIFY(WriteFile(local, whole));
    TScriptedFtpServer server;
    TSessionRecorder& rec = Connect(server, [&](TScriptedConnection& c) {
        // What the server says it holds afterwards: all, nothing (no SIZE), two bytes short.
        const QByteArray sizes[3] = {"213 300000", "500 Unknown command.", "213 299998"};
        for (int i = 0; i < 3; ++i) {
            Pasv(c);
            Reply(c, "REST 120000",
                  i == 0 ? "350 Restarting at 120000." : "502 REST not implemented.");
            BeginData(c, "STOR", "150 Ok to send data.");
            received[i] = c.receiveDataUntilClose();
            c.sendLine("226 Transfer complete.");
            Reply(c, "SIZE up.bin", sizes[i]);
        }
    });
    for (int i = 0; i < 3; ++i)
        Session->ResumeUpload(local, "", "up.bin", 2, 120000);
    QTRY_COMPARE_WITH_TIMEOUT(rec.Count(QStringLiteral("Completed ResumeUpload")), 3, 20000);
    QCOMPARE(rec.Count(QStringLiteral("Completed ResumeUpload 1 0")), 2);
    QVERIFY(rec.Find(QStringLiteral("Completed ResumeUpload 0 0")) >
            rec.Find(QStringLiteral("Completed ResumeUpload 1 0")));
    EXPECT_EVENT(rec, "Log error The server holds 299998 bytes of \"up.bin\" after the upload, "
                      "not 300000");
    QVERIFY(received[0] == whole.mid(120000));
    QVERIFY(received[1] == whole);
}

void TestTransferScripted::listingCommands_data() {
    QTest::addColumn<QByteArray>("feat");
    QTest::addColumn<QByteArrayList>("refused");
    QTest::addColumn<QString>("options"); // what the list is asked with
    QTest::addColumn<QByteArrayList>("commands");
    // Each listed twice: what was refused once is not asked for again.
    QTest::newRow("no MLST: LIST without options")
        << QByteArray() << QByteArrayList{} << "*.*"
        << QByteArrayList{"PASV", "LIST", "PASV", "LIST"};
    QTest::newRow("MLSD refused: LIST for the session")
        << QByteArray("211-Features:\r\n MLST type*;size*;modify*;\r\n211 End")
        << QByteArrayList{"MLSD"} << "-la"
        << QByteArrayList{"PASV", "MLSD", "PASV", "LIST -la", "PASV", "LIST -la"};
    QTest::newRow("PASV refused, EPSV offered: EPSV for the session")
        << QByteArray("211-Features:\r\n EPSV\r\n MLST type*;size*;\r\n211 End")
        << QByteArrayList{"PASV"} << "-la"
        << QByteArrayList{"PASV", "EPSV", "MLSD", "EPSV", "MLSD"};
}

void TestTransferScripted::listingCommands() {
    QFETCH(QByteArray, feat);
    QFETCH(QByteArrayList, refused);
    QFETCH(QString, options);
    QFETCH(QByteArrayList, commands);
    const QByteArray facts = "type=cdir; .\r\ntype=file;size=5368709120; big image.iso\r\n"
                             "type=dir;size=4096; sub dir\r\n";
    const QByteArray unix = "-rw-r--r--   1 ftp ftp 5368709120 Jan 02  2024 big image.iso\r\n"
                            "drwxr-xr-x   2 ftp ftp       4096 Mar 10 12:30 sub dir\r\n";
    TScriptedFtpServer server;
    if (!feat.isNull()) server.setFeatReply(feat);
    server.setScript([&](TScriptedConnection& c) {
        c.sendLine("220 Scripted server ready.");
        Reply(c, "USER", "230 Logged in.");
        for (QByteArray line = c.readLine(); !line.isNull(); line = c.readLine()) {
            const QByteArray verb = line.left(4);
            if (refused.contains(verb)) {
                c.sendLine("500 " + verb + " not understood.");
            } else if (verb == "PASV") {
                c.sendLine(c.openPassive());
            } else if (verb == "EPSV") {
                c.openPassive();
                c.sendLine("229 Entering Extended Passive Mode (|||" +
                           QByteArray::number(c.passivePort()) + "|)");
            } else if (verb == "MLSD" || verb == "LIST") {
                c.sendLine("150 Here comes the directory listing.");
                c.acceptData();
                SendAndClose(c, verb == "MLSD" ? facts : unix);
            } else {
                c.sendLine(Idle.value(verb, "502 Command not implemented."));
            }
        }
    });
    TSessionRecorder& rec = Connect(server);
    for (int i = 0; i < 2; ++i) {
        Session->List("/pub/", options.toUtf8());
        QTRY_COMPARE_WITH_TIMEOUT(rec.Count(QStringLiteral("Completed List")), i + 1, 10000);
        QVERIFY2(rec.Count(QStringLiteral("Completed List 1 0")) == i + 1, qPrintable(rec.Dump()));
        QCOMPARE(rec.Listing.size(), size_t(2));
        QCOMPARE(rec.Listing[0].Item.Size, int64_t(5368709120LL));
        QCOMPARE(rec.Listing[1].Name, QByteArray("sub dir"));
        QVERIFY(rec.Listing[1].Item.Attributes & raFolder);
    }
    EXPECT_EVENT(rec, "List /pub/");
    const bool machine = commands.last() == "MLSD";
    QCOMPARE(rec.Progress.last(), QStringLiteral("2 0 %1").arg((machine ? facts : unix).size()));
    QByteArrayList sent;
    for (const QByteArray& line : server.transcript())
        if (QByteArrayList{"PASV", "EPSV", "PORT", "MLSD", "LIST"}.contains(line.left(4)))
            sent << line;
    QCOMPARE(sent, commands);
    QVERIFY2(server.failures().isEmpty(), qPrintable(server.failures().join('\n')));
    if (machine) return;
    // A server type without a parser ("Not Relevant") lists nothing from LIST.
    Session->SetServerType(1);
    Session->List("/pub/", "");
    QTRY_COMPARE_WITH_TIMEOUT(rec.Count(QStringLiteral("Completed List")), 3, 10000);
    QCOMPARE(rec.Count(QStringLiteral("Completed List 0 0")), 1);
    QCOMPARE(rec.Count(QStringLiteral("List /pub/")), 2);
}

QTEST_GUILESS_MAIN(TestTransferScripted)
#include "tst_transfer_scripted.moc"
