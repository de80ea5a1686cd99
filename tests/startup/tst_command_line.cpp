#include "RunProgram.h"

#include "platform/SingleInstance.h"
#include "startup/CommandLine.h"
#include "startup/CommandLineItems.h"
#include "transfer/TransferItem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <future>

#include <sys/stat.h>

namespace {

// The fields a row sets, in a fixed order; defaults are left out.
QString Describe(const TCommandLine& c) {
    QStringList out;
    if (c.Usage) out << "usage";
    if (!c.Host.isEmpty()) out << QStringLiteral("host=%1:%2").arg(c.Host).arg(c.Port);
    if (!c.User.isEmpty()) out << "user=" + c.User;
    if (c.HasPassword) out << "pass=" + c.Password;
    if (!c.Account.isEmpty()) out << "acct=" + c.Account;
    if (!c.LocalFolder.isEmpty()) out << "local=" + c.LocalFolder;
    if (!c.HostFolder.isEmpty()) out << "hostdir=" + c.HostFolder;
    if (!c.Receive.isEmpty()) out << "get=" + c.Receive.join(u'|');
    if (!c.Send.isEmpty()) out << "put=" + c.Send.join(u'|');
    if (c.ExitWhenDone) out << "x";
    if (c.Debug) out << "d";
    if (!c.Urls.isEmpty()) out << "url=" + c.Urls.join(u'|');
    if (!c.ServerSwitches.isEmpty()) out << "server=" + c.ServerSwitches.join(u'|');
    if (!c.Errors.isEmpty()) out << QStringLiteral("errors=%1").arg(c.Errors.size());
    if (!c.SwitchErrors.isEmpty()) out << QStringLiteral("bad=%1").arg(c.SwitchErrors.size());
    return out.join(u' ');
}

QString Describe(const TCommandLineRun& run) {
    QStringList out;
    if (!run.Connection.Host.isEmpty())
        out << QStringLiteral("%1/%2").arg(QString(run.Connection.User),
                                           QString(run.Connection.Password));
    for (const auto& item : run.Items) {
        if (item->Upload)
            out << QStringLiteral("put %1%2>%3 %4")
                       .arg(QString(item->SourceFolder), QString(item->FileName),
                            QString(item->DestFolder))
                       .arg(item->Size);
        else
            out << QStringLiteral("get %1%2>%3")
                       .arg(QString(item->SourceFolder), QString(item->FileName),
                            QString(item->DestFolder));
    }
    if (!run.ReceiveMasks.isEmpty()) out << "masks=" + run.ReceiveMasks.join(u'|');
    if (run.Browse) out << "browse";
    if (!run.Errors.isEmpty()) out << QStringLiteral("errors=%1").arg(run.Errors.size());
    return out.join(u' ');
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir Dir_;
    QString D_;             // the folder the rows run in
    QTemporaryDir Runtime_; // where the program looks for a running instance

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(Dir_.isValid());
        D_ = Dir_.path();
        QDir(D_).mkdir("sub");
        for (const QString& name : {QString("a.txt"), QString("sub/b.txt")}) {
            QFile file(D_ + "/" + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("abc");
        }
        QCOMPARE(::mkfifo(QFile::encodeName(D_ + "/fifo").constData(), 0600), 0);
        // The program started below has no display and its own runtime folder.
        QVERIFY(Runtime_.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Runtime_.path()));
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            qunsetenv(name);
    }

