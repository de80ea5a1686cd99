// tolvar-ftp end to end against pyftpdlib on loopback: listing as JSON, get and put with
// and without resume, the log on standard error, and the exit status of each outcome.
#include "TestFiles.h"
#include "LoopbackServerProcess.h"
#include "PyftpdlibServer.h"

#include "settings/SettingsFile.h"
#include "settings/SiteList.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TRun {
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;
};

// posix_spawn rather than QProcess: ThreadSanitizer's runtime trips over QProcess's clone.
TRun RunTool(const QStringList& arguments) {
    TRun run;
    QList<QByteArray> args{QByteArray(TOLVAR_FTP_PROGRAM)};
    for (const QString& a : arguments)
        args << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    QDeadlineTimer deadline(60000);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    QByteArray* sinks[2] = {&run.Out, &run.Err};
    int open = spawned == 0 ? 2 : 0;
    while (open > 0 && !deadline.hasExpired()) {
        if (::poll(fds, 2, 200) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, n);
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    if (spawned != 0) return run;
    if (open > 0) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.ExitCode = open == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    return run;
}

} // namespace

class TestTolvarFtp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void usageErrorsExitTwo();
    void listPrintsJsonEntries();
    void getAndPutWithResume();
    void failuresExitOneWithReason();
    void storedSiteConnects();

private:
    QString Url(const QString& path) const {
        return QStringLiteral("ftp://127.0.0.1:%1%2").arg(Server.port()).arg(path);
    }
    TPyftpdlibServer Server;
    QTemporaryDir Dir;
    QByteArray Remote = Pattern(400000, 1);
    QByteArray Local = Pattern(300000, 2);
};

void TestTolvarFtp::initTestCase() {
    Server.setWritable(true);
    const QString pub = Server.rootPath() + QStringLiteral("/pub");
    QVERIFY(QDir().mkpath(pub + QStringLiteral("/sub dir")));
    QVERIFY(WriteFile(pub + QStringLiteral("/name with blanks.txt"), Remote));
    QVERIFY2(Server.start(), qPrintable(Server.errorText()));
}

void TestTolvarFtp::usageErrorsExitTwo() {
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("get"), Url(QStringLiteral("/pub/x"))},
        {QStringLiteral("--bogus"), QStringLiteral("ls"), Url(QStringLiteral("/"))},
        {QStringLiteral("--timeout"), QStringLiteral("soon"), QStringLiteral("ls"),
         Url(QStringLiteral("/"))},
        {QStringLiteral("get"), Url(QStringLiteral("/pub/")), Dir.filePath(QStringLiteral("x"))},
        {QStringLiteral("fetch"), Url(QStringLiteral("/"))},
    };
    for (const QStringList& args : cases) {
        const TRun run = RunTool(args);
        QVERIFY2(run.ExitCode == 2, qPrintable(args.join(' ') + QStringLiteral(": ") + run.Err));
        QVERIFY(run.Err.contains("usage:") || run.Err.contains("tolvar-ftp:"));
    }
}

void TestTolvarFtp::listPrintsJsonEntries() {
    const TRun run = RunTool({QStringLiteral("ls"), Url(QStringLiteral("/pub/"))});
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    const QList<QByteArray> lines = run.Out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(
        run.Out.contains("{\"name\":\"name with blanks.txt\",\"size\":400000,\"folder\":false"),
        run.Out.constData());
    QVERIFY2(run.Out.contains("{\"name\":\"sub dir\",\"size\":0,\"folder\":true"),
             run.Out.constData());
}

