// Encrypted sessions against vsftpd with TLS, using certificates made for the run: which
// log-ins go through, that nothing of the log-in goes out before the handshake, that
// files cross exactly over encrypted data connections, and that the certificate check
// refuses what nobody vouches for. pure-ftpd and pyftpdlib, whose TLS differs (OpenSSL
// from Python, refusals of plain log-ins), go through the same steps.
#include "PureFtpdServer.h"
#include "PyftpdlibServer.h"
#include "RunProgram.h"
#include "ScriptedFtpServer.h"
#include "SessionRecorder.h"
#include "TestCertificates.h"
#include "TestFiles.h"
#include "VsftpdServer.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using TTls = TServerTls;
using TKind = TTestCertificates::TKind;
Q_DECLARE_METATYPE(TTls)
Q_DECLARE_METATYPE(TEncryption)
Q_DECLARE_METATYPE(TTestCertificates::TKind)

enum class TTrust { Nothing, OwnFingerprint, OtherFingerprint, Anything };
Q_DECLARE_METATYPE(TTrust)
enum class TDaemon { Vsftpd, PureFtpd, Pyftpdlib };
Q_DECLARE_METATYPE(TDaemon)

class TestFtps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { QVERIFY(TFTPComponent::WaitForWorkers(15000)); }
    void logIn_data();
    void logIn();
    void stalledHandshake_data();
    void stalledHandshake();
    void commandLine_data();
    void commandLine();

private:
    TTestCertificates m_certificates;
};

void TestFtps::initTestCase() {
    QVERIFY2(m_certificates.make(), qPrintable(m_certificates.errorText()));
    // The run's authority is the only one the client trusts, as if it were the system's.
    qputenv("SSL_CERT_FILE", QFile::encodeName(m_certificates.authority()));
    EngineSettings().TimeOut = 20000;
    EngineSettings().RetryCount = 3;
    EngineSettings().RetryDelay = 1;
    EngineSettings().KeepAlive = false;
}

void TestFtps::logIn_data() {
    QTest::addColumn<TDaemon>("daemon");
    QTest::addColumn<TTls>("server");
    QTest::addColumn<TKind>("certificate");
    QTest::addColumn<TEncryption>("encryption");
    QTest::addColumn<TTrust>("trust");
    // "encrypted", "plain", or the start of the event that ends a refused log-in.
    QTest::addColumn<QString>("outcome");
    using E = TEncryption;
    const TKind ca = TKind::ForLoopback, self = TKind::SelfSigned;
    QTest::newRow("required") << TDaemon::Vsftpd << TTls::Required << ca << E::ExplicitRequired
                              << TTrust::Nothing << "encrypted";
    QTest::newRow("offered, if offered") << TDaemon::Vsftpd << TTls::Offered << ca
                                         << E::ExplicitIfOffered << TTrust::Nothing << "encrypted";
    QTest::newRow("implicit") << TDaemon::Vsftpd << TTls::Implicit << ca << E::Implicit
                              << TTrust::Nothing << "encrypted";
    QTest::newRow("plain server, if offered")
        << TDaemon::Vsftpd << TTls::Off << ca << E::ExplicitIfOffered << TTrust::Nothing << "plain";
    QTest::newRow("plain server, required")
        << TDaemon::Vsftpd << TTls::Off << ca << E::ExplicitRequired << TTrust::Nothing
        << "Log error The server does not offer encryption";
    QTest::newRow("server requires, client plain")
        << TDaemon::Vsftpd << TTls::Required << ca << E::None << TTrust::Nothing
        << "Log error The server requires an encrypted connection";
    QTest::newRow("self-signed") << TDaemon::Vsftpd << TTls::Required << self << E::ExplicitRequired
                                 << TTrust::Nothing << "Certificate";
    QTest::newRow("self-signed, its fingerprint trusted")
        << TDaemon::Vsftpd << TTls::Required << self << E::ExplicitRequired
        << TTrust::OwnFingerprint << "encrypted";
    QTest::newRow("self-signed, another one trusted before")
        << TDaemon::Vsftpd << TTls::Implicit << self << E::Implicit << TTrust::OtherFingerprint
        << "Certificate";
    QTest::newRow("another host's certificate")
        << TDaemon::Vsftpd << TTls::Required << TKind::ForOtherHost << E::ExplicitRequired
        << TTrust::Nothing << "Certificate";
    QTest::newRow("any certificate taken")
        << TDaemon::Vsftpd << TTls::Required << self << E::ExplicitRequired << TTrust::Anything
        << "encrypted";
    // pure-ftpd answers a plain USER with 421 and hangs up, pyftpdlib with 550.
    for (const TDaemon daemon : {TDaemon::PureFtpd, TDaemon::Pyftpdlib}) {
        const char* name = daemon == TDaemon::PureFtpd ? "pure-ftpd" : "pyftpdlib";
        QTest::addRow("%s, required", name) << daemon << TTls::Required << ca << E::ExplicitRequired
                                            << TTrust::Nothing << "encrypted";
        QTest::addRow("%s, offered, if offered", name)
            << daemon << TTls::Offered << ca << E::ExplicitIfOffered << TTrust::Nothing
            << "encrypted";
        QTest::addRow("%s requires, client plain", name)
            << daemon << TTls::Required << ca << E::None << TTrust::Nothing
            << "Log error The server requires an encrypted connection";
    }
}

