// The session frame against a scripted server: reply framing, failures, abort,
// time-out, queue order, keep-alive and the guards against hostile servers.
#include "ScriptedFtpServer.h"
#include "SessionRecorder.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "listing/DebugLog.h"

#include <QFile>
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

// A session without owner and with a fixed server type logs in with USER alone:
// no SYST, no REST probe.
std::unique_ptr<TFTPComponent> MakeSession(quint16 port) {
    auto session = std::make_unique<TFTPComponent>();
    session->Host = QStringLiteral("127.0.0.1");
    session->Port = port;
    session->User = "joe";
    session->Password = "secret";
    session->SetServerType(1);
    return session;
}

// Spins without delivering notifications until the worker has run everything queued.
void WaitIdleWithoutEvents(TFTPComponent& session) {
    for (int i = 0; i < 500 && session.Busy(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

} // namespace

class TestSessionProtocol : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
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
    void impossibleHostNameTriedOnce();
    void logInWithAccountAndFolderReplies();
    void firewallLogInThroughUserAtHost();
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

void TestSessionProtocol::cleanupTestCase() { QVERIFY(TFTPComponent::WaitForWorkers(15000)); }

void TestSessionProtocol::multiLineReplyInSegments() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
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
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Login")), qPrintable(rec.Dump()));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed Login 1 0"));
    QVERIFY(session->LoggedIn());
    const int hello = rec.Find(QStringLiteral("Log reply 220-Hello"));
    QVERIFY(hello >= 0);
    QCOMPARE(rec.Events[hello + 1], QStringLiteral("Log reply 220-"));
    QCOMPARE(rec.Events[hello + 2], QStringLiteral("Log reply 220 Ready"));
    QCOMPARE(rec.Events[hello + 3], QStringLiteral("Connect"));
    // The password never reaches the log pane.
    QVERIFY(rec.Find(QStringLiteral("Log command PASS xxxxx")) >= 0);
    QVERIFY(!rec.Dump().contains(QStringLiteral("secret")));
    QVERIFY(rec.Find(QStringLiteral("LoggedIn")) > rec.Find(QStringLiteral("Log reply 230 Welcome")));
    QVERIFY(server.failures().isEmpty());
}

void TestSessionProtocol::linesWithoutValidCode() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.send("abc def\r\n99 x\r\n600 x\r\n");
        c.send("200 Done\r\n");
        ServeCommands(c, {});
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login 1")));
    session->OnLog = [&rec](TFTPComponent*, const QString& t, TColor c) {
        rec.Events << QStringLiteral("Log %1 %2").arg(TSessionRecorder::ColorName(c), t);
    };
    session->NoOp();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp")));
    // None of the code-less lines ends the reply; the keep-alive NOOP is never logged.
    QVERIFY2(rec.Events.last() == QStringLiteral("Completed NoOp 1 0"), qPrintable(rec.Dump()));
    QCOMPARE(rec.Count(QStringLiteral("Log reply abc def")), 0);
}

void TestSessionProtocol::serverClosesWhileReplyOwed() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        c.expect("TYPE");
        c.close();
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login 1")));
    session->Download("/", "a", QStringLiteral("/nonexistent/a"), 2);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed SetType")), qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log error Connection reset by peer")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Disconnect")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Completed SetType 0 0")) >= 0);
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Download 0 0")));
    QVERIFY(!session->LoggedIn());
    QVERIFY(!session->Connected());
}

void TestSessionProtocol::silentServerTimesOut() {
    EngineSettings().TimeOut = 300;
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.waitForPeerClose(5000);
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login 1")));
    session->NoOp();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp"), 5000));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed NoOp 0 0"));
    QVERIFY(rec.Find(QStringLiteral("Log error Operation timed out")) >= 0);
}

