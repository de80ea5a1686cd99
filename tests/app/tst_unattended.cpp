// The real program run from the command line, offscreen, against vsftpd: unattended runs
// with their exit statuses, and a second start handing its work to the first.
#include "LoopbackServerProcess.h"
#include "RunProgram.h"
#include "TestFiles.h"
#include "VsftpdServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TTestUnattended : public QObject {
    Q_OBJECT
private:
    TVsftpdServer Server;
    QTemporaryDir Home;
    QString Local, Upload;

    // Private settings, site list, registry and runtime folder for every start.
    QStringList Private(QStringList arguments) const {
        return QStringList{"-i", Home.filePath("Tolvar.ini"), "-n", Home.filePath("Sites.ini")} +
               arguments;
    }
    QStringList Connection() const {
        return {"-c", QStringLiteral("127.0.0.1:%1").arg(Server.port()), "-h",
                Server.rootPath() + "/"};
    }
    TProgramRun Run(const QStringList& arguments) const {
        return RunProgram(QStringLiteral(TOLVAR_PROGRAM), Private(arguments), {}, 60000);
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Home.filePath("run")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Home.filePath("config")));
        QVERIFY(QDir().mkpath(Home.filePath("run")));
        QFile(Home.filePath("run"))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
        // No site manager at start: nobody would close it.
        QVERIFY(WriteFile(Home.filePath("Tolvar.ini"),
                          "[Connection]\r\nShowManager=0\r\nRetries=1\r\n"));
        Server.setWritable(true);
        QVERIFY(WriteFile(Server.rootPath() + "/a.txt", Pattern(70000, 3)));
        QVERIFY(WriteFile(Server.rootPath() + "/b c.txt", Pattern(1234, 4)));
        QVERIFY2(Server.start(), qPrintable(Server.errorText()));
        Upload = Home.filePath("send me.bin");
        QVERIFY(WriteFile(Upload, Pattern(90000, 5)));
    }
    void init() {
        Local = Home.filePath(QStringLiteral("local-%1").arg(QTest::currentTestFunction()) +
                              QTest::currentDataTag());
        QVERIFY(QDir().mkpath(Local));
        QFile::remove(Server.rootPath() + "/send me.bin");
    }

    void exitStatus_data() {
        QTest::addColumn<QString>("receive");
        QTest::addColumn<bool>("send");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("arrived");
        QTest::newRow("two files and a send")
            << "a.txt;b c.txt" << true << 0 << QStringList{"a.txt", "b c.txt"};
        QTest::newRow("one missing") << "a.txt;missing.txt" << false << 2 << QStringList{"a.txt"};
        QTest::newRow("mask and a send") << "*.txt" << true << 0 << QStringList{"a.txt", "b c.txt"};
        QTest::newRow("mask matching nothing") << "*.none" << false << 2 << QStringList{};
    }
    void exitStatus() {
        QFETCH(QString, receive);
        QFETCH(bool, send);
        QFETCH(int, status);
        QFETCH(QStringList, arrived);
        QStringList arguments = Connection() + QStringList{"-r", receive, "-l", Local, "-x"};
        if (send) arguments << "-s" << Upload;
        const TProgramRun run = Run(arguments);
        QVERIFY2(run.ExitCode == status, run.Err.constData());
        for (const QString& name : arrived)
            QCOMPARE(ReadFile(Local + "/" + name), ReadFile(Server.rootPath() + "/" + name));
        QCOMPARE(QDir(Local).entryList(QDir::Files).size(), arrived.size());
        if (send) QCOMPARE(ReadFile(Server.rootPath() + "/send me.bin"), ReadFile(Upload));
    }

    void nothingToDo() { QCOMPARE(Run({"-x"}).ExitCode, 2); }

    void secondStartHandsOver() {
        QProcess first;
        first.setWorkingDirectory(Local);
        first.start(QStringLiteral(TOLVAR_PROGRAM), Private({}));
        QVERIFY(first.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(Home.filePath("run")).entryList(QDir::System).isEmpty(),
                                 15000);
        const QString other = Local + "/other";
        QVERIFY(QDir().mkpath(other));
        // A name and a mask, both fetched into the -l folder of the second start.
        const TProgramRun second =
            Run(Connection() + QStringList{"-r", "b c.txt;a.*", "-l", other});
        QCOMPARE(second.ExitCode, 1);
        QCOMPARE(second.Err.count('\n'), 1);
        QTRY_COMPARE_WITH_TIMEOUT(ReadFile(other + "/b c.txt"),
                                  ReadFile(Server.rootPath() + "/b c.txt"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(ReadFile(other + "/a.txt"),
                                  ReadFile(Server.rootPath() + "/a.txt"), 20000);
        // An ftp:// link with a mask fetches into the first window's folder, which the
        // hand-over above left where the user had it.
        const QString url =
            QStringLiteral("ftp://127.0.0.1:%1%2/a.*").arg(Server.port()).arg(Server.rootPath());
        QCOMPARE(Run({url}).ExitCode, 1);
        QTRY_COMPARE_WITH_TIMEOUT(ReadFile(Local + "/a.txt"),
                                  ReadFile(Server.rootPath() + "/a.txt"), 20000);
        QVERIFY(!QFileInfo::exists(Local + "/b c.txt"));

        // A killed instance leaves its socket behind; the next start is not blocked by it.
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(Run({"-x"}).ExitCode, 2);
    }
};

QTEST_MAIN(TTestUnattended)
#include "tst_unattended.moc"
