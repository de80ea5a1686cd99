// The queue file: a tolvar-ftp run killed in the middle goes on with "resume" exactly where
// it stopped (vsftpd on loopback, its rate capped so that a file is caught half written),
// and an unreadable queue file is set aside without harm.
#include "RunProgram.h"
#include "TestFiles.h"
#include "TransferFakes.h"
#include "VsftpdServer.h"

#include "transfer/QueueFile.h"
#include "transfer/TransferMonitor.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int FileCount = 50, FileSize = 300'000;

int64_t LocalBytes(const QString& folder, int* whole) {
    int64_t sum = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files)) {
        sum += file.size();
        *whole += file.size() == FileSize ? 1 : 0;
    }
    return sum;
}
} // namespace

class TestQueueFile : public QObject, TQueueFixture {
    Q_OBJECT
    TVsftpdServer Server;
    QTemporaryDir Work;
    QString Root;

private Q_SLOTS:
    void initTestCase() {
        SetUpAll();
        Server.setWritable(true);
        Server.setMaxRate(2'000'000); // a seventh of a second a file
        QVERIFY2(Server.start(), qPrintable(Server.errorText()));
        Root = QFileInfo(Server.rootPath()).canonicalFilePath();
        for (int i = 0; i < FileCount; ++i)
            QVERIFY(WriteFile(Root + "/f" + QString::number(i), Pattern(FileSize, i)));
    }

    void killedRunResumesWithoutRedoingAFile() {
        const QString local = Work.filePath("got"), queue = Work.filePath("queue.json");
        QVERIFY(QDir().mkpath(local));
        QStringList arguments{"--queue", queue, "mget"};
        for (int i = 0; i < FileCount; ++i)
            arguments
                << QStringLiteral("ftp://127.0.0.1:%1%2/f%3").arg(Server.port()).arg(Root).arg(i);
        // Killed (SIGKILL) at the time-out, with about a third of the files done.
        QCOMPARE(RunProgram(TOLVAR_FTP_PROGRAM, arguments << local, {}, 3000).ExitCode, -1);
        int whole = 0;
        const int64_t before = LocalBytes(local, &whole);
        QVERIFY(whole > 0 && whole < FileCount);
        QVERIFY(QFile::exists(queue));

        const TProgramRun run =
            RunProgram(TOLVAR_FTP_PROGRAM, {"--queue", queue, "resume"}, {}, 60000);
        QVERIFY2(run.ExitCode == 0, run.Err.constData());
        // Only what was missing moved: no file twice, the partial one from its length.
        const QRegularExpressionMatch summary =
            QRegularExpression("^items (\\d+), done (\\d+).*; (\\d+) bytes").match(run.Out);
        QVERIFY2(summary.hasMatch(), run.Out.constData());
        QCOMPARE(summary.captured(1).toInt(), FileCount - whole);
        QCOMPARE(summary.captured(2), summary.captured(1));
        QCOMPARE(summary.captured(3).toLongLong(), int64_t(FileCount) * FileSize - before);
        for (int i = 0; i < FileCount; ++i)
            QCOMPARE(ReadFile(local + "/f" + QString::number(i)), Pattern(FileSize, i));
        QVERIFY(!QFile::exists(queue));
    }

    void cleanupTestCase() { TearDownAll(); }

    // An upload that had begun goes on from the length the server has.
    void begunUploadGoesOnFromTheServersLength() {
        SetUp();
        const QByteArray data = Pattern(100'000, 9);
        QVERIFY(WriteFile(LocalPath("up.bin"), data) &&
                WriteFile(Root + "/up/up.bin", data.left(30'000)));
        TQueueFileContents saved;
        saved.Records.append(QJsonObject{{"host", "127.0.0.1"},
                                         {"port", Server.port()},
                                         {"user", "anonymous"},
                                         {"from", Local->path() + '/'},
                                         {"to", Root + "/up/"},
                                         {"name", "up.bin"},
                                         {"size", data.size()},
                                         {"upload", true},
                                         {"started", true}});
        QCOMPARE(RestoreQueueItems(saved, *Queue, Settings), 1);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(ReadFile(Root + "/up/up.bin"), data);
        QCOMPARE(LogCount(*Queue, "REST 30000"), 1);
        TearDown();
    }

    void unreadableQueueFileIsSetAside_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated")
            << QByteArray("{\"format\":\"tolvar-transfer-queue\",\"version\":1,\"saved\":1,"
                          "\"items\":[{\"host\":\"127.");
        QTest::newRow("a later version")
            << QByteArray("{\"format\":\"tolvar-transfer-queue\",\"version\":9,\"items\":[]}");
        QTest::newRow("an item without a name")
            << QByteArray("{\"format\":\"tolvar-transfer-queue\",\"version\":1,\"items\":[{"
                          "\"host\":\"h\",\"size\":1}]}");
    }
    void unreadableQueueFileIsSetAside() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString queue = dir.filePath("queue.json");
        QVERIFY(WriteFile(queue, content));
        const TProgramRun run = RunProgram(TOLVAR_FTP_PROGRAM, {"--queue", queue, "resume"});
        QCOMPARE(run.ExitCode, 1);
        QVERIFY2(run.Err.contains("set aside as " + QFile::encodeName(queue) + ".bad"),
                 run.Err.constData());
        QVERIFY(!QFile::exists(queue));
        QCOMPARE(ReadFile(queue + ".bad"), content);
    }

    // The start's question: the items come back in their order, go, or wait in the file for
    // a later start, written along with new ones; the password never in clear.
    void startQuestion_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("queued");
        QTest::addColumn<int>("written"); // records after one more item
        QTest::newRow("resume") << int(TSavedQueueChoice::Resume) << 3 << 3;
        QTest::newRow("discard") << int(TSavedQueueChoice::Discard) << 1 << 1;
        QTest::newRow("later") << int(TSavedQueueChoice::Later) << 1 << 3;
    }
    void startQuestion() {
        QFETCH(int, choice);
        QFETCH(int, queued);
        QFETCH(int, written);
        SetUp();
        TFakeHostView view; // holds the items back, as a batch being queued does
        view.Batch = true;
        Queue->HostView = &view;
        TTransferMonitor monitor(TransferItemsList());
        const QString path = QueueFilePath(LocalPath("Tolvar.ini"));
        const auto add = [&](const QByteArray& name) {
            auto item = Item(Server.port(), "/pub/", name, 10, false, "anonymous", "secret");
            return Queue->Add(item) >= 0;
        };
        {
            TQueueStore store(monitor, path);
            QVERIFY(add("a") && add("b \xff"));
            store.Flush();
            Queue->Move(1, 0);
        } // gone with what it had not written yet
        Queue->Clear();
        QVERIFY(!ReadFile(path).contains("secret") && ReadFile(path).size() < 2 * 1024);
        int asked = 0;
        const auto ask = [&](int count) {
            asked = count;
            return TSavedQueueChoice(choice);
        };
        TQueueStore store(monitor, path, OpenSavedQueue(path, ask, *Queue, Settings).Kept);
        QVERIFY(add("c"));
        store.Flush();
        QCOMPARE(asked, 2);
        QCOMPARE(Queue->Count(), queued);
        QCOMPARE(Queue->Item(0)->FileName, queued > 1 ? "b \xff" : "c"); // moved first
        QCOMPARE(Queue->Item(0)->Password, QByteArray("secret"));
        QCOMPARE(ReadQueueFile(path).Records.size(), written);
        Queue->HostView = nullptr;
        TearDown();
    }
};

QTEST_GUILESS_MAIN(TestQueueFile)
#include "tst_queue_file.moc"
