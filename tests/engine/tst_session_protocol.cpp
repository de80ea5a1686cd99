// The session frame against a scripted server: reply framing, failures, abort,
// time-out, queue order, keep-alive and the guards against hostile servers.
#include "LoopbackServerProcess.h"
#include "ScriptedSession.h"
#include "TestFiles.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "listing/DebugLog.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>
#include <thread>

namespace {

void Greet(TScriptedConnection& c) {
    c.sendLine("220 Ready");
    c.expect("USER");
    c.sendLine("230 Logged in");
}

// Spins without delivering notifications until the worker has run everything queued.
void WaitIdleWithoutEvents(TFTPComponent& session) {
    for (int i = 0; i < 500 && session.Busy(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// How the server goes on after its reply in hostileReplies.
enum TEnding { Answers, Closes, FallsSilent };

QStringList Completions(const QStringList& events) {
    QStringList completed;
    for (const QString& e : events)
        if (e.startsWith(QStringLiteral("Completed"))) completed << e.mid(10);
    return completed;
}

} // namespace

class TestSessionProtocol : public QObject, TScriptedSession {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void cleanupTestCase();
    void logInInSegmentsHidesPasswords();
    void hostileReplies_data();
    void hostileReplies();
    void abortEndsWaitAndDropsQueue();
    void refusedNamesAndDetachedHandlers();
    void keepAliveWhenIdleNeverWhenBusy();
    void logInAttempts_data();
    void logInAttempts();
    void unlimitedRetriesUntilAbort();
    void commandRepliesInQueueOrder();
    void destroyedWhileCommandRuns();
};

void TestSessionProtocol::init() {
    auto& s = EngineSettings();
    s.TimeOut = 10000;
    s.RetryCount = 1;
    s.RetryDelay = 0;
    s.KeepAlive = false;
    s.QuickDisconnect = false;
    TFTPComponent::SetKeepAliveInterval(10000);
}

void TestSessionProtocol::cleanup() {
    Close();
}

void TestSessionProtocol::cleanupTestCase() {
    QVERIFY(TFTPComponent::WaitForWorkers(15000));
}

// Replies in pieces, and the password kept out of the log pane and the debug file.
void TestSessionProtocol::logInInSegmentsHidesPasswords() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Debug.txt"));
    SetDebugLogFile(path);
    SetDebugLogEnabled(true);
    Server = std::make_unique<TScriptedFtpServer>();
    Server->setScript([](TScriptedConnection& c) {
        c.send("220-Hello\r\n");
        c.send("220-\r\n");
        c.send("220 Ready\r\n");
        c.expect("USER joe");
        c.send("331 Password");
        c.send(" please\r\n");
        c.expect("PASS hunter2");
        c.sendLine("230 Welcome");
        ServeCommands(c, {{"NOOP", "200 Fine"}});
    });
    TSessionRecorder& rec = Open(Server->port());
    Session->Password = "hunter2";
    Session->Login();
    Session->AddCommand(TFTPCommand::NoOp, {QByteArray()});
    WAIT_EVENT(rec, "Completed NoOp");
    SetDebugLogEnabled(false);
    SetDebugLogFile(QString());
    EXPECT_EVENT(rec, "Completed Login 1 0");
    QCOMPARE(rec.Count(QStringLiteral("Log error")), 0);
    QVERIFY(Session->LoggedIn());
    const int hello = rec.Find(QStringLiteral("Log reply 220-Hello"));
    QVERIFY(hello >= 0);
    QCOMPARE(rec.Events.mid(hello + 1, 3),
             (QStringList{"Log reply 220-", "Log reply 220 Ready", "Connect"}));
    EXPECT_EVENT(rec, "Log command PASS xxxxx");
    QVERIFY(!rec.Dump().contains(QStringLiteral("hunter2")));
    QVERIFY(rec.Find(QStringLiteral("LoggedIn")) >
            rec.Find(QStringLiteral("Log reply 230 Welcome")));
    QVERIFY(Server->failures().isEmpty());
    const QByteArray log = ReadFile(path);
    QVERIFY(!log.contains("hunter2"));
    for (const char* line :
         {"Adding Command \"Login\", Parameters = 127.0.0.1,", ",joe,<pass>,",
          "Adding Command \"NoOp\", Parameters = <none>", "Sending command \"PASS xxxxx\"",
          "Host 127.0.0.1: Notify LoggedIn", "Started new FTP thread, ThreadID = "})
        QVERIFY2(log.contains(line), line);
}

void TestSessionProtocol::hostileReplies_data() {
    QTest::addColumn<QString>("command"); // NoOp (which logs nothing but errors), Download or CWD
    QTest::addColumn<QList<QByteArray>>("segments");
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("timeOut");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("events"); // "!" before one that must not come
    using Segments = QList<QByteArray>;
    QTest::newRow("lines without a valid code end no reply")
        << "NoOp" << Segments{"abc def\r\n99 x\r\n600 x\r\n", "200 Done\r\n"} << int(Answers)
        << 10000 << true << QStringList{"!Log reply abc def", "!Disconnect"};
    QTest::newRow("closed while a reply is owed")
        << "Download" << Segments{} << int(Closes) << 10000 << false
        << QStringList{"Log error Connection reset by peer", "Disconnect", "Completed SetType 0 0"};
    QTest::newRow("silence times out") << "NoOp" << Segments{} << int(FallsSilent) << 300 << false
                                       << QStringList{"Log error Operation timed out"};
    // 10 MiB without a line end; the client must give up long before.
    QTest::newRow("endless reply line")
        << "SetCurrentFolder" << Segments{QByteArray(10 << 20, 'x')} << int(FallsSilent) << 10000
        << false << QStringList{"Log error Reply from server too long", "Disconnect"};
    QTest::newRow("too many reply lines")
        << "SetCurrentFolder" << Segments{QByteArray("250-more\r\n").repeated(1200)}
        << int(FallsSilent) << 10000 << false << QStringList{"Disconnect"};
}

void TestSessionProtocol::hostileReplies() {
    QFETCH(QString, command);
    QFETCH(QList<QByteArray>, segments);
    QFETCH(int, ending);
    QFETCH(int, timeOut);
    QFETCH(bool, ok);
    QFETCH(QStringList, events);
    EngineSettings().TimeOut = timeOut;
    // Shared: the server, and so the script, may outlive this function when a check fails.
    auto peerClosed = std::make_shared<std::atomic<bool>>(false);
    TSessionRecorder& rec = Connect([segments, ending, peerClosed](TScriptedConnection& c) {
        Greet(c);
        c.readLine();
        for (const QByteArray& segment : segments)
            c.send(segment);
        if (ending == Answers) ServeCommands(c, {});
        if (ending == Closes) c.close();
        if (ending == FallsSilent) *peerClosed = c.waitForPeerClose(5000);
    });
    WAIT_EVENT(rec, "Completed Login 1");
    if (command == QLatin1String("Download"))
        Session->Download("/", "a", QStringLiteral("/nonexistent/a"), 2);
    else if (command == QLatin1String("NoOp"))
        Session->NoOp();
    else
        Session->SetCurrentFolder("/pub");
    const QString completed = QStringLiteral("Completed %1 %2 0").arg(command).arg(int(ok));
    WAIT_EVENT(rec, completed);
    QCOMPARE(rec.Events.last(), completed);
    for (const QString& event : events)
        if (event.startsWith('!'))
            QVERIFY2(rec.Find(event.mid(1)) < 0, qPrintable(rec.Dump()));
        else
            EXPECT_EVENT(rec, event);
    QVERIFY(rec.Count(QStringLiteral("Log reply 250-more")) <= 1000);
    if (!events.contains(QStringLiteral("Disconnect"))) {
        QVERIFY(Session->LoggedIn());
        return;
    }
    QVERIFY(!Session->Connected() && !Session->LoggedIn());
    QTRY_VERIFY_WITH_TIMEOUT(ending == Closes || *peerClosed, 10000);
}

void TestSessionProtocol::abortEndsWaitAndDropsQueue() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.pause(300);
        ServeCommands(c, {{"NOOP", "200 Fine"}, {"TYPE", "200 Ok"}});
    });
    WAIT_EVENT(rec, "Completed Login 1");
    rec.Events.clear();
    Session->NoOp();
    Session->Delete("x");
    Session->Rename("a", "b");
    QTest::qWait(100);
    Session->Abort();
    // The queued commands never run, but each completes as aborted, in order, so that
    // nobody waits for them.
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Rename"), 3000));
    QCOMPARE(Completions(rec.Events), QStringList({"NoOp 0 1", "Delete 0 1", "Rename 0 1"}));
    EXPECT_EVENT(rec, "Abort");
    EXPECT_EVENT(rec, "Log info Action aborted by user.");
    QTest::qWait(300);
    QCOMPARE(Completions(rec.Events).size(), 3);
    QVERIFY(!Server->transcript().contains("DELE x"));
    // The late reply to the aborted NOOP is owed and read before the next command's.
    Session->SetCurrentFolder("/pub");
    WAIT_EVENT(rec, "Completed SetCurrentFolder");
}

