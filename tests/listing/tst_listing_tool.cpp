// The listing-parse command-line tool: JSON lines that any JSON reader accepts, whatever
// bytes the names hold, the counts on standard error, and exit code 2 on usage errors.
#include "RunProgram.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

TProgramRun RunTool(const QStringList& arguments, const QByteArray& input = {}) {
    return RunProgram(QStringLiteral(LISTING_PARSE_PATH), arguments, input);
}

} // namespace

class TestListingTool : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void usageErrors_data();
    void usageErrors();
    void jsonLines();
    void serverTypeAndToday();
    void formatsAndCharsets_data();
    void formatsAndCharsets();
};

void TestListingTool::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no file") << QStringList{};
    QTest::newRow("two files") << QStringList{"-", "-"};
    QTest::newRow("unknown option") << QStringList{"--verbose", "-"};
    QTest::newRow("server type out of range") << QStringList{"--server-type", "57", "-"};
    QTest::newRow("server type not a number") << QStringList{"--server-type=x", "-"};
    QTest::newRow("server type missing") << QStringList{"-", "--server-type"};
    QTest::newRow("bad date") << QStringList{"--today", "2024-02-30", "-"};
    QTest::newRow("missing file") << QStringList{"/nonexistent/listing.txt"};
    QTest::newRow("unknown format") << QStringList{"--format", "cpm", "-"};
    QTest::newRow("unknown charset") << QStringList{"--charset=no-such-set", "-"};
}

void TestListingTool::usageErrors() {
    QFETCH(QStringList, arguments);
    const TProgramRun run = RunTool(arguments);
    QCOMPARE(run.ExitCode, 2);
    QVERIFY(run.Out.isEmpty());
    QVERIFY2(run.Err.contains("usage: listing-parse"), run.Err.constData());
}

void TestListingTool::jsonLines() {
    const QByteArray listing = "total 3\r\n"
                               "drwxr-xr-x 2 ftp ftp 512 Mar 3 10:15 pub\r\n"
                               "-rw-r--r-- 1 a b 5000000000 Nov 20 1997 say \"hi\" \\ \x01\r\n"
                               "lrwxrwxrwx 1 a b 3 Jan 5 2001 caf\xe9 -> caf\xc3\xa9\n";
    const TProgramRun run = RunTool(
        {QStringLiteral("--today"), QStringLiteral("2024-12-10"), QStringLiteral("-")}, listing);
    QCOMPARE(run.ExitCode, 0);
    QCOMPARE(run.Err.trimmed(), QByteArray("lines read: 4, entries: 3"));
    const QList<QByteArray> lines = run.Out.trimmed().split('\n');
    // A name that is not valid UTF-8 as a whole is read as Latin-1.
    const QByteArrayList expected{
        R"({"name":"pub","size":0,"folder":true,"link":false,"attributes":1469,)"
        R"("date":"2024-03-03 10:15"})",
        R"({"name":"say \"hi\" \\ \u0001","size":5000000000,"folder":false,"link":false,)"
        R"("attributes":300,"date":"1997-11-20 00:00"})",
        R"({"name":"caf\u00e9 -> caf\u00c3\u00a9","size":3,"folder":false,"link":true,)"
        R"("attributes":2046,"date":"2001-01-05 00:00"})"};
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i) {
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(lines[i], &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, lines[i].constData());
        QCOMPARE(object, QJsonDocument::fromJson(expected[i]).object());
    }
}

void TestListingTool::serverTypeAndToday() {
    const QByteArray listing =
        "10-28-97  03:05PM       <DIR>          Reports\r\n"
        "PROFILE  EXEC     V         68          8          1 1997-01-27 10:57:12 -\r\n";
    const TProgramRun dos = RunTool(
        {QStringLiteral("--server-type"), QStringLiteral("17"), QStringLiteral("-")}, listing);
    QCOMPARE(dos.ExitCode, 0);
    QVERIFY2(dos.Out.startsWith("{\"name\":\"Reports\",\"size\":0,\"folder\":true"), dos.Out);
    const TProgramRun vm = RunTool({QStringLiteral("--server-type=5"),
                                    QStringLiteral("--today=2024-06-15"), QStringLiteral("-")},
                                   listing);
    QCOMPARE(vm.ExitCode, 0);
    QVERIFY2(vm.Out.contains("\"name\":\"PROFILE.EXEC\",\"size\":544"), vm.Out);
    QVERIFY2(vm.Out.contains("\"date\":\"2024-06-15 00:00\""), vm.Out);
    const TProgramRun none = RunTool(
        {QStringLiteral("--server-type"), QStringLiteral("1"), QStringLiteral("-")}, listing);
    QCOMPARE(none.ExitCode, 0);
    QVERIFY(none.Out.isEmpty());
    QCOMPARE(none.Err.trimmed(), QByteArray("lines read: 0, entries: 0"));
}

