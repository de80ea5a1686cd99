// tolvar-ftp end to end against pyftpdlib on loopback: the exit status and message of each
// outcome, a stored site's connection with its listing as JSON lines, and the summaries of
// mget and mput, and a resumed get's count of only what this run moved. The transfers
// themselves are the engine suites'.
#include "LoopbackServerProcess.h"
#include "PyftpdlibServer.h"
#include "RunProgram.h"
#include "TestFiles.h"

#include "settings/SettingsFile.h"
#include "settings/SiteList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

TProgramRun RunTool(const QStringList& arguments) {
    return RunProgram(QStringLiteral(TOLVAR_FTP_PROGRAM), arguments);
}

} // namespace

class TestTolvarFtp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void storedSiteConnects();
    void mgetAndMputSummaries();

private:
    QString Url(const QString& path) const {
        return QStringLiteral("ftp://127.0.0.1:%1%2").arg(Server.port()).arg(path);
    }
    TPyftpdlibServer Server;
    QTemporaryDir Dir;
    QString SitesFile = Dir.filePath(QStringLiteral("Sites.ini"));
    QString SettingsFile = Dir.filePath(QStringLiteral("tolvar.ini"));
    QByteArray Remote = Pattern(40000, 1);
};

void TestTolvarFtp::initTestCase() {
    Server.setWritable(true);
    const QString pub = Server.rootPath() + QStringLiteral("/pub");
    QVERIFY(QDir().mkpath(pub + QStringLiteral("/sub dir")));
    QVERIFY(QDir().mkpath(Server.rootPath() + QStringLiteral("/up")));
    QVERIFY(WriteFile(pub + QStringLiteral("/name with blanks.txt"), Remote));
    // pyftpdlib's machine listing gives the exact time.
    const QDateTime listed(QDate(2021, 6, 7), QTime(12, 0), Qt::UTC);
    for (int i = 0; i < 3; ++i) {
        QFile file(Server.rootPath() + QStringLiteral("/f%1.txt").arg(i));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000 + i, char('a' + i)));
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(listed, QFileDevice::FileModificationTime));
    }
    QVERIFY(WriteFile(Server.rootPath() + QStringLiteral("/masks/a.bin"), "a"));
    QVERIFY(WriteFile(Server.rootPath() + QStringLiteral("/masks/b.BIN"), "bb"));
    QVERIFY(WriteFile(Server.rootPath() + QStringLiteral("/masks/c.txt"), "ccc"));
    QVERIFY(QDir().mkpath(Server.rootPath() + QStringLiteral("/masks/d.bin")));
    QVERIFY(QDir().mkpath(Server.rootPath() + QStringLiteral("/empty")));
    QVERIFY2(Server.start(), qPrintable(Server.errorText()));

    TSettings settings = DefaultSettings();
    settings.UsePASV = true;
    QVERIFY(WriteSettings(settings, SettingsFile));
    TSiteList sites(SitesFile);
    TSite site = TSiteList::NewSite(QString());
    site.Name = QStringLiteral("Test Archive");
    site.Host = QStringLiteral("127.0.0.1");
    site.Port = QString::number(Server.port());
    site.Anonymous = true;
    site.HostFolder = QStringLiteral("/pub");
    QString problem;
    QVERIFY2(sites.SaveSite(site, &problem), qPrintable(problem));
}

void TestTolvarFtp::exitStatus_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("message"); // on standard error
    const QString local = Dir.filePath(QStringLiteral("x"));
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(FreeLoopbackPort());
    const auto row = [](const char* name, const QStringList& arguments, int exitCode,
                        const QByteArray& message) {
        QTest::newRow(name) << arguments << exitCode << message;
    };
    row("no arguments", {}, 2, "usage: tolvar-ftp");
    row("get without a local file", {"get", Url("/pub/x")}, 2, "usage: tolvar-ftp");
    row("unknown option", {"--bogus", "ls", Url("/")}, 2, "usage: tolvar-ftp");
    row("timeout not a number", {"--timeout", "soon", "ls", Url("/")}, 2, "usage: tolvar-ftp");
    row("unknown command", {"fetch", Url("/")}, 2, "usage: tolvar-ftp");
    row("get of a folder", {"get", Url("/pub/"), local}, 2, "tolvar-ftp: the URL names no file");
    row("unknown site", {"--sites", SitesFile, "--site", "Elsewhere", "ls", "/"}, 2,
        "tolvar-ftp: no site named");
    row("missing settings file", {"--settings", Dir.filePath("none.ini"), "ls", Url("/")}, 2,
        "tolvar-ftp: no such settings file");
    row("parallel beyond ten", {"--parallel", "11", "mget", Url("/f0.txt"), local}, 2,
        "--parallel needs a number from 1 to 10");
    row("mget without a local folder", {"mget", Url("/f0.txt")}, 2, "wrong number of arguments");
    row("missing remote file", {"get", Url("/pub/missing.bin"), local}, 1,
        "tolvar-ftp: Download failed: 550");
    row("refused connection", {"--retries", "1", "ls", "ftp://" + closed + "/"}, 1,
        "Connection refused");
    row("refused HTTP connection", {"http-get", "http://" + closed + "/x", local}, 1, "");
}