// A name with a line break or NUL never reaches the server, and a handler detached after its
// notification was posted is not called.
void TestSessionProtocol::refusedNamesAndDetachedHandlers() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        ServeCommands(c, {{"DELE", "250 Deleted"}});
    });
    Session->Delete("a\r\nDELE b");
    Session->Delete(QByteArray("c\0d", 3));
    Session->Delete("e\nf");
    Session->Delete("fine");
    WAIT_EVENT(rec, "Deleted fine");
    QCOMPARE(rec.Count(QStringLiteral("Completed Delete 0")), 3);
    QCOMPARE(rec.Count(QStringLiteral("Log error Command not sent")), 3);
    // The log names the command with its break made visible.
    QCOMPARE(rec.Count(QStringLiteral("Log error Command not sent: \"DELE e\\nf\"")), 1);
    for (const QByteArray& line : Server->transcript())
        QVERIFY2(!line.startsWith("DELE b") && !line.contains("DELE a"), line.constData());
    QCOMPARE(Server->transcript().last(), QByteArray("DELE fine"));
    QVERIFY(Session->LoggedIn());

    rec.Events.clear();
    Session->Delete("gone");
    WaitIdleWithoutEvents(*Session);
    // Posted already; detached before delivery.
    Session->OnLog = nullptr;
    Session->OnDeleteSuccessful = nullptr;
    WAIT_EVENT(rec, "Completed Delete 1");
    QCOMPARE(rec.Count(QStringLiteral("Log")), 0);
    QCOMPARE(rec.Count(QStringLiteral("Deleted")), 0);
}