void TestSessionProtocol::abortEndsWaitAndDropsQueue() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.pause(300);
        ServeCommands(c, {{"NOOP", "200 Fine"}, {"TYPE", "200 Ok"}});
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login 1")));
    rec.Events.clear();
    session->NoOp();
    session->Delete("x");
    session->Rename("a", "b");
    QTest::qWait(100);
    session->Abort();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp"), 3000));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed NoOp 0 1"));
    QVERIFY(rec.Find(QStringLiteral("Abort")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log info Action aborted by user.")) >= 0);
    QTest::qWait(300);
    QCOMPARE(rec.Count(QStringLiteral("Completed")), 1);
    QVERIFY(!server.transcript().contains("DELE x"));
    // The late reply to the aborted NOOP is owed and read before the next command's.
    session->SetCurrentFolder("/pub");
    QVERIFY(rec.WaitFor(QStringLiteral("Completed SetCurrentFolder")));
}

void TestSessionProtocol::queuedCommandsRunInOrder() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        ServeCommands(c, {{"TYPE", "200 Type set"},
                          {"DELE", "250 Deleted"},
                          {"RNFR", "350 Ready"},
                          {"RNTO", "250 Renamed"},
                          {"MKD", "257 \"/a \"\"b\"\"\" created"},
                          {"PWD", "257 \"/a \"\"quoted\"\" dir\" is current"}});
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    session->AddCommand(TFTPCommand::SetType, {"1"});
    session->Delete("old.txt");
    session->Rename("a b", "c d");
    session->CreateFolder("a \"b\"");
    session->GetCurrentFolder();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed GetCurrentFolder")));
    const QList<QByteArray> t = server.transcript();
    QCOMPARE(t.mid(1, 6), (QList<QByteArray>{"TYPE A", "DELE old.txt", "RNFR a b", "RNTO c d",
                                             "MKD a \"b\"", "PWD"}));
    QStringList completed;
    for (const QString& e : rec.Events)
        if (e.startsWith(QStringLiteral("Completed")))
            completed << e.section(QLatin1Char(' '), 1, 1);
    QCOMPARE(completed, (QStringList{"Login", "SetType", "Delete", "Rename",
                                     "CreateFolder", "GetCurrentFolder"}));
    QVERIFY(rec.Find(QStringLiteral("Deleted old.txt")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Renamed a b c d")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Folder a \"b\" 2 1")) >= 0);
    QVERIFY2(rec.Find(QStringLiteral("Folder /a \"quoted\" dir 0 1")) >= 0, qPrintable(rec.Dump()));
}

void TestSessionProtocol::lineBreakInCommandIsRefused() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        ServeCommands(c, {{"DELE", "250 Deleted"}, {"NOOP", "200 Ok"}});
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    session->Delete("a\r\nDELE b");
    session->Delete(QByteArray("c\0d", 3));
    session->Delete("e\nf");
    session->Delete("fine");
    QVERIFY(rec.WaitFor(QStringLiteral("Deleted fine")));
    QCOMPARE(rec.Count(QStringLiteral("Completed Delete 0")), 3);
    QCOMPARE(rec.Count(QStringLiteral("Log error Command not sent")), 3);
    for (const QByteArray& line : server.transcript())
        QVERIFY2(!line.startsWith("DELE b") && !line.contains("DELE a"), line.constData());
    QCOMPARE(server.transcript().last(), QByteArray("DELE fine"));
    QVERIFY(session->LoggedIn());
}

void TestSessionProtocol::endlessReplyLineIsBounded() {
    TScriptedFtpServer server;
    std::atomic<bool> peerClosedEarly{false};
    server.setScript([&peerClosedEarly](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.setSendPause(0);
        const QByteArray chunk(64 * 1024, 'x');
        // 10 MiB without a line end; the client must give up long before.
        for (int i = 0; i < 160 && !c.peerClosed() && !c.isClosed(); ++i)
            c.send(chunk);
        peerClosedEarly = c.waitForPeerClose(5000);
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login 1")));
    session->OnLog = [&rec](TFTPComponent*, const QString& t, TColor c) {
        rec.Events << QStringLiteral("Log %1 %2").arg(TSessionRecorder::ColorName(c), t.left(80));
    };
    session->SetCurrentFolder("/x");
    QVERIFY(rec.WaitFor(QStringLiteral("Completed SetCurrentFolder"), 10000));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed SetCurrentFolder 0 0"));
    QVERIFY2(rec.Find(QStringLiteral("Log error Reply from server too long")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Disconnect")) >= 0);
    QVERIFY(server.waitForScriptsDone(10000));
    QVERIFY(peerClosedEarly);
}

void TestSessionProtocol::tooManyReplyLines() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        c.expect("PWD");
        c.setSendPause(0);
        QByteArray lines;
        for (int i = 0; i < 1200; ++i)
            lines += "257-more\r\n";
        c.send(lines);
        c.waitForPeerClose(5000);
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    session->GetCurrentFolder();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed GetCurrentFolder")));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed GetCurrentFolder 0 0"));
    QVERIFY(rec.Find(QStringLiteral("Disconnect")) >= 0);
    QVERIFY(rec.Count(QStringLiteral("Log reply 257-more")) <= 1000);
}

void TestSessionProtocol::detachedHandlerDropsNotification() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        ServeCommands(c, {{"DELE", "250 Deleted"}});
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login 1")));
    rec.Events.clear();
    session->Delete("gone");
    WaitIdleWithoutEvents(*session);
    // Posted already; detached before delivery.
    session->OnLog = nullptr;
    session->OnDeleteSuccessful = nullptr;
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Delete 1")));
    QCOMPARE(rec.Count(QStringLiteral("Log")), 0);
    QCOMPARE(rec.Count(QStringLiteral("Deleted")), 0);
}

