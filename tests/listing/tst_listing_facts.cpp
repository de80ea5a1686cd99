// Machine listing lines (MLSD): one table of lines and the entries they give, in a fixed
// time zone with summer time, so that the UTC times are seen converted.
#include "listing/FactsListing.h"

#include <QTest>

#include <ctime>

namespace {

QString EntryText(const TRemoteListEntry& entry) {
    const uint16_t a = entry.Item.Attributes;
    QString mode = QLatin1String((a & raFolder) ? "d" : (a & raLink) ? "l" : "-");
    for (int i = 0; i < 9; ++i)
        mode += (a & (raOwnerRead << i)) ? QLatin1Char("rwxrwxrwx"[i]) : QLatin1Char('-');
    return QStringLiteral("%1|%2|%3|%4")
        .arg(QString::fromUtf8(entry.Name))
        .arg(entry.Item.Size)
        .arg(mode, QString::fromLatin1(DayNumberText(entry.Item.Date)));
}

} // namespace

class TestListingFacts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void lines_data();
    void lines();
};

void TestListingFacts::initTestCase() {
    // Central European time: UTC+1 in winter, UTC+2 in summer.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
}

void TestListingFacts::lines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("entry"); // "name|size|mode|date"; empty: no entry

    const QString none;
    const QString noDate = QStringLiteral("1899-12-30 00:00");
    QTest::newRow("file, winter time")
        << QByteArray("type=file;size=1024;modify=20240115103000;perm=r; readme.txt")
        << QStringLiteral("readme.txt|1024|-r--------|2024-01-15 11:30");
    QTest::newRow("folder, summer time past midnight, sizd ignored")
        << QByteArray("type=dir;sizd=4096;modify=20240715230000;unix.mode=0755; sub")
        << QStringLiteral("sub|0|drwxr-xr-x|2024-07-16 01:00");
    QTest::newRow("current folder") << QByteArray("type=cdir;modify=20240115103000; .") << none;
    QTest::newRow("link with target")
        << QByteArray("type=OS.unix=slink:/pub/target;size=11; link")
        << QStringLiteral("link -> /pub/target|11|l---------|") + noDate;
    QTest::newRow("link without target, odd case")
        << QByteArray("Type=os.UNIX=symlink; lnk") << QStringLiteral("lnk|0|l---------|") + noDate;
    QTest::newRow("device") << QByteArray("type=OS.unix=chr-13/29; tty") << none;
    QTest::newRow("no type is a file, no trailing ;")
        << QByteArray("size=5; notype") << QStringLiteral("notype|5|----------|") + noDate;
    QTest::newRow("fact names in any case")
        << QByteArray("TYPE=DIR;Modify=20240101000000;UNIX.MODE=700;PERM=flcdmpe; Caps")
        << QStringLiteral("Caps|0|drwx------|2024-01-01 01:00");
    QTest::newRow("unix.mode over perm, unknown facts ignored")
        << QByteArray("type=file;perm=adfrw;unix.mode=0640;unix.owner=joe;x.y=1;size=2; f")
        << QStringLiteral("f|2|-rw-r-----|") + noDate;
    QTest::newRow("folder perm") << QByteArray("type=dir;perm=cel; d")
                                 << QStringLiteral("d|0|drwx------|") + noDate;
    QTest::newRow("blanks around the name kept")
        << QByteArray("type=file;size=3;   two  blanks  ")
        << QStringLiteral("  two  blanks  |3|----------|") + noDate;
    QTest::newRow("semicolons and = in the name")
        << QByteArray("type=file;size=7;modify=20240301120000; a;b=c; d.txt")
        << QStringLiteral("a;b=c; d.txt|7|----------|2024-03-01 13:00");
    QTest::newRow("UTF-8 name") << QByteArray("type=file;size=10; Grüße 日本.txt")
                                << QStringLiteral("Grüße 日本.txt|10|----------|") + noDate;
    QTest::newRow("fractional seconds are cut, not rounded")
        << QByteArray("type=file;modify=20240115103059.987; f")
        << QStringLiteral("f|0|----------|2024-01-15 11:30");
    QTest::newRow("month 13") << QByteArray("type=file;modify=20241301000000; f")
                              << QStringLiteral("f|0|----------|") + noDate;
    QTest::newRow("short, dotted or lettered dates")
        << QByteArray("type=file;modify=2024011510;size=x1; f")
        << QStringLiteral("f|0|----------|") + noDate;
    QTest::newRow("bad fraction, negative size")
        << QByteArray("type=file;modify=20240115103000.;size=-5; f")
        << QStringLiteral("f|0|----------|") + noDate;
    QTest::newRow("Unix line") << QByteArray("-rw-r--r-- 1 ftp ftp 12 Jan 1 2024 x") << none;
    QTest::newRow("no blank") << QByteArray("type=file;size=1;") << none;
    QTest::newRow("no facts") << QByteArray(" name") << none;
    QTest::newRow("slash in the name") << QByteArray("type=file; a/b") << none;
    QTest::newRow("line break in the name") << QByteArray("type=file; a\nb") << none;
    QTest::newRow("line break in a link's target")
        << QByteArray("type=OS.unix=slink:/a\nb; l") << none;
    QTest::newRow("dot file") << QByteArray("type=file; ..") << none;
}

void TestListingFacts::lines() {
    QFETCH(QByteArray, line);
    QFETCH(QString, entry);
    TRemoteListEntry out;
    const bool ok = ParseFactsLine(line, out);
    QCOMPARE(ok ? EntryText(out) : QString(), entry);
}

QTEST_GUILESS_MAIN(TestListingFacts)
#include "tst_listing_facts.moc"
