// A session against pure-ftpd, a daemon of another family than vsftpd and pyftpdlib, on
// loopback with a user and password: the log-in, detection, SITE CHMOD and the file and folder
// commands as a real server answers them. Transfers and their resumes are the transfer-server
// suite's.
#include "PureFtpdServer.h"
#include "SessionRecorder.h"
#include "TestFiles.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

class TestSessionPureFtpd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase() { QVERIFY(TFTPComponent::WaitForWorkers(15000)); }
    void logInAndChangeFiles();
};

void TestSessionPureFtpd::logInAndChangeFiles() {
    EngineSettings().TimeOut = 20000;
    EngineSettings().RetryCount = 1;
    EngineSettings().KeepAlive = false;
    TPureFtpdServer peer;
    const QString root = peer.rootPath();
    QVERIFY(QDir(root).mkdir(QStringLiteral("old folder")));
    QVERIFY(WriteFile(root + QStringLiteral("/mode.bin"), "chmod me"));
    QVERIFY(WriteFile(root + QStringLiteral("/old name.txt"), "rename me"));
    QVERIFY(WriteFile(root + QStringLiteral("/doomed.txt"), "delete me"));
    for (const QString& name : QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        QVERIFY(peer.adopt(root + QLatin1Char('/') + name));
    QVERIFY2(peer.start(), qPrintable(peer.errorText()));

    // With an owner, as a host view has: detection and the resume probe run.
    QObject owner;
    auto* s = new TFTPComponent(&owner);
    s->Host = QStringLiteral("127.0.0.1");
    s->Port = peer.port();
    s->User = TPureFtpdServer::User;
    s->Password = TPureFtpdServer::Password;
    TSessionRecorder rec(*s);
    s->Login();
    WAIT_EVENT(rec, "Completed Login 1 0");
    // "215 UNIX Type: L8" through the lower-case rows of the detection table.
    QCOMPARE(s->ServerType(), uint8_t(11));
    // pure-ftpd accepts REST whatever the transfer type.
    QVERIFY(s->ResumeSupported());

    // Owner read+write, group read, others nothing: 640.
    s->ChangeAttributes("mode.bin", 4 | 8 | 32);
    s->Rename("old name.txt", "new name.txt");
    s->Delete("doomed.txt");
    s->CreateFolder("new folder");
    s->RemoveFolder("old folder");
    s->NoOp();
    WAIT_EVENT(rec, "Completed NoOp");
    s->Disconnect();
    WAIT_EVENT(rec, "Completed Logout 1 0");
    EXPECT_EVENT(rec, "Log command SITE CHMOD 640 mode.bin");
    for (const char* command :
         {"ChangeAttributes", "Rename", "Delete", "CreateFolder", "RemoveFolder"})
        EXPECT_EVENT(rec, QStringLiteral("Completed %1 1 0").arg(QLatin1String(command)));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(root + QStringLiteral("/mode.bin")), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0640u);
    QCOMPARE(ReadFile(root + QStringLiteral("/new name.txt")), QByteArray("rename me"));
    QVERIFY(!QFile::exists(root + QStringLiteral("/old name.txt")));
    QVERIFY(!QFile::exists(root + QStringLiteral("/doomed.txt")));
    QVERIFY(QFileInfo(root + QStringLiteral("/new folder")).isDir());
    QVERIFY(!QFile::exists(root + QStringLiteral("/old folder")));
    QVERIFY(!s->LoggedIn());
}

QTEST_GUILESS_MAIN(TestSessionPureFtpd)
#include "tst_session_pureftpd.moc"
