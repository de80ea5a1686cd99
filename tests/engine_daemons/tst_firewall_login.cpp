// Log-ins through each of the four firewall kinds: a scripted firewall answers the firewall
// part and then relays the control connection to pyftpdlib, so the user's log-in, detection
// and a passive listing run end to end behind it; its transcript shows every command.
#include "PyftpdlibServer.h"
#include "ScriptedFtpServer.h"
#include "SessionRecorder.h"
#include "TestFiles.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"

#include <QTest>

using Lines = QList<QByteArray>;

namespace {

// Kinds 0 and 2 log in to the firewall first; then 0 names the target with SITE, 1 with
// OPEN, 2 and 3 in the user name (user@host:port), whose user part goes on to the server.
TScriptedFtpServer::Script Firewall(int kind, const QByteArray& password) {
    return [kind, password](TScriptedConnection& c) {
        c.sendLine("220 Scripted firewall ready");
        if (kind == 0 || kind == 2) {
            c.expect("USER ");
            c.sendLine("331 Firewall password required");
            if (c.expect("PASS ") != "PASS " + password) {
                c.sendLine("421 Firewall closing");
                c.close();
                return;
            }
            c.sendLine("230 Firewall user logged in");
        }
        QByteArray target = c.readLine().mid(5), user;
        if (kind >= 2) {
            user = "USER " + target.left(target.lastIndexOf('@'));
            target = target.mid(target.lastIndexOf('@') + 1);
        }
        c.relayTo(quint16(target.mid(target.indexOf(':') + 1).toInt()), user,
                  kind < 2 ? "200 Connected to " + target : QByteArray());
    };
}

} // namespace

class TestFirewallLogin : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void eachKindLogsInAndLists_data();
    void eachKindLogsInAndLists();
    void refusedFirewallPassword();

private:
    std::unique_ptr<TFTPComponent> NewSession(int kind, const TScriptedFtpServer& firewall);
    TPyftpdlibServer Server;
    QObject Owner;
    std::unique_ptr<TFTPComponent> Session;
};

void TestFirewallLogin::initTestCase() {
    EngineSettings().TimeOut = 15000;
    EngineSettings().RetryCount = 1;
    EngineSettings().RetryDelay = 0;
    EngineSettings().KeepAlive = false;
    QVERIFY(WriteFile(Server.rootPath() + QStringLiteral("/behind the firewall.txt"), "12345"));
    QVERIFY2(Server.start(), qPrintable(Server.errorText()));
}

void TestFirewallLogin::cleanup() {
    Session.reset();
    QVERIFY(TFTPComponent::WaitForWorkers(15000));
}

std::unique_ptr<TFTPComponent> TestFirewallLogin::NewSession(int kind,
                                                             const TScriptedFtpServer& firewall) {
    auto session = std::make_unique<TFTPComponent>(&Owner);
    session->Host = QStringLiteral("127.0.0.1");
    session->Port = Server.port();
    session->User = "anonymous";
    session->Password = "tester@example.org";
    session->FirewallType = uint8_t(kind);
    session->FirewallHost = QStringLiteral("127.0.0.1");
    session->FirewallPort = firewall.port();
    session->FirewallUser = "fwuser";
    session->FirewallPassword = "fwpass";
    session->SetServerType(0);
    session->SetPassive(true);
    return session;
}

void TestFirewallLogin::eachKindLogsInAndLists_data() {
    const QByteArray target = "127.0.0.1:" + QByteArray::number(Server.port());
    QTest::addColumn<int>("kind");
    QTest::addColumn<Lines>("logIn");
    QTest::newRow("0 log in, SITE") << 0
                                    << Lines{"USER fwuser", "PASS fwpass", "SITE " + target,
                                             "USER anonymous", "PASS tester@example.org"};
    QTest::newRow("1 OPEN") << 1
                            << Lines{"OPEN " + target, "USER anonymous", "PASS tester@example.org"};
    QTest::newRow("2 log in, user@host")
        << 2
        << Lines{"USER fwuser", "PASS fwpass", "USER anonymous@" + target,
                 "PASS tester@example.org"};
    QTest::newRow("3 user@host") << 3
                                 << Lines{"USER anonymous@" + target, "PASS tester@example.org"};
}

void TestFirewallLogin::eachKindLogsInAndLists() {
    QFETCH(int, kind);
    QFETCH(Lines, logIn);
    TScriptedFtpServer firewall;
    firewall.setScript(Firewall(kind, "fwpass"));
    Session = NewSession(kind, firewall);
    TSessionRecorder rec(*Session);
    Session->FirewallLogin();
    WAIT_EVENT(rec, "Completed FirewallLogin 1 0");
    QVERIFY(Session->LoggedIn());
    EXPECT_EVENT(rec, "Log info Attempting to connect to 127.0.0.1, attempt 1");
    // Both passwords travel quietly.
    QCOMPARE(rec.Count(QStringLiteral("Log command PASS xxxxx")), kind == 0 || kind == 2 ? 2 : 1);
    QCOMPARE(rec.Count(QStringLiteral("Log command PASS fwpass")), 0);
    // SYST answered through the relay by pyftpdlib.
    QCOMPARE(Session->ServerType(), uint8_t(11));

    Session->List("/", "");
    WAIT_EVENT(rec, "Completed List 1 0");
    const TRemoteListEntry* file = rec.Entry("behind the firewall.txt");
    QVERIFY2(file, qPrintable(rec.Dump()));
    QCOMPARE(file->Item.Size, int64_t(5));
    QVERIFY(Session->Passive());

    QVERIFY2(firewall.failures().isEmpty(), qPrintable(firewall.failures().join('\n')));
    const Lines sent = firewall.transcript();
    QCOMPARE(sent.mid(0, logIn.size()), logIn);
    // The server's features are asked for first, once logged in.
    QCOMPARE(sent.value(logIn.size()), QByteArray("FEAT"));
    QVERIFY(sent.indexOf("SYST") > logIn.size());
    const qsizetype pasv = sent.indexOf("PASV");
    QVERIFY2(pasv > logIn.size(), sent.join(" | ").constData());
    // pyftpdlib offers machine listings.
    QVERIFY(sent.indexOf("MLSD", pasv) > pasv);
}

// A firewall that refuses its password: the log-in fails there and never reaches the server.
void TestFirewallLogin::refusedFirewallPassword() {
    TScriptedFtpServer firewall;
    firewall.setScript(Firewall(2, "other password"));
    Session = NewSession(2, firewall);
    TSessionRecorder rec(*Session);
    Session->FirewallLogin();
    WAIT_EVENT(rec, "Completed FirewallLogin 0 0");
    EXPECT_EVENT(rec, "Log error Failed to Log in to Firewall");
    EXPECT_EVENT(rec, "CantLogIn");
    QVERIFY(rec.Find(QStringLiteral("LoggedIn")) < 0);
    QVERIFY(!Session->LoggedIn());
    QCOMPARE(firewall.transcript(), (Lines{"USER fwuser", "PASS fwpass"}));

    // A site that requires encryption is not connected through the firewall in clear.
    Session = NewSession(2, firewall);
    Session->Security.Encryption = TEncryption::ExplicitRequired;
    TSessionRecorder encrypted(*Session);
    const int connections = firewall.connectionCount();
    Session->FirewallLogin();
    WAIT_EVENT(encrypted, "Completed FirewallLogin 0 0");
    EXPECT_EVENT(encrypted, "Log error Encrypted connections cannot go through the firewall");
    QCOMPARE(firewall.connectionCount(), connections);
}

QTEST_GUILESS_MAIN(TestFirewallLogin)
#include "tst_firewall_login.moc"