void TestTolvarFtp::getAndPutWithResume() {
    const QString down = Dir.filePath(QStringLiteral("got file.txt"));
    TRun run = RunTool({QStringLiteral("--log"), QStringLiteral("--passive"), QStringLiteral("get"),
                        Url(QStringLiteral("/pub/name%20with%20blanks.txt")), down});
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    QCOMPARE(ReadFile(down), Remote);
    QVERIFY2(run.Err.contains("220 pyftpdlib") && run.Err.contains("PASV") &&
                 run.Err.contains("Transferred 400,000 bytes in "),
             run.Err.constData());
    QVERIFY(!run.Err.contains("PASS anonymous"));

    QVERIFY(WriteFile(down, Remote.left(123456)));
    run = RunTool({QStringLiteral("--log"), QStringLiteral("--resume"), QStringLiteral("get"),
                   Url(QStringLiteral("/pub/name%20with%20blanks.txt")), down});
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    QVERIFY2(run.Err.contains("REST 123456"), run.Err.constData());
    QCOMPARE(ReadFile(down), Remote);

    const QString up = Dir.filePath(QStringLiteral("to send.bin"));
    QVERIFY(WriteFile(up, Local));
    run = RunTool({QStringLiteral("put"), up, Url(QStringLiteral("/pub/"))});
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    const QString sent = Server.rootPath() + QStringLiteral("/pub/to send.bin");
    QCOMPARE(ReadFile(sent), Local);

    // The remote size comes from the listing; only the rest travels.
    QVERIFY(WriteFile(sent, Local.left(100000)));
    run = RunTool({QStringLiteral("--log"), QStringLiteral("--resume"), QStringLiteral("put"), up,
                   Url(QStringLiteral("/pub/to%20send.bin"))});
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    QVERIFY2(run.Err.contains("REST 100000") && run.Err.contains("Transferred 300,000 bytes"),
             run.Err.constData());
    QCOMPARE(ReadFile(sent), Local);
}

void TestTolvarFtp::failuresExitOneWithReason() {
    TRun run = RunTool({QStringLiteral("get"), Url(QStringLiteral("/pub/missing.bin")),
                        Dir.filePath(QStringLiteral("missing.bin"))});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.startsWith("tolvar-ftp: Download failed: 550"), run.Err.constData());

    const quint16 closed = FreeLoopbackPort();
    run = RunTool({QStringLiteral("--retries"), QStringLiteral("1"), QStringLiteral("ls"),
                   QStringLiteral("ftp://127.0.0.1:%1/").arg(closed)});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.contains("Connection refused"), run.Err.constData());

    run = RunTool({QStringLiteral("http-get"), QStringLiteral("http://127.0.0.1:%1/x").arg(closed),
                   Dir.filePath(QStringLiteral("x"))});
    QCOMPARE(run.ExitCode, 1);
}

void TestTolvarFtp::storedSiteConnects() {
    const QString settingsFile = Dir.filePath(QStringLiteral("tolvar.ini"));
    const QString sitesFile = Dir.filePath(QStringLiteral("Sites.ini"));
    TSettings settings = DefaultSettings();
    settings.EMail = QStringLiteral("stored@example.org");
    settings.UsePASV = true;
    QVERIFY(WriteSettings(settings, settingsFile));
    TSiteList sites(sitesFile);
    TSite site = TSiteList::NewSite(QString());
    site.Name = QStringLiteral("Test Archive");
    site.Host = QStringLiteral("127.0.0.1");
    site.Port = QString::number(Server.port());
    site.Anonymous = true;
    site.HostFolder = QStringLiteral("/pub");
    QString problem;
    QVERIFY2(sites.SaveSite(site, &problem), qPrintable(problem));

    const QStringList stored = {QStringLiteral("--settings"), settingsFile, QStringLiteral("--sites"),
                                sitesFile, QStringLiteral("--site"), QStringLiteral("test archive")};
    // A relative path starts in the site's host folder; the log-in is the site's.
    const QString local = Dir.filePath(QStringLiteral("from site.txt"));
    TRun run = RunTool(stored + QStringList{QStringLiteral("--log"), QStringLiteral("get"),
                                            QStringLiteral("name with blanks.txt"), local});
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    QCOMPARE(ReadFile(local), Remote);
    QVERIFY2(run.Err.contains("PASV"), run.Err.constData());
    QVERIFY(run.Err.contains("USER anonymous"));

    run = RunTool(stored + QStringList{QStringLiteral("ls"), QStringLiteral("/pub/")});
    QVERIFY2(run.ExitCode == 0, run.Err.constData());
    QVERIFY(run.Out.contains("\"name\":\"sub dir\""));

    run = RunTool({QStringLiteral("--sites"), sitesFile, QStringLiteral("--site"),
                   QStringLiteral("Elsewhere"), QStringLiteral("ls"), QStringLiteral("/")});
    QCOMPARE(run.ExitCode, 2);
    QVERIFY2(run.Err.contains("no site named"), run.Err.constData());
    run = RunTool({QStringLiteral("--settings"), Dir.filePath(QStringLiteral("none.ini")),
                   QStringLiteral("ls"), Url(QStringLiteral("/"))});
    QCOMPARE(run.ExitCode, 2);
}

QTEST_GUILESS_MAIN(TestTolvarFtp)
#include "tst_tolvar_ftp.moc"
