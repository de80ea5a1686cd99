// A session against pure-ftpd, a daemon of another family than vsftpd and pyftpdlib, on
// loopback with a user and password: detection, listing, transfers and their resumes
// (also past 32-bit offsets), folder and file commands and SITE CHMOD, passive and active.
#include "TestFiles.h"
#include "PureFtpdServer.h"
#include "SessionRecorder.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {

constexpr qint64 ThreeGiB = 3LL << 30;

} // namespace

class TestSessionPureFtpd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void sessionEndToEnd_data();
    void sessionEndToEnd();
    void resumeBeyondThreeGiB();

private:
    TFTPComponent* LogIn(quint16 port, bool passive);
    QObject Owner;
    std::unique_ptr<TFTPComponent> Session;
};

void TestSessionPureFtpd::initTestCase() {
    EngineSettings().TimeOut = 20000;
    EngineSettings().RetryCount = 1;
    EngineSettings().RetryDelay = 0;
    EngineSettings().KeepAlive = false;
}

void TestSessionPureFtpd::cleanup() {
    Session.reset();
    QVERIFY(TFTPComponent::WaitForWorkers(15000));
}

TFTPComponent* TestSessionPureFtpd::LogIn(quint16 port, bool passive) {
    // With an owner, as a host view has: detection and the resume probe run.
    Session = std::make_unique<TFTPComponent>(&Owner);
    Session->Host = QStringLiteral("127.0.0.1");
    Session->Port = port;
    Session->User = TPureFtpdServer::User;
    Session->Password = TPureFtpdServer::Password;
    Session->SetServerType(0);
    Session->SetPassive(passive);
    Session->Login();
    return Session.get();
}

void TestSessionPureFtpd::sessionEndToEnd_data() {
    QTest::addColumn<bool>("passive");
    QTest::newRow("passive") << true;
    QTest::newRow("active") << false;
}

void TestSessionPureFtpd::sessionEndToEnd() {
    QFETCH(bool, passive);
    TPureFtpdServer peer;
    const QString root = peer.rootPath();
    const QByteArray remote = Pattern(150000, 1);
    const QByteArray local = Pattern(260000, 2);
    QVERIFY(QDir(root).mkdir(QStringLiteral("old folder")));
    QVERIFY(WriteFile(root + QStringLiteral("/data file.bin"), remote));
    QVERIFY(WriteFile(root + QStringLiteral("/partial up.bin"), local.left(90000)));
    QVERIFY(WriteFile(root + QStringLiteral("/old name.txt"), "rename me"));
    QVERIFY(WriteFile(root + QStringLiteral("/doomed.txt"), "delete me"));
    for (const QString& name : QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        QVERIFY(peer.adopt(root + QLatin1Char('/') + name));
    QVERIFY2(peer.start(), qPrintable(peer.errorText()));
    QTemporaryDir dir;
    const QString upload = dir.filePath(QStringLiteral("up load.bin"));
    QVERIFY(WriteFile(upload, local));

    TFTPComponent* s = LogIn(peer.port(), passive);
    TSessionRecorder rec(*s);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Login")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed Login 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log reply 220")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log command USER tester")) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log command PASS xxxxx")) >= 0);
    QCOMPARE(rec.Count(QStringLiteral("Log command PASS secret")), 0);
    QVERIFY(rec.Find(QStringLiteral("Log reply 230")) >= 0);
    // "215 UNIX Type: L8" through the lower-case rows of the detection table.
    QCOMPARE(s->ServerType(), uint8_t(11));
    // pure-ftpd accepts REST whatever the transfer type.
    QVERIFY(s->ResumeSupported());
    QVERIFY(rec.Find(QStringLiteral("Log info \r\nServer can resume broken downloads")) >= 0);

    s->List("/", "");
    const QString down = dir.filePath(QStringLiteral("down/data file.bin"));
    s->Download("", "data file.bin", down, 2);
    s->Upload(upload, "", "uploaded file.bin", 2, 0);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Upload")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed List 1 0")) >= 0, qPrintable(rec.Dump()));
    const TRemoteListEntry* file = rec.Entry("data file.bin");
    QVERIFY2(file, qPrintable(rec.Dump()));
    QCOMPARE(file->Item.Size, int64_t(150000));
    QVERIFY(!(file->Item.Attributes & raFolder));
    const TRemoteListEntry* folder = rec.Entry("old folder");
    QVERIFY(folder && (folder->Item.Attributes & raFolder));
    QVERIFY2(rec.Find(QStringLiteral("Completed Download 1 0")) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(ReadFile(down), remote);
    QVERIFY2(rec.Find(QStringLiteral("Completed Upload 1 0")) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(ReadFile(root + QStringLiteral("/uploaded file.bin")), local);
    QCOMPARE(s->Passive(), passive);
    QVERIFY(rec.Find(passive ? QStringLiteral("Log command PASV")
                             : QStringLiteral("Log command PORT 127,0,0,1,")) >= 0);

    // A download broken after 40,000 bytes and a remote file holding 90,000 of the upload.
    QVERIFY(WriteFile(down, remote.left(40000)));
    s->ResumeDownload("", "data file.bin", down, 2, 0, 40000);
    s->ResumeUpload(upload, "", "partial up.bin", 2, 90000);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed ResumeUpload")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeDownload 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log command REST 40000")) >= 0);
    QCOMPARE(ReadFile(down), remote);
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeUpload 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log command REST 90000")) >= 0);
    QCOMPARE(ReadFile(root + QStringLiteral("/partial up.bin")), local);
    QCOMPARE(rec.Count(QStringLiteral("Log info Unable to complete transfer")), 0);

    // Owner read+write, group read, others nothing: 640.
    s->ChangeAttributes("uploaded file.bin", 4 | 8 | 32);
    s->Rename("old name.txt", "new name.txt");
    s->Delete("doomed.txt");
    s->CreateFolder("new folder");
    s->RemoveFolder("old folder");
    s->NoOp();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed NoOp")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed ChangeAttributes 1 0")) >= 0,
             qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log command SITE CHMOD 640 uploaded file.bin")) >= 0);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(root + QStringLiteral("/uploaded file.bin")), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0640u);
    QVERIFY(rec.Find(QStringLiteral("Completed Rename 1 0")) >= 0);
    QCOMPARE(ReadFile(root + QStringLiteral("/new name.txt")), QByteArray("rename me"));
    QVERIFY(!QFile::exists(root + QStringLiteral("/old name.txt")));
    QVERIFY(rec.Find(QStringLiteral("Completed Delete 1 0")) >= 0);
    QVERIFY(!QFile::exists(root + QStringLiteral("/doomed.txt")));
    QVERIFY(rec.Find(QStringLiteral("Completed CreateFolder 1 0")) >= 0);
    QVERIFY(QFileInfo(root + QStringLiteral("/new folder")).isDir());
    QVERIFY(rec.Find(QStringLiteral("Completed RemoveFolder 1 0")) >= 0);
    QVERIFY(!QFile::exists(root + QStringLiteral("/old folder")));

    s->Disconnect();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Logout")), qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Completed Logout 1 0")) >= 0);
    QVERIFY(!s->LoggedIn());
}