void TestTolvarFtp::exitStatus() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, message);
    const TProgramRun run = RunTool(arguments);
    QVERIFY2(run.ExitCode == exitCode, run.Err.constData());
    QVERIFY2(run.Err.contains(message), run.Err.constData());
    QVERIFY(exitCode == 1 || run.Out.isEmpty());
}

void TestTolvarFtp::storedSiteConnects() {
    const QStringList stored = {QStringLiteral("--settings"), SettingsFile,
                                QStringLiteral("--sites"),    SitesFile,
                                QStringLiteral("--site"),     QStringLiteral("test archive")};
    // A relative path starts in the site's host folder; the log-in and passive mode are the
    // site's and the settings'.
    const QString local = Dir.filePath(QStringLiteral("from site.txt"));
    TProgramRun run = RunTool(stored + QStringList{QStringLiteral("--log"), QStringLiteral("get"),
                                                   QStringLiteral("name with blanks.txt"), local});
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    QCOMPARE(ReadFile(local), Remote);
    QVERIFY2(run.Err.contains("PASV") && run.Err.contains("USER anonymous"), run.Err.constData());

    run = RunTool(stored + QStringList{QStringLiteral("ls"), QStringLiteral("/pub/")});
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    QCOMPARE(run.Out.trimmed().split('\n').size(), 2);
    QVERIFY2(run.Out.contains("{\"name\":\"name with blanks.txt\",\"size\":40000,\"folder\":false"),
             run.Out.constData());
    QVERIFY2(run.Out.contains("{\"name\":\"sub dir\",\"size\":0,\"folder\":true"),
             run.Out.constData());
}

void TestTolvarFtp::mgetAndMputSummaries() {
    QTemporaryDir local;
    TProgramRun run;
    // One attempt per command; true when the exit code is the one given.
    const auto tool = [&run](int exitCode, const QStringList& arguments) {
        run = RunTool(QStringList{"--retries", "1"} + arguments);
        return run.ExitCode == exitCode;
    };
    QVERIFY2(
        tool(0, {"--log", "mget", Url("/f0.txt"), Url("/f1.txt"), Url("/f2.txt"), local.path()}),
        run.Err.constData());
    QVERIFY2(run.Out.startsWith("items 3, done 3, cancelled 0, failed 0, pending 0; 3003 bytes"),
             run.Out.constData());
    QCOMPARE(QFileInfo(local.filePath("f2.txt")).size(), 1002);
    // The folder of all three is listed once, not once per file.
    QCOMPARE(run.Err.split('\n').count("MLSD"), 1);
    // Each file takes the time the listing gives it.
    QCOMPARE(QFileInfo(local.filePath("f1.txt")).lastModified(),
             QDateTime(QDate(2021, 6, 7), QTime(12, 0), Qt::UTC));

    // A resumed file counts the bytes this run moved.
    QVERIFY(QFile::resize(local.filePath("f1.txt"), 400));
    QVERIFY2(tool(0, {"--log", "get", "--resume", Url("/f1.txt"), local.filePath("f1.txt")}),
             run.Err.constData());
    QVERIFY2(run.Err.contains("REST 400") && run.Err.contains("Transferred 601 bytes"),
             run.Err.constData());
    QCOMPARE(QFileInfo(local.filePath("f1.txt")).size(), 1001);

    // Nothing to fetch: a summary without a time from nowhere.
    QVERIFY2(tool(0, {"mget", "-r", Url("/empty/"), local.path()}), run.Err.constData());
    QCOMPARE(run.Out,
             QByteArray("items 0, done 0, cancelled 0, failed 0, pending 0; 0 bytes in 0 ms\n"));

    // Masks as -r takes them: matched without regard to case, folders only with -r.
    QTemporaryDir masked;
    QVERIFY2(tool(0, {"mget", Url("/masks/*.bin"), masked.path()}), run.Err.constData());
    QCOMPARE(QDir(masked.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"a.bin", "b.BIN"}));
    QVERIFY2(run.Err.contains("d.bin"), run.Err.constData());
    QVERIFY(tool(1, {"mget", Url("/masks/*.zip"), masked.path()}));
    QVERIFY2(run.Err.contains("nothing matches"), run.Err.constData());
    QVERIFY2(tool(0, {"mput", local.filePath("f0.txt"), local.filePath("f1.txt"), Url("/up/")}),
             run.Err.constData());
    QCOMPARE(QFileInfo(Server.rootPath() + "/up/f1.txt").size(), 1001);

    // Any item not done fails the run.
    QVERIFY(tool(1, {"mget", "--overwrite", Url("/f0.txt"), Url("/missing.txt"), local.path()}));
    QVERIFY2(run.Out.startsWith("items 2, done 1, cancelled 0, failed 1"), run.Out.constData());
    QVERIFY(tool(1, {"mput", local.filePath("f0.txt"), Url("/no/such/")}));

    QTemporaryDir parallel;
    QVERIFY2(tool(0, {"--parallel", "3", "mget", Url("/f0.txt"), Url("/f1.txt"), Url("/f2.txt"),
                      parallel.path()}),
             run.Err.constData());
    QVERIFY2(run.Out.startsWith("items 3, done 3, cancelled 0, failed 0, pending 0; 3003 bytes"),
             run.Out.constData());
}

QTEST_GUILESS_MAIN(TestTolvarFtp)
#include "tst_tolvar_ftp.moc"