    void parse_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, QStringList args, QString expected) {
            QTest::newRow(name) << args << expected;
        };
        row("separate value", {"-c", "somehost:2121"}, "host=somehost:2121");
        row("joined value", {"-csomehost:2121"}, "host=somehost:2121");
        row("slash alone", {"/c", "somehost"}, "host=somehost:21");
        row("slash joined is a path", {"/csomehost"}, "bad=1");
        row("host switch lower case only", {"-C", "h"}, "bad=2");
        row("other letters either case", {"-U", "ann", "-P", "pw"}, "user=ann pass=pw");
        row("blanks trimmed", {" -u ", " ann "}, "user=ann");
        row("consumed value is no switch", {"-p", "-uber"}, "pass=-uber");
        row("consumed slash value", {"-h", "/x"}, "hostdir=/x");
        row("flag ignores its tail", {"-xyz", "-D"}, "x d");
        row("trailing switch", {"-x", "-p"}, "x bad=1");
        row("lone host switch", {"-c"}, "bad=1");
        row("port zero", {"-c", "h:0"}, "errors=1");
        row("port too big", {"-ch:65536"}, "errors=1");
        row("port not a number", {"-ch:abc"}, "errors=1");
        row("highest port", {"-ch:65535"}, "host=h:65535");
        row("v6 with port", {"-c", "[::1]:2121"}, "host=::1:2121");
        row("v6 bare", {"-c", "fe80::1"}, "host=fe80::1:21");
        row("v6 unclosed", {"-c", "[::1:21"}, "errors=1");
        row("receive list keeps blanks", {"-r", "a.txt;b c.txt;;"}, "get=a.txt|b c.txt");
        row("relative send", {"-s", "a.txt"}, "put=" + D_ + "/a.txt");
        row("absolute send", {"-s", D_ + "/sub/b.txt"}, "put=" + D_ + "/sub/b.txt");
        row("bare name from -l", {"-s", "b.txt", "-l", "sub"},
            QStringLiteral("local=%1/sub put=%1/sub/b.txt").arg(D_));
        row("send refuses folder", {"-s", "sub;a.txt"}, "put=" + D_ + "/a.txt errors=1");
        row("send refuses fifo", {"-sfifo"}, "errors=1");
        row("send missing file", {"-s", "nothing.txt"}, "errors=1");
        row("usage", {"-?"}, "usage");
        row("long usage", {"--help"}, "usage");
        row("automation switch is no account", {"-Automation"}, "server=-Automation");
        row("url", {"ftp://h/pub/"}, "url=ftp://h/pub/");
    }
    void parse() {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        QCOMPARE(Describe(ParseCommandLine(args, D_)), expected);
    }

    void run_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, QStringList args, QString expected) {
            QTest::newRow(name) << args << expected;
        };
        row("no host, nothing", {"-r", "a.txt"}, "");
        row("anonymous", {"-c", "h"}, "anonymous/me@x.org browse");
        row("user without password", {"-c", "h", "-u", "ann"}, "ann/ browse");
        row("downloads", {"-c", "h", "-h", "/pub", "-r", "a.txt;sub\\b.txt;/etc/c"},
            "anonymous/me@x.org get /pub/a.txt>/loc/ get /pub/sub/b.txt>/loc/ get /etc/c>/loc/");
        row("download without host folder", {"-c", "h", "-l", "/dl", "-r", "a.txt"},
            "anonymous/me@x.org get a.txt>/dl/");
        row("masks browse", {"-c", "h", "-r", "*.txt;a?"},
            "anonymous/me@x.org masks=*.txt|a? browse");
        row("names and masks", {"-c", "h", "-r", "a.txt;*.log"},
            "anonymous/me@x.org get a.txt>/loc/ masks=*.log browse");
        row("folder as name", {"-c", "h", "-r", "sub/"}, "anonymous/me@x.org browse errors=1");
        row("both ways, no browsing",
            {"-c", "h", "-u", "u", "-p", "p", "-h", "up", "-r", "a", "-s", "a.txt"},
            "u/p get up/a>/loc/ put " + D_ + "/a.txt>up/ 3");
        row("upload only browses", {"-c", "h", "-s", "a.txt"},
            "anonymous/me@x.org put " + D_ + "/a.txt> 3 browse");
    }
    void run() {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        const TCommandLine commandLine = ParseCommandLine(args, D_);
        QCOMPARE(Describe(BuildCommandLineRun(commandLine, "me@x.org", "/loc", 0)), expected);
    }

    // The program itself, with an instance running: the usage goes to standard output
    // without a display; a mistake in the switches is told by the start that got it, on
    // standard error, and the running instance hears nothing.
    void program_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString usage = QStringLiteral("tolvar [-c host[:port]]");
        QTest::newRow("-?") << QStringList{"-?"} << 0 << usage << QString();
        QTest::newRow("--help") << QStringList{"-u", "ann", "--help"} << 0 << usage << QString();
        QTest::newRow("unknown switch") << QStringList{"-c", "h", "-z"} << 2 << QString()
                                        << QStringLiteral("tolvar: Unknown argument \"-z\".\n");
        QTest::newRow("value missing") << QStringList{"-c", "h", "-u"} << 2 << QString()
                                       << QStringLiteral("tolvar: The switch -u needs a value.\n");
        // The check of the rows above: a sound command line does reach the running one.
        QTest::newRow("handed over") << QStringList{"-c", "h"} << 1 << QString()
                                     << QStringLiteral("tolvar: already running");
    }
    void program() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        TSingleInstance running(Runtime_.path(), QStringLiteral("tolvar"));
        QVERIFY(running.Claim());
        QStringList handed;
        connect(&running, &TSingleInstance::Request, this,
                [&handed](const QStringList& arguments) { handed = arguments; });
        // The running instance answers from this thread's event loop while the program runs.
        // Only a hand-off needs a window system; the rows before it must do without.
        if (exitCode == 1) qputenv("QT_QPA_PLATFORM", "offscreen");
        auto started = std::async(std::launch::async, [&args] {
            return RunProgram(QStringLiteral(TOLVAR_PROGRAM), args, {}, 30000);
        });
        while (started.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
            QCoreApplication::processEvents();
        const TProgramRun run = started.get();
        qunsetenv("QT_QPA_PLATFORM");
        QCOMPARE(run.ExitCode, exitCode);
        QVERIFY2(QString::fromLocal8Bit(run.Out).startsWith(out), run.Out.constData());
        QVERIFY2(QString::fromLocal8Bit(run.Err).startsWith(err), run.Err.constData());
        if (err.isEmpty()) QCOMPARE(run.Err, QByteArray());
        QCoreApplication::processEvents();
        QCOMPARE(handed.isEmpty(), exitCode != 1);
    }

    void blankPassword() {
        QByteArray a0("tolvar"), a1("-u"), a2("ann"), a3("-psecret"), a4("-p"), a5("two");
        char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), a5.data()};
        BlankPasswordArguments(6, argv);
        QCOMPARE(QByteArray(argv[2]), QByteArray("ann"));
        QCOMPARE(QByteArray(argv[3]), QByteArray("xxxxxxxx"));
        QCOMPARE(QByteArray(argv[4]), QByteArray("-p"));
        QCOMPARE(QByteArray(argv[5]), QByteArray("xxx"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
