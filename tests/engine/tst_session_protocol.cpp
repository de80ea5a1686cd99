// The session frame against a scripted server: reply framing, failures, abort,
// time-out, queue order, keep-alive and the guards against hostile servers.
#include "LoopbackServerProcess.h"
#include "ScriptedSession.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "listing/DebugLog.h"

#include <QFile>
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

} // namespace

class TestSessionProtocol : public QObject, TScriptedSession {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void cleanupTestCase();
    void multiLineReplyInSegments();
    void linesWithoutValidCode();
    void serverClosesWhileReplyOwed();
    void silentServerTimesOut();
    void abortEndsWaitAndDropsQueue();
    void queuedCommandsRunInOrder();
    void lineBreakInCommandIsRefused();
    void endlessReplyLineIsBounded();
    void tooManyReplyLines();
    void detachedHandlerDropsNotification();
    void keepAliveWhenIdleNeverWhenBusy();
    void keepAliveSurvivesFirstComponent();
    void refusedConnectionRetries();
    void unlimitedRetriesUntilAbort();
    void refusedLogInRetriedOnlyWhenItCanChange_data();
    void refusedLogInRetriedOnlyWhenItCanChange();
    void impossibleHostNameTriedOnce_data();
    void impossibleHostNameTriedOnce();
    void logInWithAccountAndFolderReplies();
    void debugLinesHidePasswords();
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

void TestSessionProtocol::multiLineReplyInSegments() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        c.send("220-Hello\r\n");
        c.send("220-\r\n");
        c.send("220 Ready\r\n");
        c.expect("USER joe");
        c.send("331 Password");
        c.send(" please\r\n");
        c.expect("PASS secret");
        c.sendLine("230 Welcome");
        ServeCommands(c, {{"NOOP", "200 Fine"}});
    });
    WAIT_EVENT(rec, "Completed Login");
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed Login 1 0"));
    QVERIFY(Session->LoggedIn());
    const int hello = rec.Find(QStringLiteral("Log reply 220-Hello"));
    QVERIFY(hello >= 0);
    QCOMPARE(rec.Events[hello + 1], QStringLiteral("Log reply 220-"));
    QCOMPARE(rec.Events[hello + 2], QStringLiteral("Log reply 220 Ready"));
    QCOMPARE(rec.Events[hello + 3], QStringLiteral("Connect"));
    // The password never reaches the log pane.
    EXPECT_EVENT(rec, "Log command PASS xxxxx");
    QVERIFY(!rec.Dump().contains(QStringLiteral("secret")));
    QVERIFY(rec.Find(QStringLiteral("LoggedIn")) >
            rec.Find(QStringLiteral("Log reply 230 Welcome")));
    QVERIFY(Server->failures().isEmpty());
}

void TestSessionProtocol::linesWithoutValidCode() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.send("abc def\r\n99 x\r\n600 x\r\n");
        c.send("200 Done\r\n");
        ServeCommands(c, {});
    });
    WAIT_EVENT(rec, "Completed Login 1");
    Session->NoOp();
    WAIT_EVENT(rec, "Completed NoOp");
    // None of the code-less lines ends the reply; the keep-alive NOOP is never logged.
    QVERIFY2(rec.Events.last() == QStringLiteral("Completed NoOp 1 0"), qPrintable(rec.Dump()));
    QCOMPARE(rec.Count(QStringLiteral("Log reply abc def")), 0);
}

void TestSessionProtocol::serverClosesWhileReplyOwed() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        c.expect("TYPE");
        c.close();
    });
    WAIT_EVENT(rec, "Completed Login 1");
    Session->Download("/", "a", QStringLiteral("/nonexistent/a"), 2);
    WAIT_EVENT(rec, "Completed SetType");
    EXPECT_EVENT(rec, "Log error Connection reset by peer");
    EXPECT_EVENT(rec, "Disconnect");
    EXPECT_EVENT(rec, "Completed SetType 0 0");
    WAIT_EVENT(rec, "Completed Download 0 0");
    QVERIFY(!Session->LoggedIn());
    QVERIFY(!Session->Connected());
}

