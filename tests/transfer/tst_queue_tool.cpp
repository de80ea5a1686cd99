// tolvar-ftp mget and mput end to end against pyftpdlib.
#include "PyftpdlibServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TstQueueTool : public QObject {
    Q_OBJECT

    TPyftpdlibServer Py;

    int Run(const QStringList& arguments, QByteArray* out = nullptr) {
        QProcess tool;
        tool.start(QStringLiteral(TOLVAR_FTP_PROGRAM),
                   QStringList{"--retries", "1", "--log"} + arguments);
        if (!tool.waitForFinished(60000)) {
            tool.kill();
            tool.waitForFinished(5000);
            return -1;
        }
        if (out) *out = tool.readAllStandardOutput();
        if (tool.exitCode() != 0) qInfo("%s", tool.readAllStandardError().constData());
        return tool.exitCode();
    }
    QString Url(const QString& path) const {
        return QStringLiteral("ftp://127.0.0.1:%1/%2").arg(Py.port()).arg(path);
    }

private Q_SLOTS:
    void initTestCase() {
        Py.setWritable(true);
        QVERIFY2(Py.start(), qPrintable(Py.errorText()));
        for (int i = 0; i < 3; ++i) {
            QFile file(Py.rootPath() + QStringLiteral("/f%1.txt").arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(1000 + i, char('a' + i)));
        }
        QDir(Py.rootPath()).mkdir(QStringLiteral("up"));
    }

    void mgetThenMputRoundTrip() {
        QTemporaryDir local;
        QByteArray out;
        QCOMPARE(Run({"mget", Url("f0.txt"), Url("f1.txt"), Url("f2.txt"), local.path()}, &out), 0);
        QVERIFY2(out.startsWith("items 3, done 3, cancelled 0, failed 0, pending 0; 3003 bytes"),
                 out.constData());
        QCOMPARE(QFileInfo(local.filePath("f2.txt")).size(), 1002);
        QCOMPARE(Run({"mput", local.filePath("f0.txt"), local.filePath("f1.txt"), Url("up/")}), 0);
        QCOMPARE(QFileInfo(Py.rootPath() + "/up/f1.txt").size(), 1001);
    }

    void anyItemNotDoneFailsTheRun() {
        QTemporaryDir local;
        QByteArray out;
        QCOMPARE(Run({"mget", Url("f0.txt"), Url("missing.txt"), local.path()}, &out), 1);
        QVERIFY2(out.startsWith("items 2, done 1, cancelled 0, failed 1"), out.constData());
        QCOMPARE(Run({"mput", local.filePath("f0.txt"), Url("no/such/")}), 1);
        QCOMPARE(Run({"mget", Url("f0.txt")}), 2); // no target folder
    }
};

QTEST_GUILESS_MAIN(TstQueueTool)
#include "tst_queue_tool.moc"
