// Queues moving four items at once against vsftpd on loopback, which enforces a cap on
// sessions per client (max_per_ip) and refuses any beyond it.
#include "TestFiles.h"
#include "TransferFakes.h"
#include "VsftpdServer.h"

#include <QtTest>

class TstQueueParallel : public QObject, TQueueFixture {
    Q_OBJECT
    TVsftpdServer Server;
    // The most busy items and pooled sessions seen at once, and the events with broken
    // counters: states that do not add up, or bytes done and left that do not make the
    // total (once every item is queued, while none is cancelled).
    int MaxBusy = 0, MaxSessions = 0, Faults = 0;
    int64_t Total = -1;

    bool Start(int maxPerIp, int rate = 0) {
        Server.setWritable(true);
        Server.setMaxPerIp(maxPerIp);
        Server.setMaxRate(rate);
        return Server.start();
    }
    // Files on both sides, named and filled by index: downloads even, uploads odd.
    void QueueFiles(int count, int size = 500) {
        int64_t total = 0;
        for (int i = 0; i < count; ++i) {
            const bool upload = i % 2 == 1;
            const QByteArray name = QByteArray(upload ? "u" : "d") + QByteArray::number(i);
            const QByteArray bytes = Pattern(size + 97 * i, i);
            QVERIFY(
                WriteFile(upload ? LocalPath(name) : Server.rootPath() + "/par/" + name, bytes));
            auto item = Item(Server.port(), "par/", name, bytes.size(), upload);
            QVERIFY(Queue->Add(item) >= 0);
            total += bytes.size();
        }
        Total = total;
    }
    void CheckRun(int files, int failed) {
        QVERIFY(WaitIdle(*Queue, 60000));
        QCOMPARE(Faults, 0);
        QCOMPARE(Queue->StateCount(isDone), files);
        QCOMPARE(Queue->StateCount(isError), failed);
        QCOMPARE(Queue->BytesDone, Total);
        QCOMPARE(Queue->BytesLeft, 0);
        for (int i = 0; i < files; ++i) {
            const QString name = QString(i % 2 ? "u" : "d") + QString::number(i);
            QCOMPARE(ReadFile(Server.rootPath() + "/par/" + name), ReadFile(LocalPath(name)));
        }
    }

private Q_SLOTS:
    void initTestCase() { SetUpAll(); }
    void init() {
        Settings = DefaultSettings();
        Settings.SimultaneousTransfers = 4;
        SetUp();
        MaxBusy = MaxSessions = Faults = 0;
        Total = -1;
        Queue->OnItemStart = Queue->OnItemProgress = Queue->OnItemFinished =
            Queue->OnItemStateChange = [this](TTransferItems* q, TTransferItem*) {
                MaxBusy = std::max(MaxBusy, q->StateCount(isBusy));
                MaxSessions = std::max(MaxSessions, int(q->Sessions().size()));
                Faults += !StatesAddUp(*q) || (Total >= 0 && !q->StateCount(isCancelled) &&
                                               q->BytesDone + q->BytesLeft != Total);
            };
    }
    void cleanup() {
        TearDown();
        Server.stop();
    }
    void cleanupTestCase() { TearDownAll(); }

    // Four at once both ways, never a fifth session. A server that lets in two refuses the
    // others; their items go back and the queue goes on with two.
    void sessionsPerServer_data() {
        QTest::addColumn<int>("maxPerIp");
        QTest::addColumn<int>("files");
        QTest::newRow("four let in") << 4 << 200;
        QTest::newRow("two let in") << 2 << 30;
    }
    void sessionsPerServer() {
        QFETCH(int, maxPerIp);
        QFETCH(int, files);
        QVERIFY2(Start(maxPerIp), qPrintable(Server.errorText()));
        QueueFiles(files);
        CheckRun(files, 0);
        QCOMPARE(MaxBusy, 4);
        QCOMPARE(MaxSessions, 4);
        QVERIFY(Queue->Sessions().size() <= maxPerIp);
        QCOMPARE(LogCount(*Queue, "The server refused another session") > 0, maxPerIp < 4);
    }

    // A cancelled busy item ends alone; re-submitted while the others run, it is counted
    // once; a missing file fails without holding anyone back.
    void cancelOneBusyItemLeavesTheOthersRunning() {
        QVERIFY2(Start(4, 150'000), qPrintable(Server.errorText()));
        QueueFiles(4, 400'000);
        auto missing = Item(Server.port(), "par/", "missing", 0);
        QVERIFY(Queue->Add(missing) >= 0);
        TTransferItem* first = Queue->Item(0);
        QTRY_VERIFY_WITH_TIMEOUT(Queue->StateCount(isBusy) == 4 && first->BytesDone > 0, 10000);
        first->Cancel();
        QTRY_COMPARE_WITH_TIMEOUT(first->State(), isCancelled, 5000);
        for (int i = 1; i < 4; ++i) // still running, or done by now
            QVERIFY(Queue->Item(i)->State() == isBusy || Queue->Item(i)->State() == isDone);
        first->SetState(isPending);
        Queue->ProcessNext();
        CheckRun(4, 1);
        QCOMPARE(Queue->CompletedCount, 6);
        QCOMPARE(Queue->FailedCount, 1);
    }

    // A log-on refused for good is tried by one session at a time, not four at once.
    void failingLogOnIsNotRepeatedAtOnce() {
        QVERIFY2(Start(4), qPrintable(Server.errorText()));
        for (int i = 0; i < 4; ++i) {
            auto item = Item(Server.port(), "par/", QByteArray::number(i), 1, false, "nobody");
            QVERIFY(Queue->Add(item) >= 0);
        }
        QVERIFY(WaitIdle(*Queue, 30000));
        QCOMPARE(Queue->StateCount(isError), 4);
        QCOMPARE(MaxSessions, 1);
    }
};

QTEST_GUILESS_MAIN(TstQueueParallel)
#include "tst_queue_parallel.moc"
