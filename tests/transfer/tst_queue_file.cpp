// The queue file: a tolvar-ftp run killed in the middle goes on with "resume" exactly where
// it stopped (vsftpd on loopback, its rate capped so that files are caught half written),
// and an unreadable queue file is set aside without harm.
#include "RunProgram.h"
#include "TestFiles.h"
#include "TransferFakes.h"
#include "VsftpdServer.h"

#include "transfer/QueueFile.h"
#include "transfer/TransferMonitor.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {
constexpr int FileCount = 50, FileSize = 300'000;

int64_t LocalBytes(const QString& folder, int* whole = nullptr, int* partial = nullptr) {
    int64_t sum = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files)) {
        sum += file.size();
        if (whole && file.size() == FileSize) ++*whole;
        if (partial && file.size() > 0 && file.size() < FileSize) ++*partial;
    }
    return sum;
}
} // namespace

class TestQueueFile : public QObject {
    Q_OBJECT
    TVsftpdServer Server;
    QTemporaryDir Work;
    QString Root;

    QStringList Urls() const {
        QStringList urls;
        for (int i = 0; i < FileCount; ++i)
            urls << QStringLiteral("ftp://127.0.0.1:%1%2/f%3").arg(Server.port()).arg(Root).arg(i);
        return urls;
    }

private Q_SLOTS:
    void initTestCase() {
        Server.setMaxRate(2'000'000); // a seventh of a second a file
        QVERIFY2(Server.start(), qPrintable(Server.errorText()));
        Root = QFileInfo(Server.rootPath()).canonicalFilePath();
        for (int i = 0; i < FileCount; ++i)
            QVERIFY(WriteFile(Root + "/f" + QString::number(i), Pattern(FileSize, i)));
    }

    void killedRunResumesWithoutRedoingAFile() {
        const QString local = Work.filePath("got"), queue = Work.filePath("queue.json");
        QVERIFY(QDir().mkpath(local));
        QList<QByteArray> words{TOLVAR_FTP_PROGRAM,       "--retries", "1", "--queue",
                                QFile::encodeName(queue), "mget"};
        for (const QString& url : Urls())
            words << url.toUtf8();
        words << QFile::encodeName(local);
        std::vector<char*> argv;
        for (QByteArray& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        QCOMPARE(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        // Killed with a third done and a file half written.
        int whole = 0, partial = 0;
        const bool caught = QTest::qWaitFor(
            [&] {
                whole = partial = 0;
                LocalBytes(local, &whole, &partial);
                return whole >= FileCount / 3 && partial == 1;
            },
            30000);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        QVERIFY(caught);
        const int64_t before = LocalBytes(local, &(whole = 0));
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

    void unreadableQueueFileIsSetAside_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated")
            << QByteArray("{\"format\":\"tolvar-transfer-queue\",\"version\":1,\"saved\":1,"
                          "\"items\":[{\"host\":\"127.");
        QTest::newRow("another program's") << QByteArray("{\"format\":\"other\",\"items\":[]}");
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

    // The start's question: the items come back, go, or wait in the file for a later start,
    // written along with new ones; the password never in clear.
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
        QTemporaryDir dir;
        const QString path = QueueFilePath(dir.filePath("Tolvar.ini"));
        TSettings settings = DefaultSettings();
        TransferItemsList().SetSettings(&settings);
        TFakeHostView view; // holds the queue's items back, as a batch being queued does
        view.Batch = true;
        const auto item = [&](const QByteArray& name) {
            auto made = std::make_unique<TTransferItem>();
            made->Host = "127.0.0.1";
            made->Port = Server.port();
            made->User = "anonymous";
            made->Password = "secret";
            made->FileName = name;
            made->SourceFolder = "/pub/";
            made->DestFolder = QFile::encodeName(dir.path()) + '/';
            made->Size = 10;
            return made;
        };
        {
            TTransferMonitor monitor(TransferItemsList());
            TTransferItems queue(&TransferItemsList());
            queue.HostView = &view;
            TQueueStore store(monitor, path);
            for (const QByteArray name : {"a", "b \xff"}) {
                auto made = item(name);
                QVERIFY(queue.Add(made) >= 0);
            }
            store.Flush();
            queue.HostView = nullptr;
        }
        QVERIFY(!ReadFile(path).contains("secret"));
        QVERIFY(ReadFile(path).size() < 2 * 1024);

        TTransferMonitor monitor(TransferItemsList());
        TTransferItems queue(&TransferItemsList());
        queue.HostView = &view;
        int asked = 0;
        const TSavedQueueStart start = OpenSavedQueue(
            path,
            [&](int count) {
                asked = count;
                return TSavedQueueChoice(choice);
            },
            queue, settings);
        QCOMPARE(asked, 2);
        TQueueStore store(monitor, path, start.Kept);
        auto made = item("c");
        QVERIFY(queue.Add(made) >= 0);
        store.Flush();
        QCOMPARE(queue.Count(), queued);
        QCOMPARE(queue.Item(queued > 1 ? 1 : 0)->FileName, queued > 1 ? "b \xff" : "c");
        QCOMPARE(queue.Item(0)->Password, QByteArray("secret"));
        QCOMPARE(ReadQueueFile(path).Records.size(), written);
        queue.HostView = nullptr;
        TransferItemsList().SetSettings(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestQueueFile)
#include "tst_queue_file.moc"
