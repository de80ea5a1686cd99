// Listings and transfers against real servers on loopback (vsftpd and pyftpdlib), in
// passive and active mode: names with blanks, resumed downloads and uploads, and
// offsets beyond 4 GiB on sparse files.
#include "TestFiles.h"
#include "PyftpdlibServer.h"
#include "SessionRecorder.h"
#include "VsftpdServer.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

std::unique_ptr<TLoopbackServerProcess> NewServer(const QString& kind) {
    if (kind == QLatin1String("vsftpd")) {
        auto server = std::make_unique<TVsftpdServer>();
        server->setWritable(true);
        return server;
    }
    auto server = std::make_unique<TPyftpdlibServer>();
    server->setWritable(true);
    return server;
}

constexpr qint64 FiveGiB = 5LL << 30;

} // namespace

class TestTransferServers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void listDownloadUploadAndResume_data();
    void listDownloadUploadAndResume();
    void offsetsBeyondFourGiB_data();
    void offsetsBeyondFourGiB();

private:
    TFTPComponent* LogIn(quint16 port, bool passive);
    QObject Owner;
    std::unique_ptr<TFTPComponent> Session;
};

void TestTransferServers::initTestCase() {
    EngineSettings().TimeOut = 20000;
    EngineSettings().RetryCount = 1;
    EngineSettings().KeepAlive = false;
}

void TestTransferServers::cleanup() {
    Session.reset();
    QVERIFY(TFTPComponent::WaitForWorkers(15000));
}

TFTPComponent* TestTransferServers::LogIn(quint16 port, bool passive) {
    // With an owner, as a host view has: the resume probe runs and QUIT is sent.
    Session = std::make_unique<TFTPComponent>(&Owner);
    Session->Host = QStringLiteral("127.0.0.1");
    Session->Port = port;
    Session->User = "anonymous";
    Session->Password = "tester@example.org";
    Session->SetPassive(passive);
    Session->Login();
    return Session.get();
}

void TestTransferServers::listDownloadUploadAndResume_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("passive");
    QTest::newRow("vsftpd passive") << QStringLiteral("vsftpd") << true;
    QTest::newRow("vsftpd active") << QStringLiteral("vsftpd") << false;
    QTest::newRow("pyftpdlib passive") << QStringLiteral("pyftpdlib") << true;
    QTest::newRow("pyftpdlib active") << QStringLiteral("pyftpdlib") << false;
}

void TestTransferServers::listDownloadUploadAndResume() {
    QFETCH(QString, server);
    QFETCH(bool, passive);
    auto peer = NewServer(server);
    const QString pub = peer->rootPath() + QStringLiteral("/pub");
    QVERIFY(QDir().mkpath(pub + QStringLiteral("/sub dir")));
    const QByteArray remote = Pattern(200000, 1);
    const QByteArray local = Pattern(300000, 2);
    QVERIFY(WriteFile(pub + QStringLiteral("/name with blanks.txt"), remote));
    QVERIFY(WriteFile(pub + QStringLiteral("/partial up.bin"), local.left(70000)));
    QVERIFY2(peer->start(), qPrintable(peer->errorText()));
    QTemporaryDir dir;
    const QString upload = dir.filePath(QStringLiteral("up load.bin"));
    QVERIFY(WriteFile(upload, local));

    TFTPComponent* s = LogIn(peer->port(), passive);
    TSessionRecorder rec(*s);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Login")), qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("LoggedIn")) >= 0);
    QCOMPARE(s->ServerType(), uint8_t(11));
    // pyftpdlib refuses REST in ASCII mode, the type a session starts in, so its probe
    // says no; resumes are still tried, as the transfer queue's sessions do.
    QCOMPARE(s->ResumeSupported(), server == QLatin1String("vsftpd"));
    s->SetResumeSupported(true);

    // Relative paths: the test vsftpd runs without a chroot, so "/" is the real root.
    s->SetCurrentFolder("pub");
    s->List("pub/", "");
    const QString down = dir.filePath(QStringLiteral("down/name with blanks.txt"));
    s->Download("", "name with blanks.txt", down, 2);
    s->Upload(upload, "", "uploaded file.bin", 2, 0);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Upload")), qPrintable(rec.Dump()));
    QCOMPARE(s->Passive(), passive);

    QVERIFY2(rec.Find(QStringLiteral("Completed List 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("List pub/")) >= 0);
    const TRemoteListEntry* file = rec.Entry("name with blanks.txt");
    QVERIFY2(file, qPrintable(rec.Dump()));
    QCOMPARE(file->Item.Size, int64_t(200000));
    QVERIFY(!(file->Item.Attributes & raFolder));
    const TRemoteListEntry* folder = rec.Entry("sub dir");
    QVERIFY(folder && (folder->Item.Attributes & raFolder));
    // Listing progress is not file progress.
    QVERIFY(rec.Progress.first().startsWith(QStringLiteral("0 0 ")));

    QVERIFY2(rec.Find(QStringLiteral("Completed Download 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Size 200000")) >= 0);
    QCOMPARE(ReadFile(down), remote);
    QVERIFY2(rec.Find(QStringLiteral("Completed Upload 1 0")) >= 0, qPrintable(rec.Dump()));
    QCOMPARE(ReadFile(pub + QStringLiteral("/uploaded file.bin")), local);

    // A download broken after 50,000 bytes and a remote file holding 70,000 of the upload.
    QVERIFY(WriteFile(down, remote.left(50000)));
    s->ResumeDownload("", "name with blanks.txt", down, 2, 0, 50000);
    s->ResumeUpload(upload, "", "partial up.bin", 2, 70000);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed ResumeUpload")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeDownload 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log command REST 50000")) >= 0);
    QCOMPARE(ReadFile(down), remote);
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeUpload 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Log command REST 70000")) >= 0);
    QCOMPARE(ReadFile(pub + QStringLiteral("/partial up.bin")), local);
    QCOMPARE(rec.Count(QStringLiteral("Log info Unable to complete transfer")), 0);

    s->Disconnect();
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Logout")), qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Completed Logout 1 0")) >= 0);
}