void TestSessionProtocol::silentServerTimesOut() {
    EngineSettings().TimeOut = 300;
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.waitForPeerClose(5000);
    });
    WAIT_EVENT(rec, "Completed Login 1");
    Session->NoOp();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp"), 5000));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed NoOp 0 0"));
    EXPECT_EVENT(rec, "Log error Operation timed out");
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
    QStringList completed;
    for (const QString& event : rec.Events)
        if (event.startsWith(QStringLiteral("Completed"))) completed << event;
    QCOMPARE(completed,
             QStringList({"Completed NoOp 0 1", "Completed Delete 0 1", "Completed Rename 0 1"}));
    EXPECT_EVENT(rec, "Abort");
    EXPECT_EVENT(rec, "Log info Action aborted by user.");
    QTest::qWait(300);
    QCOMPARE(rec.Count(QStringLiteral("Completed")), 3);
    QVERIFY(!Server->transcript().contains("DELE x"));
    // The late reply to the aborted NOOP is owed and read before the next command's.
    Session->SetCurrentFolder("/pub");
    WAIT_EVENT(rec, "Completed SetCurrentFolder");
}

void TestSessionProtocol::queuedCommandsRunInOrder() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        ServeCommands(c, {{"TYPE", "200 Type set"},
                          {"DELE", "250 Deleted"},
                          {"RNFR", "350 Ready"},
                          {"RNTO", "250 Renamed"},
                          {"MKD", "257 \"/a \"\"b\"\"\" created"},
                          {"PWD", "257 \"/a \"\"quoted\"\" dir\" is current"}});
    });
    Session->AddCommand(TFTPCommand::SetType, {"1"});
    Session->Delete("old.txt");
    Session->Rename("a b", "c d");
    Session->CreateFolder("a \"b\"");
    Session->GetCurrentFolder();
    WAIT_EVENT(rec, "Completed GetCurrentFolder");
    const QList<QByteArray> t = Server->transcript();
    QCOMPARE(t.mid(1, 6), (QList<QByteArray>{"TYPE A", "DELE old.txt", "RNFR a b", "RNTO c d",
                                             "MKD a \"b\"", "PWD"}));
    QStringList completed;
    for (const QString& e : rec.Events)
        if (e.startsWith(QStringLiteral("Completed")))
            completed << e.section(QLatin1Char(' '), 1, 1);
    QCOMPARE(completed, (QStringList{"Login", "SetType", "Delete", "Rename", "CreateFolder",
                                     "GetCurrentFolder"}));
    EXPECT_EVENT(rec, "Deleted old.txt");
    EXPECT_EVENT(rec, "Renamed a b c d");
    EXPECT_EVENT(rec, "Folder a \"b\" 2 1");
    EXPECT_EVENT(rec, "Folder /a \"quoted\" dir 0 1");
}

void TestSessionProtocol::lineBreakInCommandIsRefused() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        ServeCommands(c, {{"DELE", "250 Deleted"}, {"NOOP", "200 Ok"}});
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
}

void TestSessionProtocol::endlessReplyLineIsBounded() {
    // Shared: the server, and so the script, may outlive this function when a check fails.
    auto peerClosedEarly = std::make_shared<std::atomic<bool>>(false);
    TSessionRecorder& rec = Connect([peerClosedEarly](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.setSendPause(0);
        const QByteArray chunk(64 * 1024, 'x');
        // 10 MiB without a line end; the client must give up long before.
        for (int i = 0; i < 160 && !c.peerClosed() && !c.isClosed(); ++i)
            c.send(chunk);
        *peerClosedEarly = c.waitForPeerClose(5000);
    });
    WAIT_EVENT(rec, "Completed Login 1");
    Session->OnLog = [&rec](TFTPComponent*, const QString& t, TColor c) {
        rec.Events << QStringLiteral("Log %1 %2").arg(TSessionRecorder::ColorName(c), t.left(80));
    };
    Session->SetCurrentFolder("/x");
    QVERIFY(rec.WaitFor(QStringLiteral("Completed SetCurrentFolder"), 10000));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed SetCurrentFolder 0 0"));
    EXPECT_EVENT(rec, "Log error Reply from server too long");
    EXPECT_EVENT(rec, "Disconnect");
    QVERIFY(Server->waitForScriptsDone(10000));
    QVERIFY(*peerClosedEarly);
}

void TestSessionProtocol::tooManyReplyLines() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        c.expect("PWD");
        c.setSendPause(0);
        QByteArray lines;
        for (int i = 0; i < 1200; ++i)
            lines += "257-more\r\n";
        c.send(lines);
        c.waitForPeerClose(5000);
    });
    Session->GetCurrentFolder();
    WAIT_EVENT(rec, "Completed GetCurrentFolder");
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed GetCurrentFolder 0 0"));
    EXPECT_EVENT(rec, "Disconnect");
    QVERIFY(rec.Count(QStringLiteral("Log reply 257-more")) <= 1000);
}