void TestSessionProtocol::keepAliveWhenIdleNeverWhenBusy() {
    EngineSettings().KeepAlive = true;
    TFTPComponent::SetKeepAliveInterval(50);
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        c.expect("CWD");
        // Busy for well over four timer periods: no keep-alive may arrive meanwhile.
        const QByteArray early = c.readLine(600);
        if (!early.isNull())
            c.sendLine("500 Unexpected " + early);
        c.sendLine("250 Changed");
        c.expect("NOOP", 3000);
        c.sendLine("200 Still here");
        ServeCommands(c, {{"NOOP", "200 Still here"}});
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login 1")));
    session->SetCurrentFolder("/pub");
    QVERIFY(rec.WaitFor(QStringLiteral("Completed SetCurrentFolder 1"), 5000));
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp 1"), 5000));
    // The only failure is the deliberate wait for a command that never came.
    QCOMPARE(server.failures().size(), 1);
    QVERIFY(server.failures().first().startsWith(QStringLiteral("no command within")));
    // Keep-alive traffic never reaches the log pane.
    QCOMPARE(rec.Count(QStringLiteral("Log command NOOP")), 0);
    QVERIFY(rec.Find(QStringLiteral("Log reply 500 Unexpected")) < 0);
}

void TestSessionProtocol::keepAliveSurvivesFirstComponent() {
    EngineSettings().KeepAlive = true;
    TFTPComponent::SetKeepAliveInterval(50);
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        ServeCommands(c, {{"NOOP", "200 Ok"}});
    });
    auto first = std::make_unique<TFTPComponent>();
    auto second = std::make_unique<TFTPComponent>();
    auto third = MakeSession(server.port());
    TSessionRecorder rec(*third);
    third->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login 1")));
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
    quint16 deadPort = 0;
    {
        TScriptedFtpServer probe;
        deadPort = probe.port();
    }
    auto session = MakeSession(deadPort);
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login"), 15000));
    QCOMPARE(rec.Count(QStringLiteral("Log info Attempting to connect to 127.0.0.1, attempt")), 3);
    QVERIFY(rec.Find(QStringLiteral("Log info Attempting to connect to 127.0.0.1, attempt 3")) >= 0);
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
    quint16 deadPort = 0;
    {
        TScriptedFtpServer probe;
        deadPort = probe.port();
    }
    auto session = MakeSession(deadPort);
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Log info Attempting to connect to 127.0.0.1, attempt 4"),
                        15000));
    QCOMPARE(rec.Count(QStringLiteral("Completed")), 0);
    // An abort during the delay between attempts ends the loop.
    session->Abort();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login"), 3000));
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed Login 0 1"));
    QVERIFY(rec.Find(QStringLiteral("CantLogIn")) >= 0);
    QVERIFY(rec.Count(QStringLiteral("Log info 1 seconds delay before retrying...")) >= 3);
}

