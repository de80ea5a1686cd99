// Listings captured from real FTP servers started on loopback (vsftpd, pyftpdlib): a
// folder with sub-folders, a link, names with blanks and a sparse file over 4 GiB must
// come back with the names, kinds, sizes and dates the folder really has.
#include "ListingFetcher.h"
#include "PyftpdlibServer.h"
#include "VsftpdServer.h"

#include "listing/ListingParser.h"
#include "listing/ServerTypes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

namespace {

struct TExpected {
    int64_t Size;
    uint16_t Kind; // raFolder, raLink or 0
    QString Date;  // "YYYY-MM-DD HH:MM"
};

constexpr int64_t kSparseSize = 5000000000LL;

// Sets the modification time of a file, folder or link (the link itself).
bool SetTime(const QString& path, const QDateTime& when) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = when.toSecsSinceEpoch();
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) ==
           0;
}

QString DateText(const QDateTime& when, bool withTime) {
    return when.toUTC().toString(withTime ? QStringLiteral("yyyy-MM-dd HH:mm")
                                          : QStringLiteral("yyyy-MM-dd 00:00"));
}

// Fills the root and returns what its listing must give. Recent entries show a time,
// old ones a year; servers write both in UTC here.
QMap<QByteArray, TExpected> FillRoot(const QString& root) {
    const QDateTime recent = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const QDateTime recentMinute = recent.addSecs(-recent.time().second());
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5), Qt::UTC);
    QDir dir(root);
    dir.mkdir(QStringLiteral("pub"));
    dir.mkdir(QStringLiteral("with blank"));
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    };
    write(QStringLiteral("plain.txt"), "twelve bytes");
    write(QStringLiteral("two  blanks.txt"), "x");
    write(QStringLiteral("trailing "), "xy");
    write(QStringLiteral("old.txt"), "old");
    {
        QFile sparse(dir.filePath(QStringLiteral("big file.iso")));
        if (sparse.open(QIODevice::WriteOnly))
            sparse.resize(kSparseSize); // a hole: no disk space used
    }
    QFile::link(QStringLiteral("pub"), dir.filePath(QStringLiteral("link")));

    QMap<QByteArray, TExpected> expected;
    const QString recentText = DateText(recentMinute, true);
    for (const char* name : {"pub", "with blank"})
        expected[name] = {0, raFolder, recentText};
    expected["plain.txt"] = {12, 0, recentText};
    expected["two  blanks.txt"] = {1, 0, recentText};
    expected["trailing "] = {2, 0, recentText};
    expected["old.txt"] = {3, 0, DateText(old, false)};
    expected["big file.iso"] = {kSparseSize, 0, recentText};
    expected["link -> pub"] = {3, raLink, recentText};
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
        SetTime(dir.filePath(name), name == QLatin1String("old.txt") ? old : recentMinute);
    return expected;
}

} // namespace

class TestListingServers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listingFromServer_data();
    void listingFromServer();
};

void TestListingServers::listingFromServer_data() {
    QTest::addColumn<QString>("server");
    QTest::newRow("vsftpd") << QStringLiteral("vsftpd");
    QTest::newRow("pyftpdlib") << QStringLiteral("pyftpdlib");
}

void TestListingServers::listingFromServer() {
    QFETCH(QString, server);
    std::unique_ptr<TLoopbackServerProcess> process;
    QString program;
    if (server == QLatin1String("vsftpd")) {
        process = std::make_unique<TVsftpdServer>();
        program = QString::fromLatin1(TVsftpdServer::Program);
    } else {
        process = std::make_unique<TPyftpdlibServer>();
        program = QString::fromLatin1(TPyftpdlibServer::Python);
    }
    if (!QFileInfo(program).isExecutable())
        QSKIP(qPrintable(program + QStringLiteral(" is not installed (scripts/install-deps.sh)")));

    const QMap<QByteArray, TExpected> expected = FillRoot(process->rootPath());
    QVERIFY2(process->start(), qPrintable(process->errorText()));

    TListingFetcher fetcher;
    QByteArray listing;
    QVERIFY2(fetcher.fetch(process->port(), {}, listing), qPrintable(fetcher.errorText()));
    process->stop();

    const TRemoteItemList list =
        ParseListing(ServerTypeUnix, listing, QDateTime::currentDateTimeUtc().date());
    QMap<QByteArray, TExpected> actual;
    for (const TRemoteListEntry& entry : list) {
        const TRemoteItem& item = entry.Item;
        actual[entry.Name] = {item.Size, uint16_t(item.Attributes & (raFolder | raLink)),
                              QString::fromLatin1(DayNumberText(item.Date))};
    }
    QCOMPARE(actual.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const TExpected& got = actual[it.key()];
        const QByteArray what = it.key() + " in\n" + listing;
        QVERIFY2(got.Size == it->Size, what.constData());
        QVERIFY2(got.Kind == it->Kind, what.constData());
        QVERIFY2(got.Date == it->Date,
                 qPrintable(got.Date + QStringLiteral(" != ") + it->Date + QStringLiteral(" for ") +
                            QString::fromUtf8(what)));
    }
}

QTEST_GUILESS_MAIN(TestListingServers)
#include "tst_listing_servers.moc"
