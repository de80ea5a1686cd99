// tolvar-ftp's walks and its rule for existing files against vsftpd on loopback: mget -r
// and mput -r copy whole trees, an existing file is skipped (exit 2) unless --overwrite,
// --resume or --newer says otherwise, and get and put follow the same rule.
#include "RunProgram.h"
#include "TestFiles.h"
#include "VsftpdServer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

using TFiles = QMap<QString, QByteArray>;

enum TDates { SameDates, OlderSource, NewerSource };

const QDateTime LongAgo(QDate(2020, 1, 2), QTime(12, 0), Qt::UTC);

} // namespace

class TestToolWalks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        Server.setWritable(true);
        QVERIFY2(Server.start(), qPrintable(Server.errorText()));
        Root = QFileInfo(Server.rootPath()).canonicalFilePath();
    }

    void existingFiles_data() {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<QStringList>("options");
        // The existing file is shorter than the source; its own bytes show a resume.
        QTest::addColumn<bool>("partial");
        QTest::addColumn<int>("dates");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("replaced");
        for (const bool upload : {true, false}) {
            const QByteArray verb = upload ? "mput -r" : "mget -r";
            const auto row = [&](const char* what, const QStringList& options, bool partial,
                                 int dates, int exitCode, bool replaced) {
                QTest::newRow(verb + ' ' + what)
                    << upload << options << partial << dates << exitCode << replaced;
            };
            row("skips an existing file", {}, false, SameDates, 2, false);
            row("--overwrite", {"--overwrite"}, false, SameDates, 0, true);
            row("--resume finishes a partial file", {"--resume"}, true, SameDates, 0, true);
            row("--newer keeps a newer file", {"--newer"}, false, OlderSource, 0, false);
            row("--newer replaces an older file", {"--newer"}, false, NewerSource, 0, true);
        }
    }
    void existingFiles() {
        QFETCH(bool, upload);
        QFETCH(QStringList, options);
        QFETCH(bool, partial);
        QFETCH(int, dates);
        QFETCH(int, exitCode);
        QFETCH(bool, replaced);
        static int rowNumber = 0;
        const QString row = QStringLiteral("/row%1").arg(++rowNumber);
        const QString localRow = Local.path() + row, remoteRow = Root + row;
        const QString source = (upload ? localRow : remoteRow) + "/tree";
        const QString dest = (upload ? remoteRow : localRow) + "/tree";
        const QByteArray a = Pattern(300'000, 1);
        QVERIFY(WriteFile(source + "/a.bin", a));
        QVERIFY(WriteFile(source + "/sub/b.bin", Pattern(70'000, 2)));
        QVERIFY(WriteFile(source + "/sub/deeper/c.txt", "three levels down\n"));
        const QByteArray old = Pattern(partial ? 120'000 : 5'000, 9);
        QVERIFY(WriteFile(dest + "/a.bin", old));
        if (dates != SameDates)
            QVERIFY(SetModified((dates == OlderSource ? source : dest) + "/a.bin", LongAgo));

        const QStringList command = upload
                                        ? QStringList{"mput", "-r", source, Url(row + "/")}
                                        : QStringList{"mget", "-r", Url(row + "/tree/"), localRow};
        const TProgramRun run = Run(options + command);
        QVERIFY2(run.ExitCode == exitCode, run.Err.constData());
        QVERIFY2(run.Out.startsWith("items "), run.Out.constData());
        TFiles expected = FilesUnder(source);
        if (!replaced)
            expected["a.bin"] = old;
        else if (partial)
            expected["a.bin"] = old + a.mid(old.size());
        QCOMPARE(FilesUnder(dest), expected);
        QCOMPARE(run.Err.contains("\"a.bin\" exists at the destination; skipped."), exitCode == 2);
    }

    void getAndPut_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("file"); // the destination after the run
        QTest::addColumn<QByteArray>("content");
        const QString kept = Local.filePath("kept.bin"), part = Local.filePath("part.bin");
        QVERIFY(WriteFile(kept, "keep me"));
        QVERIFY(WriteFile(Root + "/single/remote.bin", Pattern(50'000, 4)));
        QVERIFY(WriteFile(part, Pattern(90'000, 5)));
        QVERIFY(WriteFile(Root + "/single/part.bin", Pattern(30'000, 6)));
        QTest::newRow("get onto an existing file skips")
            << QStringList{"get", Url("/single/remote.bin"), kept} << 2 << kept
            << QByteArray("keep me");
        // The server refuses before the local file could be emptied.
        QTest::newRow("get --overwrite of a missing file keeps the local one")
            << QStringList{"--overwrite", "get", Url("/single/missing.bin"), kept} << 1 << kept
            << QByteArray("keep me");
        QTest::newRow("put --resume finishes the remote file")
            << QStringList{"--resume", "put", part, Url("/single/part.bin")} << 0
            << Root + "/single/part.bin" << Pattern(30'000, 6) + Pattern(90'000, 5).mid(30'000);
    }
    void getAndPut() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        const TProgramRun run = Run(arguments);
        QVERIFY2(run.ExitCode == exitCode, run.Err.constData());
        QCOMPARE(ReadFile(file), content);
    }

    void walksLeaveLinksAndSpecialFiles() {
        // A link to a folder on the server is never walked: it may lead anywhere.
        QVERIFY(WriteFile(Root + "/elsewhere/secret.bin", "outside"));
        QVERIFY(WriteFile(Root + "/linked/tree/file.bin", "inside"));
        QVERIFY(QFile::link(Root + "/elsewhere", Root + "/linked/tree/lnk"));
        const QString down = Local.filePath("down");
        QVERIFY(QDir().mkpath(down));
        TProgramRun run = Run({"mget", "-r", Url("/linked/tree/"), down});
        QVERIFY2(run.ExitCode == 0, run.Err.constData());
        QCOMPARE(FilesUnder(down), (TFiles{{"tree/file.bin", "inside"}}));

        // A FIFO would block the upload for ever; it is left out with a message.
        const QString up = Local.filePath("up/tree");
        QVERIFY(WriteFile(up + "/file.bin", "regular"));
        QCOMPARE(::mkfifo(QFile::encodeName(up + "/pipe").constData(), 0600), 0);
        QVERIFY(QDir().mkpath(Root + "/fifo"));
        run = Run({"mput", "-r", up, Url("/fifo/")});
        QVERIFY2(run.ExitCode == 0, run.Err.constData());
        QVERIFY2(run.Err.contains("\"pipe\" is not a regular file"), run.Err.constData());
        QCOMPARE(FilesUnder(Root + "/fifo"), (TFiles{{"tree/file.bin", "regular"}}));
    }

private:
    // vsftpd runs unchrooted here: the server's paths are the real ones.
    QString Url(const QString& path) const {
        return QStringLiteral("ftp://127.0.0.1:%1%2%3").arg(Server.port()).arg(Root, path);
    }
    TProgramRun Run(const QStringList& arguments) {
        return RunProgram(QStringLiteral(TOLVAR_FTP_PROGRAM),
                          QStringList{QStringLiteral("--retries"), QStringLiteral("1")} +
                              arguments);
    }
    TVsftpdServer Server;
    QString Root;
    QTemporaryDir Local;
};

QTEST_GUILESS_MAIN(TestToolWalks)
#include "tst_tool_walks.moc"
