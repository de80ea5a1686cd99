// Listings and transfers against real servers on loopback (vsftpd converting text, and
// pyftpdlib, which lists with MLSD), in passive and active mode: a folder with sub-folders,
// a link, names with blanks, UTF-8 and ";" and sparse files past 4 GiB must list as they are;
// downloads, uploads and their resumes, also at offsets beyond 4 GiB; text and binary files with
// the default transfer types; a refused download.
#include "PyftpdlibServer.h"
#include "SessionRecorder.h"
#include "TestFiles.h"
#include "VsftpdServer.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "listing/ListingParser.h"
#include "settings/Settings.h"
#include "transfer/TransferType.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr qint64 FiveGiB = 5LL << 30;

// Sets the modification time of a file, folder or link (the link itself).
bool SetTime(const QString& path, const QDateTime& when) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = when.toSecsSinceEpoch();
    times[0].tv_nsec = times[1].tv_nsec = 0;
    const QByteArray name = QFile::encodeName(path);
    return ::utimensat(AT_FDCWD, name.constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// Machine listings give the exact time in UTC, which the listing shows in local time;
// LIST gives the server's clock (UTC here), and only the day for old entries.
QString DateText(const QDateTime& when, bool exact, bool withTime) {
    return (exact ? when.toLocalTime() : when.toUTC())
        .toString(withTime ? QStringLiteral("yyyy-MM-dd HH:mm")
                           : QStringLiteral("yyyy-MM-dd 00:00"));
}

QString EntryText(const QByteArray& name, int64_t size, uint16_t kind, const QString& date) {
    const char* kindText = kind == raFolder ? "folder" : kind == raLink ? "link" : "file";
    return QStringLiteral("%1 | %2 | %3 | %4")
        .arg(QString::fromUtf8(name))
        .arg(size)
        .arg(QLatin1String(kindText), date);
}

QStringList ListingText(const TRemoteItemList& listing) {
    QStringList lines;
    for (const TRemoteListEntry& entry : listing)
        lines += EntryText(entry.Name, entry.Item.Size,
                           uint16_t(entry.Item.Attributes & (raFolder | raLink)),
                           QString::fromLatin1(DayNumberText(entry.Item.Date)));
    lines.sort();
    return lines;
}

// Fills the root around its folder "pub" and returns what its listing must give, sorted.
// Recent entries show a time, old ones a year unless the listing is a machine listing.
// Such listings name a link by itself and follow it to the folder.
QStringList FillRoot(const QString& root, bool facts) {
    const QDateTime recent = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const QDateTime recentMinute = recent.addSecs(-recent.time().second());
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5), Qt::UTC);
    QDir dir(root);
    dir.mkdir(QStringLiteral("with blank"));
    WriteFile(dir.filePath(QStringLiteral("plain.txt")), "twelve bytes");
    WriteFile(dir.filePath(QStringLiteral("two  blanks.txt")), "x");
    WriteFile(dir.filePath(QStringLiteral("trailing ")), "xy");
    WriteFile(dir.filePath(QStringLiteral("old.txt")), "old");
    WriteFile(dir.filePath(QStringLiteral("Grüße.txt")), "utf");
    WriteFile(dir.filePath(QStringLiteral("日本.txt")), "utf-8");
    WriteFile(dir.filePath(QStringLiteral("semi;colon; x.txt")), "semi");
    // Shown only when asked for, as LIST without -a hides it.
    WriteFile(dir.filePath(QStringLiteral(".hidden")), "dot");
    WriteSparse(dir.filePath(QStringLiteral("big file.iso")), FiveGiB, {});
    QFile::link(QStringLiteral("pub"), dir.filePath(QStringLiteral("link")));
    const QString recentText = DateText(recentMinute, facts, true);
    QStringList expected{EntryText("pub", 0, raFolder, recentText),
                         EntryText("with blank", 0, raFolder, recentText),
                         EntryText("plain.txt", 12, 0, recentText),
                         EntryText("two  blanks.txt", 1, 0, recentText),
                         EntryText("trailing ", 2, 0, recentText),
                         EntryText("old.txt", 3, 0, DateText(old, facts, facts)),
                         EntryText("Grüße.txt", 3, 0, recentText),
                         EntryText("日本.txt", 5, 0, recentText),
                         EntryText("semi;colon; x.txt", 4, 0, recentText),
                         EntryText("big file.iso", FiveGiB, 0, recentText),
                         facts ? EntryText("link", 0, raFolder, recentText)
                               : EntryText("link -> pub", 3, raLink, recentText)};
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
        SetTime(dir.filePath(name), name == QLatin1String("old.txt") ? old : recentMinute);
    expected.sort();
    return expected;
}