void TestSessionProtocol::keepAliveWhenIdleNeverWhenBusy() {
    EngineSettings().KeepAlive = true;
    TFTPComponent::SetKeepAliveInterval(50);
    // The keep-alive timer outlives the components made before this session's.
    auto first = std::make_unique<TFTPComponent>();
    auto second = std::make_unique<TFTPComponent>();
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        c.expect("CWD");
        // Busy for well over four timer periods: no keep-alive may arrive meanwhile.
        const QByteArray early = c.readLine(600);
        if (!early.isNull()) c.sendLine("500 Unexpected " + early);
        c.sendLine("250 Changed");
        c.expect("NOOP", 3000);
        c.sendLine("200 Still here");
        ServeCommands(c, {{"NOOP", "200 Still here"}});
    });
    WAIT_EVENT(rec, "Completed Login 1");
    first.reset();
    Session->SetCurrentFolder("/pub");
    QVERIFY(rec.WaitFor(QStringLiteral("Completed SetCurrentFolder 1"), 5000));
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp 1"), 5000));
    second.reset();
    rec.Events.clear();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp 1"), 3000));
    // The only failure is the deliberate wait for a command that never came.
    QCOMPARE(Server->failures().size(), 1);
    QVERIFY(Server->failures().first().startsWith(QStringLiteral("no command within")));
    // Keep-alive traffic never reaches the log pane.
    QCOMPARE(rec.Count(QStringLiteral("Log command NOOP")), 0);
    QVERIFY(rec.Find(QStringLiteral("Log reply 500 Unexpected")) < 0);
}

