// A session against Debian's vsftpd on loopback: greeting, detection, resume probe,
// folder commands and log-out as a real server answers them.
#include "SessionRecorder.h"
#include "VsftpdServer.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestSessionVsftpd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void logInBrowseAndLogOut();

private:
    TVsftpdServer Server;
};

void TestSessionVsftpd::initTestCase() {
    EngineSettings().TimeOut = 10000;
    EngineSettings().RetryCount = 1;
    EngineSettings().KeepAlive = false;
    QFile banner(Server.workPath() + QStringLiteral("/banner.txt"));
    QVERIFY(banner.open(QIODevice::WriteOnly));
    banner.write("Welcome to the test archive\nUploads go to /incoming\n");
    banner.close();
    Server.setWritable(true);
    Server.setExtraConfig("banner_file=" + QFile::encodeName(banner.fileName()) + "\n");
    QDir(Server.rootPath()).mkdir(QStringLiteral("pub"));
    QFile old(Server.rootPath() + QStringLiteral("/pub/old name.txt"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("hello");
    old.close();
    QVERIFY2(Server.start(), qPrintable(Server.errorText()));
}

void TestSessionVsftpd::cleanupTestCase() {
    Server.stop();
    QVERIFY(TFTPComponent::WaitForWorkers(10000));
}

void TestSessionVsftpd::logInBrowseAndLogOut() {
    QObject owner;
    auto* session = new TFTPComponent(&owner);
    session->Host = QStringLiteral("127.0.0.1");
    session->Port = Server.port();
    session->User = "anonymous";
    session->Password = "tester@example.org";
    TSessionRecorder rec(*session);
    session->Login();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Login")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed Login 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(session->LoggedIn());
    QVERIFY(session->Connected());

    // The multi-line greeting arrives line by line, then the session is connected.
    const int first = rec.Find(QStringLiteral("Log reply 220-Welcome to the test archive"));
    QVERIFY2(first >= 0, qPrintable(rec.Dump()));
    QCOMPARE(rec.Events[first + 1], QStringLiteral("Log reply 220-Uploads go to /incoming"));
    QVERIFY(rec.Events[first + 2].startsWith(QStringLiteral("Log reply 220 ")));
    QCOMPARE(rec.Events[first + 3], QStringLiteral("Connect"));
    QCOMPARE(session->ServerType(), uint8_t(11));
    QVERIFY(session->ResumeSupported());
    QVERIFY(rec.Find(QStringLiteral("Log info \r\nServer can resume broken downloads")) >= 0);
    // The probe runs quietly.
    QCOMPARE(rec.Count(QStringLiteral("Log command REST")), 0);

    // Run as the launching user, vsftpd starts in its root folder without a chroot.
    const QByteArray root = QFile::encodeName(Server.rootPath());
    session->GetCurrentFolder();
    session->SetCurrentFolder(root + "/pub");
    session->SetCurrentFolder(root + "/missing");
    session->CreateFolder("new folder");
    session->Rename("old name.txt", "new name.txt");
    session->Delete("new name.txt");
    session->RemoveFolder("new folder");
    session->NoOp();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed NoOp")), qPrintable(rec.Dump()));
    const QString rootText = Server.rootPath();
    QVERIFY2(rec.Find(QStringLiteral("Folder %1 0 1").arg(rootText)) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Folder %1/pub 1 1").arg(rootText)) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Folder %1/missing 1 0").arg(rootText)) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log error 550 ")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Folder new folder 2 1")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Renamed old name.txt new name.txt")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Deleted new name.txt")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Folder new folder 3 1")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Completed NoOp 1 0")) >= 0);
    QVERIFY(!QFile::exists(Server.rootPath() + QStringLiteral("/pub/old name.txt")));
    QVERIFY(!QFile::exists(Server.rootPath() + QStringLiteral("/pub/new name.txt")));

    session->Disconnect();
    QVERIFY(rec.WaitFor(QStringLiteral("Completed Logout")));
    QVERIFY(rec.Find(QStringLiteral("Log command QUIT")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log reply 221")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Completed Logout 1 0")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Disconnect")) >= 0);
    QVERIFY(!session->LoggedIn());
    QVERIFY(!session->Connected());
}

QTEST_GUILESS_MAIN(TestSessionVsftpd)
#include "tst_session_vsftpd.moc"