// Each kind's parser alone, or the automatic reading with its fallback; lines none
// understands follow the entries; names read in the character set given.
void TestListingTool::formatsAndCharsets_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QByteArrayList>("expected");
    const QByteArray dos = "10-28-97  03:05PM       <DIR>          Reports\r\nno such line\r\n";
    const QByteArray reports = R"({"name":"Reports","size":0,"folder":true,"link":false,)"
                               R"("attributes":1,"date":"1997-10-28 15:05"})";
    const QByteArray noSuchLine = R"({"unparsed":true,"line":"no such line"})";
    QTest::newRow("auto falls back")
        << QStringList{"-"} << dos << QByteArrayList{reports, noSuchLine};
    QTest::newRow("a kind alone") << QStringList{"--format", "unix", "-"} << dos
                                  << QByteArrayList{R"({"unparsed":true,"line":")"
                                                    R"(10-28-97  03:05PM       <DIR>          )"
                                                    R"(Reports"})",
                                                    noSuchLine};
    QTest::newRow("mvs") << QStringList{"--format=mvs", "-"}
                         << QByteArray("Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg "
                                       "Dsname\r\nWYOSPT 3390   2023/11/02  3   15  FB      80 "
                                       "27920  PO  USER.SOURCE\r\n")
                         << QByteArrayList{R"({"name":"USER.SOURCE","size":0,"folder":true,)"
                                           R"("link":false,"attributes":1,)"
                                           R"("date":"2023-11-02 00:00"})"};
    QTest::newRow("mlsd") << QStringList{"--format", "mlsd", "-"}
                          << QByteArray("type=cdir;unix.mode=0755; .\r\n"
                                        "type=file;size=3;unix.mode=0644; a b\r\n")
                          << QByteArrayList{R"({"name":"a b","size":3,"folder":false,)"
                                            R"("link":false,"attributes":300,)"
                                            R"("date":"1899-12-30 00:00"})"};
    const QByteArray sjis = "-rw-r--r-- 1 a b 3 Jan 5 2001 \x82\xa0\x82\xa2\r\n"
                            "-rw-r--r-- 1 a b 3 Jan 5 2001 caf\xc3\xa9\r\n\x82\xa0\r\n";
    const auto entry = [](const char* name) {
        return QByteArray(R"({"name":")") + name +
               R"(","size":3,"folder":false,"link":false,"attributes":300,)"
               R"("date":"2001-01-05 00:00"})";
    };
    QTest::newRow("legacy names") << QStringList{"--charset", "Shift_JIS", "-"} << sjis
                                  << QByteArrayList{entry("\u3042\u3044"), entry("caf\u00e9"),
                                                    R"({"unparsed":true,"line":"\u3042"})"};
    QTest::newRow("Latin-1 without a set")
        << QStringList{"-"} << sjis
        << QByteArrayList{entry("\u0082\u00a0\u0082\u00a2"), entry("caf\u00e9"),
                          R"({"unparsed":true,"line":"\u0082\u00a0"})"};
}

void TestListingTool::formatsAndCharsets() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, listing);
    QFETCH(QByteArrayList, expected);
    const TProgramRun run = RunTool(QStringList{"--today", "2024-06-15"} + arguments, listing);
    QCOMPARE(run.ExitCode, 0);
    const QList<QByteArray> lines = run.Out.trimmed().split('\n');
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(QJsonDocument::fromJson(lines[i]).object(),
                 QJsonDocument::fromJson(expected[i]).object());
}

QTEST_GUILESS_MAIN(TestListingTool)
#include "tst_listing_tool.moc"