// A refused connection or a busy server is tried again; a host, port or log-in that cannot
// change on a second try only once.
void TestSessionProtocol::logInAttempts_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("reply"); // the scripted server's to the password; null: none
    QTest::addColumn<int>("attempts");
    QTest::addColumn<QString>("error");
    const QString local = QStringLiteral("127.0.0.1");
    QTest::newRow("refused") << local << int(FreeLoopbackPort()) << QByteArray() << 3
                             << "Error 10061 Connection refused";
    QTest::newRow("no such host") << "no such host" << 21 << QByteArray() << 1
                                  << "Error 11001 Authoritative      : Host not found";
    // 99999 would wrap to 34463; nothing may arrive there.
    QTest::newRow("port past 65535")
        << local << 99999 << QByteArray() << 1 << "Error 10022 Invalid argument";
    QTest::newRow("port 0") << local << 0 << QByteArray() << 1 << "Error 10022 Invalid argument";
    for (const QByteArray reply : {"530 Non-anonymous sessions must use encryption.",
                                   "530 Login incorrect.", "421 Too many users, try later."})
        QTest::newRow(reply.constData()) << local << 0 << reply << (reply.startsWith("421") ? 3 : 1)
                                         << QString::fromLatin1("Log error " + reply);
}

void TestSessionProtocol::logInAttempts() {
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QByteArray, reply);
    QFETCH(int, attempts);
    QFETCH(QString, error);
    QTcpServer wrapped;
    const bool listening = wrapped.listen(QHostAddress::LocalHost, 34463);
    EngineSettings().RetryCount = 3;
    EngineSettings().RetryDelay = 1;
    if (!reply.isNull()) {
        Server = std::make_unique<TScriptedFtpServer>();
        Server->setScript([reply](TScriptedConnection& c) {
            c.sendLine("220 Ready");
            c.expect("USER joe");
            c.sendLine("331 Password required");
            c.expect("PASS secret");
            c.sendLine(reply);
            c.waitForPeerClose(5000);
        });
        port = Server->port();
    }
    TSessionRecorder& rec = Open(21);
    // A copy of its own: the worker may drop the session's last reference to the text,
    // inside Qt where ThreadSanitizer cannot follow, while the test data still shares it.
    Session->Host = QString(host.constData(), host.size());
    Session->Port = port;
    Session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login"), 15000));
    QCOMPARE(rec.Count(QStringLiteral("Log info Attempting to connect to ")), attempts);
    EXPECT_EVENT(
        rec,
        QStringLiteral("Log info Attempting to connect to %1, attempt %2").arg(host).arg(attempts));
    QCOMPARE(rec.Count(error), attempts);
    QCOMPARE(rec.Count(QStringLiteral("Log info 1 seconds delay before retrying...")),
             attempts - 1);
    const int disconnect = rec.Find(QStringLiteral("Disconnect"));
    QVERIFY2(disconnect >= 0, qPrintable(rec.Dump()));
    QCOMPARE(rec.Events.value(disconnect + 1), QStringLiteral("CantLogIn"));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed Login 0 0"));
    QCOMPARE(rec.Find(QStringLiteral("Log error The server requires an encrypted connection: "
                                     "choose FTPS")) >= 0,
             reply.contains("encryption"));
    if (Server) QCOMPARE(Server->transcript().size(), 2 * attempts); // USER and PASS each time
    if (listening) QVERIFY(!wrapped.waitForNewConnection(200));
}

void TestSessionProtocol::unlimitedRetriesUntilAbort() {
    EngineSettings().RetryCount = 0;
    EngineSettings().RetryDelay = 1;
    TSessionRecorder& rec = Open(FreeLoopbackPort());
    Session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Log info Attempting to connect to 127.0.0.1, attempt 4"),
                        15000));
    QCOMPARE(rec.Count(QStringLiteral("Completed")), 0);
    // An abort during the delay between attempts ends the loop.
    Session->Abort();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login"), 3000));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed Login 0 1"));
    EXPECT_EVENT(rec, "CantLogIn");
    QVERIFY(rec.Count(QStringLiteral("Log info 1 seconds delay before retrying...")) >= 3);
}