void TestFtps::logIn() {
    QFETCH(TDaemon, daemon);
    QFETCH(TTls, server);
    QFETCH(TKind, certificate);
    QFETCH(TEncryption, encryption);
    QFETCH(TTrust, trust);
    QFETCH(QString, outcome);
    const QString certificateFile = m_certificates.certificate(certificate);
    const QString keyFile = m_certificates.key(certificate);
    std::unique_ptr<TLoopbackServerProcess> peer;
    QByteArray user = "anonymous", password = "secret@example.org";
    if (daemon == TDaemon::Vsftpd) {
        auto vsftpd = std::make_unique<TVsftpdServer>();
        vsftpd->setWritable(true);
        vsftpd->setTls(server, certificateFile, keyFile);
        peer = std::move(vsftpd);
    } else if (daemon == TDaemon::PureFtpd) {
        auto pureFtpd = std::make_unique<TPureFtpdServer>();
        pureFtpd->setTls(server, certificateFile, keyFile);
        user = TPureFtpdServer::User;
        password = TPureFtpdServer::Password;
        peer = std::move(pureFtpd);
    } else {
        auto pyftpdlib = std::make_unique<TPyftpdlibServer>();
        pyftpdlib->setWritable(true);
        pyftpdlib->setTls(server, certificateFile, keyFile);
        peer = std::move(pyftpdlib);
    }
    const QByteArray data = Pattern(300000, 21);
    QVERIFY(WriteFile(peer->rootPath() + QStringLiteral("/data.bin"), data));
    QVERIFY2(peer->start(), qPrintable(peer->errorText()));

    TFTPComponent session;
    session.Host = QStringLiteral("127.0.0.1");
    session.Port = peer->port();
    session.User = user;
    session.Password = password;
    session.Security.Encryption = encryption;
    session.SetPassive(true);
    if (trust == TTrust::OwnFingerprint)
        session.Security.TrustedFingerprints = {m_certificates.fingerprint(certificate)};
    if (trust == TTrust::OtherFingerprint)
        session.Security.TrustedFingerprints = {m_certificates.fingerprint(TKind::ForLoopback)};
    session.Security.AcceptAnyCertificate = trust == TTrust::Anything;
    TSessionRecorder rec(session);
    session.Login();
    WAIT_EVENT(rec, "Completed Login");

    if (!outcome.startsWith(QLatin1String("encrypted")) && outcome != QLatin1String("plain")) {
        EXPECT_EVENT(rec, "Completed Login 0");
        EXPECT_EVENT(rec, outcome);
        // Refusals that another attempt would not change are not retried.
        QCOMPARE(rec.Count(QStringLiteral("Log info Attempting to connect")), 1);
        if (server != TTls::Required || encryption != TEncryption::None)
            QCOMPARE(rec.Find(QStringLiteral("Log command USER")), -1);
        if (outcome == QLatin1String("Certificate")) {
            const QByteArray seen = m_certificates.fingerprint(certificate);
            EXPECT_EVENT(rec, QStringLiteral("Certificate %1 %2")
                                  .arg(QString::fromLatin1(seen),
                                       trust == TTrust::OtherFingerprint ? "changed" : "new"));
        }
        return;
    }
    EXPECT_EVENT(rec, "Completed Login 1 0");
    const bool encrypted = outcome == QLatin1String("encrypted");
    const int established = rec.Find(QStringLiteral("Log info TLS connection established"));
    QCOMPARE(established >= 0, encrypted);
    // Nothing of the log-in goes out before the handshake.
    if (encrypted) QVERIFY(rec.Find(QStringLiteral("Log command USER")) > established);
    const int passwordSent = rec.Find(QStringLiteral("Log command PASS"));
    if (encrypted) QVERIFY(passwordSent < 0 || passwordSent > established);
    if (encrypted) EXPECT_EVENT(rec, "Log command PROT P");

    // Files cross exactly both ways over the data connections PROT P encrypts.
    QTemporaryDir local;
    const QString fetched = local.filePath(QStringLiteral("data.bin"));
    session.List("/", "");
    session.Download("/", "data.bin", fetched, 2);
    session.Upload(fetched, "/", "copy.bin", 2, 0);
    WAIT_EVENT(rec, "Completed Upload");
    EXPECT_EVENT(rec, "Completed List 1 0");
    QVERIFY(rec.Entry("data.bin") && rec.Entry("data.bin")->Item.Size == data.size());
    EXPECT_EVENT(rec, "Completed Download 1 0");
    EXPECT_EVENT(rec, "Completed Upload 1 0");
    QCOMPARE(ReadFile(fetched), data);
    QCOMPARE(ReadFile(peer->rootPath() + QStringLiteral("/copy.bin")), data);
    session.Disconnect();
    WAIT_EVENT(rec, "Disconnect");
}