void TestSessionPureFtpd::resumeBeyondThreeGiB() {
    TPureFtpdServer peer;
    const QByteArray tail = Pattern(1000, 5);
    const qint64 size = ThreeGiB + tail.size();
    const QString remoteDown = peer.rootPath() + QStringLiteral("/huge.bin");
    const QString remoteUp = peer.rootPath() + QStringLiteral("/huge up.bin");
    // Sparse files: only the last 1000 bytes travel.
    if (!WriteSparse(remoteDown, size, tail)) QSKIP("no room for a sparse file of 3 GiB here");
    QVERIFY(WriteSparse(remoteUp, ThreeGiB, QByteArray(1, '\0')));
    QVERIFY(peer.adopt(remoteDown) && peer.adopt(remoteUp));
    QVERIFY2(peer.start(), qPrintable(peer.errorText()));
    QTemporaryDir dir;
    const QString down = dir.filePath(QStringLiteral("huge.bin"));
    const QString up = dir.filePath(QStringLiteral("huge up.bin"));
    QVERIFY(WriteSparse(down, ThreeGiB, QByteArray(1, '\0')));
    QVERIFY(WriteSparse(up, size, tail));

    TFTPComponent* s = LogIn(peer.port(), true);
    TSessionRecorder rec(*s);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Login 1 0")), qPrintable(rec.Dump()));
    s->ResumeDownload("", "huge.bin", down, 2, 0, ThreeGiB);
    s->ResumeUpload(up, "", "huge up.bin", 2, ThreeGiB);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed ResumeUpload")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeDownload 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Size %1").arg(size)) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log command REST %1").arg(ThreeGiB)) >= 0);
    QCOMPARE(QFileInfo(down).size(), size);
    QCOMPARE(ReadTail(down, tail.size()), tail);
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeUpload 1 0")) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(QFileInfo(remoteUp).size(), size);
    QCOMPARE(ReadTail(remoteUp, tail.size()), tail);
}

QTEST_GUILESS_MAIN(TestSessionPureFtpd)
#include "tst_session_pureftpd.moc"