std::unique_ptr<TLoopbackServerProcess> NewServer(const QString& kind) {
    if (kind == QLatin1String("vsftpd")) {
        auto server = std::make_unique<TVsftpdServer>();
        server->setWritable(true);
        server->setAsciiConversion(true);
        return server;
    }
    auto server = std::make_unique<TPyftpdlibServer>();
    server->setWritable(true);
    return server;
}

} // namespace

class TestTransferServers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void listTransferAndResume_data();
    void listTransferAndResume();

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

void TestTransferServers::listTransferAndResume_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("passive");
    QTest::newRow("vsftpd passive") << QStringLiteral("vsftpd") << true;
    QTest::newRow("vsftpd active") << QStringLiteral("vsftpd") << false;
    QTest::newRow("pyftpdlib passive") << QStringLiteral("pyftpdlib") << true;
    QTest::newRow("pyftpdlib active") << QStringLiteral("pyftpdlib") << false;
}

void TestTransferServers::listTransferAndResume() {
    QFETCH(QString, server);
    QFETCH(bool, passive);
    auto peer = NewServer(server);
    const QString pub = peer->rootPath() + QStringLiteral("/pub");
    const QByteArray remote = Pattern(200000, 1);
    const QByteArray local = Pattern(300000, 2);
    QVERIFY(WriteFile(pub + QStringLiteral("/name with blanks.txt"), remote));
    QVERIFY(WriteFile(pub + QStringLiteral("/partial up.bin"), local.left(70000)));
    // Sparse files past 4 GiB, of which only the last bytes travel.
    const QByteArray tail = Pattern(1000, 5);
    const qint64 hugeSize = FiveGiB + tail.size();
    QVERIFY(WriteSparse(pub + QStringLiteral("/huge.bin"), hugeSize, tail));
    QVERIFY(WriteSparse(pub + QStringLiteral("/huge up.bin"), FiveGiB, QByteArray(1, '\0')));
    // Holds CR and LF bytes of its own.
    const QByteArray text = "line1\nline2\n\na lone\rCR\nlast line without its end";
    const QByteArray document = Pattern(100000, 9);
    QVERIFY(WriteFile(pub + QStringLiteral("/a.txt"), text));
    QVERIFY(WriteFile(pub + QStringLiteral("/report.doc"), document));
    // pyftpdlib offers MLST, vsftpd does not.
    const bool facts = server == QLatin1String("pyftpdlib");
    const QStringList listing = FillRoot(peer->rootPath(), facts);
    QVERIFY2(peer->start(), qPrintable(peer->errorText()));
    QTemporaryDir dir;
    const QString upload = dir.filePath(QStringLiteral("up load.bin"));
    QVERIFY(WriteFile(upload, local));
    const QString hugeDown = dir.filePath(QStringLiteral("huge.bin"));
    const QString hugeUp = dir.filePath(QStringLiteral("huge up.bin"));
    QVERIFY(WriteSparse(hugeDown, FiveGiB, QByteArray(1, '\0')));
    QVERIFY(WriteSparse(hugeUp, hugeSize, tail));

    TFTPComponent* s = LogIn(peer->port(), passive);
    TSessionRecorder rec(*s);
    WAIT_EVENT(rec, "Completed Login 1 0");
    QCOMPARE(s->ServerType(), uint8_t(11));
    // pyftpdlib refuses REST in ASCII mode, the type a session starts in: the probe asks
    // in binary, so both servers are found to resume.
    QVERIFY(s->ResumeSupported());
    s->List("/", "");
    WAIT_EVENT(rec, "Completed List 1 0");
    QCOMPARE(ListingText(rec.Listing), listing);
    // A real server's every line is understood: nothing reaches the view as unread.
    QCOMPARE(rec.NotUnderstood.Count, int64_t(0));
    EXPECT_EVENT(rec, facts ? "Log command MLSD" : "Log command LIST");
    QCOMPARE(rec.Count(QStringLiteral("Log command MLSD")), int(facts));

    // Relative paths: the test vsftpd runs without a chroot, so "/" is the real root.
    s->SetCurrentFolder("pub");
    const QString down = dir.filePath(QStringLiteral("down/name with blanks.txt"));
    s->Download("", "name with blanks.txt", down, 2);
    s->Upload(upload, "", "uploaded file.bin", 2, 0);
    WAIT_EVENT(rec, "Completed Upload");
    QCOMPARE(s->Passive(), passive);

    EXPECT_EVENT(rec, "Completed Download 1 0");
    EXPECT_EVENT(rec, "Size 200000");
    QCOMPARE(ReadFile(down), remote);
    EXPECT_EVENT(rec, "Completed Upload 1 0");
    QCOMPARE(ReadFile(pub + QStringLiteral("/uploaded file.bin")), local);

    // A download broken after 50,000 bytes and a remote file holding 70,000 of the upload.
    QVERIFY(WriteFile(down, remote.left(50000)));
    s->ResumeDownload("", "name with blanks.txt", down, 2, 0, 50000);
    s->ResumeUpload(upload, "", "partial up.bin", 2, 70000);
    WAIT_EVENT(rec, "Completed ResumeUpload");
    EXPECT_EVENT(rec, "Completed ResumeDownload 1 0");
    EXPECT_EVENT(rec, "Log command REST 50000");
    QCOMPARE(ReadFile(down), remote);
    EXPECT_EVENT(rec, "Completed ResumeUpload 1 0");
    EXPECT_EVENT(rec, "Log command REST 70000");
    QCOMPARE(ReadFile(pub + QStringLiteral("/partial up.bin")), local);
    QCOMPARE(rec.Count(QStringLiteral("Log info Unable to complete transfer")), 0);
    // A download the server refuses leaves the local file as it was.
    s->Download("", "missing.bin", down, 2);
    WAIT_EVENT(rec, "Completed Download 0 0");
    QCOMPARE(ReadFile(down), remote);

    // Offsets past 4 GiB, both ways.
    s->ResumeDownload("", "huge.bin", hugeDown, 2, 0, FiveGiB);
    s->ResumeUpload(hugeUp, "", "huge up.bin", 2, FiveGiB);
    QTRY_COMPARE_WITH_TIMEOUT(rec.Count(QStringLiteral("Completed ResumeUpload")), 2, 20000);
    QCOMPARE(rec.Count(QStringLiteral("Completed ResumeDownload 1 0")), 2);
    QCOMPARE(rec.Count(QStringLiteral("Completed ResumeUpload 1 0")), 2);
    EXPECT_EVENT(rec, QStringLiteral("Size %1").arg(hugeSize));
    EXPECT_EVENT(rec, QStringLiteral("Log command REST %1").arg(FiveGiB));
    for (const QString& path : {hugeDown, pub + QStringLiteral("/huge up.bin")}) {
        QCOMPARE(QFileInfo(path).size(), hugeSize);
        QCOMPARE(ReadTail(path, tail.size()), tail);
    }

    // With the default types a text file crosses in ASCII mode, with CR LF on the wire, and
    // a word-processor file in binary; both arrive and go back byte for byte.
    const TSettings settings = DefaultSettings();
    QCOMPARE(TransferTypeFor("a.txt", settings), 1);
    QCOMPARE(TransferTypeFor("report.doc", settings), 2);
    for (const QByteArray name : {"a.txt", "report.doc"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        s->Download("", name, path, TransferTypeFor(name, settings));
        s->Upload(path, "", "up " + name, TransferTypeFor(name, settings), 0);
    }
    QTRY_COMPARE_WITH_TIMEOUT(rec.Count(QStringLiteral("Completed Upload")), 3, 20000);
    QCOMPARE(rec.Count(QStringLiteral("Completed Upload 1 0")), 3);
    QCOMPARE(rec.Count(QStringLiteral("Completed Download 1 0")), 3);
    QCOMPARE(ReadFile(dir.filePath(QStringLiteral("a.txt"))), text);
    QCOMPARE(ReadFile(dir.filePath(QStringLiteral("report.doc"))), document);
    QCOMPARE(ReadFile(pub + QStringLiteral("/up a.txt")), text);
    QCOMPARE(ReadFile(pub + QStringLiteral("/up report.doc")), document);
    // The text's progress counts the bytes on the wire: each of its four LFs gained a CR.
    QVERIFY2(rec.Progress.contains(QStringLiteral("2 1 %1").arg(text.size() + 4)),
             qPrintable(rec.Progress.join('\n')));

    s->Disconnect();
    WAIT_EVENT(rec, "Completed Logout 1 0");
}

QTEST_GUILESS_MAIN(TestTransferServers)
#include "tst_transfer_servers.moc"