void TestSessionProtocol::detachedHandlerDropsNotification() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        ServeCommands(c, {{"DELE", "250 Deleted"}});
    });
    WAIT_EVENT(rec, "Completed Login 1");
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
    Session->SetCurrentFolder("/pub");
    QVERIFY(rec.WaitFor(QStringLiteral("Completed SetCurrentFolder 1"), 5000));
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp 1"), 5000));
    // The only failure is the deliberate wait for a command that never came.
    QCOMPARE(Server->failures().size(), 1);
    QVERIFY(Server->failures().first().startsWith(QStringLiteral("no command within")));
    // Keep-alive traffic never reaches the log pane.
    QCOMPARE(rec.Count(QStringLiteral("Log command NOOP")), 0);
    QVERIFY(rec.Find(QStringLiteral("Log reply 500 Unexpected")) < 0);
}

void TestSessionProtocol::keepAliveSurvivesFirstComponent() {
    EngineSettings().KeepAlive = true;
    TFTPComponent::SetKeepAliveInterval(50);
    auto first = std::make_unique<TFTPComponent>();
    auto second = std::make_unique<TFTPComponent>();
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        ServeCommands(c, {{"NOOP", "200 Ok"}});
    });
    WAIT_EVENT(rec, "Completed Login 1");
    first.reset();
    rec.Events.clear();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp 1"), 3000));
    second.reset();
    rec.Events.clear();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp 1"), 3000));
}

void TestSessionProtocol::refusedConnectionRetries() {
    EngineSettings().RetryCount = 3;
    EngineSettings().RetryDelay = 1;
    TSessionRecorder& rec = Open(FreeLoopbackPort());
    Session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login"), 15000));
    QCOMPARE(rec.Count(QStringLiteral("Log info Attempting to connect to 127.0.0.1, attempt")), 3);
    EXPECT_EVENT(rec, "Log info Attempting to connect to 127.0.0.1, attempt 3");
    QCOMPARE(rec.Count(QStringLiteral("Log info 1 seconds delay before retrying...")), 2);
    QCOMPARE(rec.Count(QStringLiteral("Error 10061 Connection refused")), 3);
    const int disconnect = rec.Find(QStringLiteral("Disconnect"));
    QVERIFY(disconnect >= 0);
    QCOMPARE(rec.Events[disconnect + 1], QStringLiteral("CantLogIn"));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed Login 0 0"));
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

void TestSessionProtocol::refusedLogInRetriedOnlyWhenItCanChange_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("connections");
    QTest::addColumn<bool>("hint");
    QTest::newRow("needs TLS") << QByteArray("530 Non-anonymous sessions must use encryption.") << 1
                               << true;
    QTest::newRow("wrong password") << QByteArray("530 Login incorrect.") << 1 << false;
    QTest::newRow("busy") << QByteArray("421 Too many users, try later.") << 3 << false;
}

void TestSessionProtocol::refusedLogInRetriedOnlyWhenItCanChange() {
    QFETCH(QByteArray, reply);
    QFETCH(int, connections);
    QFETCH(bool, hint);
    EngineSettings().RetryCount = 3;
    TSessionRecorder& rec = Connect([reply](TScriptedConnection& c) {
        c.sendLine("220 Ready");
        c.expect("USER joe");
        c.sendLine("331 Password required");
        c.expect("PASS secret");
        c.sendLine(reply);
        c.waitForPeerClose(5000);
    });
    WAIT_EVENT(rec, "Completed Login 0 0");
    QCOMPARE(Server->connectionCount(), connections);
    QCOMPARE(Server->transcript().size(), 2 * connections); // USER and PASS each time
    EXPECT_EVENT(rec, "Log error " + QString::fromLatin1(reply));
    EXPECT_EVENT(rec, "CantLogIn");
    QCOMPARE(rec.Find(QStringLiteral(
                 "Log error The server requires an encrypted connection (FTPS)")) >= 0,
             hint);
}

void TestSessionProtocol::impossibleHostNameTriedOnce_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("error");
    QTest::newRow("name") << "no such host" << 21
                          << "Error 11001 Authoritative      : Host not found";
    // 99999 would wrap to 34463; nothing may arrive there.
    QTest::newRow("port past 65535") << "127.0.0.1" << 99999 << "Error 10022 Invalid argument";
    QTest::newRow("port 0") << "127.0.0.1" << 0 << "Error 10022 Invalid argument";
}

void TestSessionProtocol::impossibleHostNameTriedOnce() {
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, error);
    QTcpServer wrapped;
    const bool listening = wrapped.listen(QHostAddress::LocalHost, 34463);
    EngineSettings().RetryCount = 3;
    EngineSettings().RetryDelay = 1;
    TSessionRecorder& rec = Open(21);
    // A copy of its own: the worker may drop the session's last reference to the text,
    // inside Qt where ThreadSanitizer cannot follow, while the test data still shares it.
    Session->Host = QString(host.constData(), host.size());
    Session->Port = port;
    Session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login"), 5000));
    QCOMPARE(rec.Count(QStringLiteral("Log info Attempting to connect")), 1);
    QVERIFY2(rec.Find(error) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(rec.Count(QStringLiteral("Log info 1 seconds delay")), 0);
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed Login 0 0"));
    if (listening) QVERIFY(!wrapped.waitForNewConnection(200));
}