void TestTransferServers::offsetsBeyondFourGiB_data() {
    QTest::addColumn<QString>("server");
    QTest::newRow("vsftpd") << QStringLiteral("vsftpd");
    QTest::newRow("pyftpdlib") << QStringLiteral("pyftpdlib");
}

void TestTransferServers::offsetsBeyondFourGiB() {
    QFETCH(QString, server);
    auto peer = NewServer(server);
    const QByteArray tail = Pattern(1000, 5);
    const qint64 size = FiveGiB + tail.size();
    // Sparse files: only the last 1000 bytes travel.
    if (!WriteSparse(peer->rootPath() + QStringLiteral("/huge.bin"), size, tail))
        QSKIP("no room for a sparse file of 5 GiB here");
    QVERIFY(WriteSparse(peer->rootPath() + QStringLiteral("/huge up.bin"), FiveGiB,
                        QByteArray(1, '\0')));
    QVERIFY2(peer->start(), qPrintable(peer->errorText()));
    QTemporaryDir dir;
    const QString down = dir.filePath(QStringLiteral("huge.bin"));
    const QString up = dir.filePath(QStringLiteral("huge up.bin"));
    QVERIFY(WriteSparse(down, FiveGiB, QByteArray(1, '\0')));
    QVERIFY(WriteSparse(up, size, tail));

    TFTPComponent* s = LogIn(peer->port(), true);
    TSessionRecorder rec(*s);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed Login")), qPrintable(rec.Dump()));
    s->SetResumeSupported(true);
    s->ResumeDownload("", "huge.bin", down, 2, 0, FiveGiB);
    s->ResumeUpload(up, "", "huge up.bin", 2, FiveGiB);
    QVERIFY2(rec.WaitFor(QStringLiteral("Completed ResumeUpload")), qPrintable(rec.Dump()));
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeDownload 1 0")) >= 0, qPrintable(rec.Dump()));
    QVERIFY(rec.Find(QStringLiteral("Size %1").arg(size)) >= 0);
    QVERIFY(rec.Find(QStringLiteral("Log command REST %1").arg(FiveGiB)) >= 0);
    QCOMPARE(QFileInfo(down).size(), size);
    QCOMPARE(ReadTail(down, tail.size()), tail);
    QVERIFY2(rec.Find(QStringLiteral("Completed ResumeUpload 1 0")) >= 0, qPrintable(rec.Dump()));
    const QString remoteUp = peer->rootPath() + QStringLiteral("/huge up.bin");
    QCOMPARE(QFileInfo(remoteUp).size(), size);
    QCOMPARE(ReadTail(remoteUp, tail.size()), tail);
}

QTEST_GUILESS_MAIN(TestTransferServers)
#include "tst_transfer_servers.moc"