// A full session with an owner: account, detection, the resume probe, the fallbacks to the
// old command forms, refusals, then commands queued at once run and complete in order.
void TestSessionProtocol::commandRepliesInQueueOrder() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        const QList<QPair<QByteArray, QByteArray>> steps = {
            {"USER joe", "331 Password required"},
            {"PASS secret", "332 Account required"},
            {"ACCT dept7", "230 In"},
            {"SYST", "215 UNIX Type: L8"},
            // The resume probe asks in binary, then the server's default type comes back.
            {"TYPE I", "200 Binary"},
            {"REST 1", "350 Restarting at 1"},
            {"REST 0", "350 Restarting at 0"},
            {"TYPE A", "200 ASCII"},
            {"PWD", "500 Unknown command"},
            {"XPWD", "257 \"/home/joe\""},
            {"CWD /missing", "550 No such folder"},
            {"SITE CHMOD 644 a.txt", "500 SITE not understood"},
            {"CHMOD 644 a.txt", "200 Mode changed"},
            {"RNFR nope", "550 Not there"}};
        c.sendLine("220 MegaServer ready");
        for (const auto& [command, reply] : steps) {
            c.expect(command);
            c.sendLine(reply);
        }
        ServeCommands(c, {{"QUIT", "221 Bye"},
                          {"TYPE", "200 Type set"},
                          {"DELE", "250 Deleted"},
                          {"RNFR", "350 Ready"},
                          {"RNTO", "250 Renamed"},
                          {"MKD", "257 \"/a \"\"b\"\"\" created"},
                          {"PWD", "257 \"/a \"\"quoted\"\" dir\" is current"}});
    });
    QObject owner;
    auto* session = new TFTPComponent(&owner);
    session->Host = QStringLiteral("127.0.0.1");
    session->Port = server.port();
    session->User = "joe";
    session->Password = "secret";
    session->Account = "dept7";
    TSessionRecorder rec(*session);
    session->Login();
    WAIT_EVENT(rec, "Completed Login 1");
    QCOMPARE(session->ServerType(), uint8_t(11));
    QVERIFY(session->ResumeSupported());
    EXPECT_EVENT(rec, "Log info \r\nServer Type: UNIX (standard)");
    EXPECT_EVENT(rec, "Log info \r\nServer can resume broken downloads");
    session->GetCurrentFolder();
    session->SetCurrentFolder("/missing");
    session->ChangeAttributes("a.txt", 4 | 8 | 32 | 256); // rw-r--r--
    session->Rename("nope", "other");
    session->AddCommand(TFTPCommand::SetType, {"2"});
    session->Delete("old.txt");
    session->Rename("a b", "c d");
    session->CreateFolder("a \"b\"");
    session->GetCurrentFolder();
    WAIT_EVENT(rec, "Folder /a \"quoted\" dir 0 1");
    session->Disconnect();
    WAIT_EVENT(rec, "Completed Logout");
    QCOMPARE(Completions(rec.Events),
             (QStringList{"Login 1 0", "GetCurrentFolder 1 0", "SetCurrentFolder 0 0",
                          "ChangeAttributes 1 0", "Rename 0 0", "SetType 1 0", "Delete 1 0",
                          "Rename 1 0", "CreateFolder 1 0", "GetCurrentFolder 1 0", "Logout 1 0"}));
    EXPECT_EVENT(rec, "Folder /home/joe 0 1");
    EXPECT_EVENT(rec, "Folder /missing 1 0");
    EXPECT_EVENT(rec, "Deleted old.txt");
    EXPECT_EVENT(rec, "Renamed a b c d");
    EXPECT_EVENT(rec, "Folder a \"b\" 2 1");
    const QList<QByteArray> t = server.transcript();
    const qsizetype rnfr = t.indexOf("RNFR nope");
    QCOMPARE(t.mid(rnfr + 1), (QList<QByteArray>{"TYPE I", "DELE old.txt", "RNFR a b", "RNTO c d",
                                                 "MKD a \"b\"", "PWD", "QUIT"}));
    QVERIFY(rec.Find(QStringLiteral("Disconnect")) > rec.Find(QStringLiteral("Completed Rename")));
    QVERIFY2(server.failures().isEmpty(), qPrintable(server.failures().join(QLatin1Char('\n'))));
}

void TestSessionProtocol::destroyedWhileCommandRuns() {
    auto peerClosed = std::make_shared<std::atomic<bool>>(false);
    TSessionRecorder& rec = Connect([peerClosed](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        *peerClosed = c.waitForPeerClose(5000);
    });
    WAIT_EVENT(rec, "Completed Login 1");
    Session->NoOp();
    QTest::qWait(100);
    Session.reset();
    // The worker ends promptly and nothing it posts reaches the destroyed component.
    QVERIFY(TFTPComponent::WaitForWorkers(3000));
    QTest::qWait(50);
    QTRY_VERIFY_WITH_TIMEOUT(*peerClosed, 3000);
}

QTEST_GUILESS_MAIN(TestSessionProtocol)
#include "tst_session_protocol.moc"