void TestSessionProtocol::logInWithAccountAndFolderReplies() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        c.sendLine("220 MegaServer ready");
        c.expect("USER joe");
        c.sendLine("331 Password required");
        c.expect("PASS secret");
        c.sendLine("332 Account required");
        c.expect("ACCT dept7");
        c.sendLine("230 In");
        c.expect("SYST");
        c.sendLine("215 UNIX Type: L8");
        // The resume probe asks in binary, then the server's default type comes back.
        c.expect("TYPE I");
        c.sendLine("200 Binary");
        c.expect("REST 1");
        c.sendLine("350 Restarting at 1");
        c.expect("REST 0");
        c.sendLine("350 Restarting at 0");
        c.expect("TYPE A");
        c.sendLine("200 ASCII");
        c.expect("PWD");
        c.sendLine("500 Unknown command");
        c.expect("XPWD");
        c.sendLine("257 \"/home/joe\"");
        c.expect("CWD /missing");
        c.sendLine("550 No such folder");
        c.expect("SITE CHMOD 644 a.txt");
        c.sendLine("500 SITE not understood");
        c.expect("CHMOD 644 a.txt");
        c.sendLine("200 Mode changed");
        c.expect("RNFR nope");
        c.sendLine("550 Not there");
        ServeCommands(c, {{"QUIT", "221 Bye"}});
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
    WAIT_EVENT(rec, "Completed Rename");
    session->Disconnect();
    WAIT_EVENT(rec, "Completed Logout");
    EXPECT_EVENT(rec, "Folder /home/joe 0 1");
    EXPECT_EVENT(rec, "Folder /missing 1 0");
    EXPECT_EVENT(rec, "Completed ChangeAttributes 1 0");
    EXPECT_EVENT(rec, "Completed Rename 0 0");
    QVERIFY(!server.transcript().contains("RNTO other"));
    QVERIFY(server.transcript().contains("QUIT"));
    QVERIFY(rec.Find(QStringLiteral("Disconnect")) > rec.Find(QStringLiteral("Completed Rename")));
    QVERIFY2(server.failures().isEmpty(), qPrintable(server.failures().join(QLatin1Char('\n'))));
}

void TestSessionProtocol::debugLinesHidePasswords() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Debug.txt"));
    SetDebugLogFile(path);
    SetDebugLogEnabled(true);
    Server = std::make_unique<TScriptedFtpServer>();
    Server->setScript([](TScriptedConnection& c) {
        c.sendLine("220 Ready");
        c.expect("USER joe");
        c.sendLine("331 Password");
        c.expect("PASS");
        c.sendLine("230 In");
        ServeCommands(c, {});
    });
    TSessionRecorder& rec = Open(Server->port());
    Session->Password = "hunter2";
    Session->Login();
    Session->AddCommand(TFTPCommand::NoOp, {QByteArray()});
    WAIT_EVENT(rec, "Completed NoOp");
    SetDebugLogEnabled(false);
    SetDebugLogFile(QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray log = file.readAll();
    QVERIFY(!log.contains("hunter2"));
    QVERIFY(log.contains("Adding Command \"Login\", Parameters = 127.0.0.1,"));
    QVERIFY(log.contains(",joe,<pass>,"));
    QVERIFY(log.contains("Adding Command \"NoOp\", Parameters = <none>"));
    QVERIFY(log.contains("Sending command \"PASS xxxxx\""));
    QVERIFY(log.contains("Host 127.0.0.1: Notify LoggedIn"));
    QVERIFY(log.contains("Started new FTP thread, ThreadID = "));
}

void TestSessionProtocol::destroyedWhileCommandRuns() {
    TSessionRecorder& rec = Connect([](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.waitForPeerClose(5000);
    });
    WAIT_EVENT(rec, "Completed Login 1");
    Session->NoOp();
    QTest::qWait(100);
    Session.reset();
    // The worker ends promptly and nothing it posts reaches the destroyed component.
    QVERIFY(TFTPComponent::WaitForWorkers(3000));
    QTest::qWait(50);
    QVERIFY(Server->waitForScriptsDone(3000));
}

QTEST_GUILESS_MAIN(TestSessionProtocol)
#include "tst_session_protocol.moc"