void TestFtps::stalledHandshake_data() {
    QTest::addColumn<bool>("abort");
    QTest::newRow("aborted") << true;
    QTest::newRow("timed out") << false;
}

void TestFtps::stalledHandshake() {
    QFETCH(bool, abort);
    // A server that accepts AUTH TLS and then says nothing.
    TScriptedFtpServer server;
    server.setScript([](TScriptedConnection& c) {
        c.sendLine("220 ready");
        c.expect("AUTH TLS");
        c.sendLine("234 go ahead");
        c.waitForPeerClose(8000);
    });
    const uint32_t timeOut = EngineSettings().TimeOut;
    EngineSettings().TimeOut = abort ? 20000 : 1500;
    EngineSettings().RetryCount = 1;
    TFTPComponent session;
    session.Host = QStringLiteral("127.0.0.1");
    session.Port = server.port();
    session.User = "ann";
    session.Password = "secret";
    session.Security.Encryption = TEncryption::ExplicitRequired;
    TSessionRecorder rec(session);
    QElapsedTimer clock;
    clock.start();
    session.Login();
    if (abort) {
        QTest::qWait(300);
        session.Abort();
    }
    WAIT_EVENT(rec, "Completed Login 0");
    QVERIFY2(clock.elapsed() < 6000, qPrintable(rec.Dump()));
    QVERIFY(!server.transcript().contains("USER ann"));
    EngineSettings().TimeOut = timeOut;
    EngineSettings().RetryCount = 3;
}

void TestFtps::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QStringList get = {"get", "URL/data.bin", "OUT/data.bin"};
    QTest::newRow("untrusted") << QStringList{"--tls"} + get << 1
                               << "to trust it: --trust-fingerprint FP";
    QTest::newRow("its fingerprint, lower case without colons")
        << QStringList{"--tls", "--trust-fingerprint", "fp"} + get << 0 << "";
    // mget runs its files through the transfer queue's own sessions.
    QTest::newRow("any certificate, queued")
        << QStringList{"--tls", "--insecure", "mget", "URL/data.bin", "URL/two.bin", "OUT"} << 0
        << "";
    QTest::newRow("ftps:// is implicit")
        << QStringList{"--insecure", "get", "FTPS/data.bin", "OUT/data.bin"} << 0 << "";
    QTest::newRow("not a fingerprint") << QStringList{"--tls", "--trust-fingerprint", "12:34"} + get
                                       << 2 << "--trust-fingerprint needs a SHA-256 fingerprint";
}

void TestFtps::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const TKind self = TKind::SelfSigned;
    TVsftpdServer peer;
    const bool implicit = arguments.contains(QStringLiteral("FTPS/data.bin"));
    peer.setTls(implicit ? TTls::Implicit : TTls::Required, m_certificates.certificate(self),
                m_certificates.key(self));
    const QByteArray data = Pattern(200000, 3);
    QVERIFY(WriteFile(peer.rootPath() + QStringLiteral("/data.bin"), data));
    QVERIFY(WriteFile(peer.rootPath() + QStringLiteral("/two.bin"), "two"));
    QVERIFY2(peer.start(), qPrintable(peer.errorText()));
    QTemporaryDir out;
    const QByteArray fingerprint = m_certificates.fingerprint(self);
    for (QString& a : arguments) {
        // The server runs without chroot: its files are under their full path.
        a.replace(QLatin1String("FTPS"),
                  QStringLiteral("ftps://127.0.0.1:%1%2").arg(peer.port()).arg(peer.rootPath()));
        a.replace(QLatin1String("URL"),
                  QStringLiteral("ftp://127.0.0.1:%1%2").arg(peer.port()).arg(peer.rootPath()));
        a.replace(QLatin1String("OUT"), out.path());
        if (a == QLatin1String("fp")) a = QString::fromLatin1(fingerprint).remove(':').toLower();
    }
    message.replace(QLatin1String("FP"), QString::fromLatin1(fingerprint));
    const TProgramRun run =
        RunProgram(QStringLiteral(TOLVAR_FTP_PROGRAM), QStringList{"--retries", "1"} + arguments);
    QVERIFY2(run.ExitCode == exitCode, run.Err.constData());
    QVERIFY2(run.Err.contains(message.toUtf8()), run.Err.constData());
    if (exitCode == 0) QCOMPARE(ReadFile(out.filePath(QStringLiteral("data.bin"))), data);
    if (exitCode != 0) QVERIFY(!QFile::exists(out.filePath(QStringLiteral("data.bin"))));
}

QTEST_GUILESS_MAIN(TestFtps)
#include "tst_ftps.moc"