void TestSessionProtocol::impossibleHostNameTriedOnce() {
    EngineSettings().RetryCount = 3;
    EngineSettings().RetryDelay = 1;
    auto session = MakeSession(21);
    session->Host = QStringLiteral("no such host");
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login"), 5000));
    QCOMPARE(rec.Count(QStringLiteral("Log info Attempting to connect")), 1);
    QVERIFY(rec.Find(QStringLiteral("Error 11001 Authoritative      : Host not found")) >= 0);
    QCOMPARE(rec.Count(QStringLiteral("Log info 1 seconds delay")), 0);
    QCOMPARE(rec.Events.last(), QStringLiteral("Completed Login 0 0"));
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
        c.expect("REST 1");
        c.sendLine("350 Restarting at 1");
        c.expect("REST 0");
        c.sendLine("350 Restarting at 0");
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
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Login 1")), qPrintable(rec.Dump()));
    QCOMPARE(session->ServerType(), uint8_t(11));
    QVERIFY(session->ResumeSupported());
    QVERIFY(rec.Find(QStringLiteral("Log info \r\nServer Type: UNIX (standard)")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log info \r\nServer can resume broken downloads")) >= 0);
    session->GetCurrentFolder();
    session->SetCurrentFolder("/missing");
    session->ChangeAttributes("a.txt", 4 | 8 | 32 | 256); // rw-r--r--
    session->Rename("nope", "other");
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Rename")));
    session->Disconnect();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Logout")));
    QVERIFY2(rec.Find(QStringLiteral("Folder /home/joe 0 1")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Folder /missing 1 0")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Completed ChangeAttributes 1 0")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Completed Rename 0 0")) >= 0);
    QVERIFY(!server.transcript().contains("RNTO other"));
    QVERIFY(server.transcript().contains("QUIT"));
    QVERIFY(rec.Find(QStringLiteral("Disconnect")) > rec.Find(QStringLiteral("Completed Rename")));
    QVERIFY2(server.failures().isEmpty(), qPrintable(server.failures().join(QLatin1Char('\n'))));
}

void TestSessionProtocol::firewallLogInThroughUserAtHost() {
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        c.sendLine("220 Proxy ready");
        c.expect("USER fwuser");
        c.sendLine("331 Firewall password");
        c.expect("PASS fwsecret");
        c.sendLine("230 Firewall open");
        c.expect("USER joe@ftp.example.org:2121");
        c.sendLine("331 Password");
        c.expect("PASS secret");
        c.sendLine("230 In");
        ServeCommands(c, {});
    });
    auto session = MakeSession(0);
    session->Host = QStringLiteral("ftp.example.org");
    session->Port = 2121;
    session->FirewallHost = QStringLiteral("127.0.0.1");
    session->FirewallPort = server.port();
    session->FirewallType = 2;
    session->FirewallUser = "fwuser";
    session->FirewallPassword = "fwsecret";
    TSessionRecorder rec(*session);
    session->FirewallLogin();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed FirewallLogin 1")), qPrintable(rec.Dump()));
    QCOMPARE(rec.Count(QStringLiteral("Log command PASS xxxxx")), 2);
    QVERIFY2(server.failures().isEmpty(), qPrintable(server.failures().join(QLatin1Char('\n'))));
}

void TestSessionProtocol::debugLinesHidePasswords() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Debug.txt"));
    SetDebugLogFile(path);
    SetDebugLogEnabled(true);
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        c.sendLine("220 Ready");
        c.expect("USER joe");
        c.sendLine("331 Password");
        c.expect("PASS");
        c.sendLine("230 In");
        ServeCommands(c, {});
    });
    auto session = MakeSession(server.port());
    session->Password = "hunter2";
    TSessionRecorder rec(*session);
    session->Login();
    session->AddCommand(TFTPCommand::NoOp, {QByteArray()});
    QVERIFY(rec.WaitFor(QStringLiteral("Completed NoOp")));
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
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        Greet(c);
        c.expect("NOOP");
        c.waitForPeerClose(5000);
    });
    auto session = MakeSession(server.port());
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Login 1")));
    session->NoOp();
    QTest::qWait(100);
    session.reset();
    // The worker ends promptly and nothing it posts reaches the destroyed component.
    QVERIFY(TFTPComponent::WaitForWorkers(3000));
    QTest::qWait(50);
    QVERIFY(server.waitForScriptsDone(3000));
}

QTEST_GUILESS_MAIN(TestSessionProtocol)
#include "tst_session_protocol.moc"
