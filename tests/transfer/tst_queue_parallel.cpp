// Queues moving several items at once against vsftpd on loopback, which enforces a cap on
// sessions per client (max_per_ip) and refuses any beyond it.
#include "TestFiles.h"
#include "TransferFakes.h"
#include "VsftpdServer.h"

#include <QtTest>

class TstQueueParallel : public QObject, TQueueFixture {
    Q_OBJECT

    // The most busy items and pooled sessions seen at once, and any broken counter.
    int MaxBusy = 0, MaxSessions = 0;
    QStringList Faults;
    int64_t Total = -1; // checked once every item is queued, while none is cancelled

    void Watch() {
        MaxBusy = MaxSessions = 0;
        Faults.clear();
        Total = -1;
        Queue->OnItemStart = Queue->OnItemProgress = Queue->OnItemFinished =
            Queue->OnItemStateChange = [this](TTransferItems* q, TTransferItem*) {
                MaxBusy = std::max(MaxBusy, q->StateCount(isBusy));
                MaxSessions = std::max(MaxSessions, int(q->Sessions().size()));
                if (!StatesAddUp(*q)) Faults << "states do not add up";
                if (Total >= 0 && !q->StateCount(isCancelled) &&
                    q->BytesDone + q->BytesLeft != Total)
                    Faults
                        << QStringLiteral("done %1 + left %2").arg(q->BytesDone).arg(q->BytesLeft);
            };
    }
    bool Start(TVsftpdServer& server, int maxPerIp, int rate = 0) {
        server.setWritable(true);
        server.setMaxPerIp(maxPerIp);
        server.setMaxRate(rate);
        return server.start();
    }
    // Files on both sides, named and filled by index; downloads first, then uploads.
    void Queue200(TVsftpdServer& server, int count, int size = 500) {
        int64_t total = 0;
        for (int i = 0; i < count; ++i) {
            const bool upload = i % 2 == 1;
            const QByteArray name = QByteArray(upload ? "u" : "d") + QByteArray::number(i);
            const QByteArray bytes = Pattern(size + 97 * i, i);
            QVERIFY(
                WriteFile(upload ? LocalPath(name) : server.rootPath() + "/par/" + name, bytes));
            auto item = Item(server.port(), "par/", name, bytes.size(), upload);
            QVERIFY(Queue->Add(item) >= 0);
            total += bytes.size();
        }
        Total = total;
    }
    void CheckFiles(TVsftpdServer& server, int count) {
        for (int i = 0; i < count; ++i) {
            const QString name = QString(i % 2 ? "u" : "d") + QString::number(i);
            QCOMPARE(ReadFile(server.rootPath() + "/par/" + name), ReadFile(LocalPath(name)));
        }
    }

private Q_SLOTS:
    void initTestCase() { SetUpAll(); }
    void init() {
        Settings = DefaultSettings();
        Settings.SimultaneousTransfers = 4;
        SetUp();
        Watch();
    }
    void cleanup() { TearDown(); }
    void cleanupTestCase() { TearDownAll(); }

    // Four at once both ways, never a fifth session (vsftpd would refuse it), counters exact.
    void fourAtOnceBothWays() {
        TVsftpdServer server;
        QVERIFY2(Start(server, 4), qPrintable(server.errorText()));
        Queue200(server, 200);
        QVERIFY(WaitIdle(*Queue, 60000));
        QVERIFY2(Faults.isEmpty(), qPrintable(Faults.join("; ")));
        QCOMPARE(Queue->StateCount(isDone), 200);
        QCOMPARE(Queue->CompletedCount, 200);
        QCOMPARE(Queue->BytesDone, Total);
        QCOMPARE(Queue->BytesLeft, 0);
        QCOMPARE(MaxBusy, 4);
        QCOMPARE(MaxSessions, 4);
        QCOMPARE(LogCount(*Queue, "The server refused"), 0);
        CheckFiles(server, 200);
    }

    // A cancelled busy item ends alone; re-submitted while the others run, it is counted
    // once; a missing file fails without holding anyone back.
    void cancelOneBusyItemLeavesTheOthersRunning() {
        TVsftpdServer server;
        QVERIFY2(Start(server, 4, 150'000), qPrintable(server.errorText()));
        Queue200(server, 4, 400'000);
        auto missing = Item(server.port(), "par/", "missing", 0);
        QVERIFY(Queue->Add(missing) >= 0);
        TTransferItem* first = Queue->Item(0);
        QTRY_VERIFY_WITH_TIMEOUT(Queue->StateCount(isBusy) == 4 && first->BytesDone > 0, 10000);
        first->Cancel();
        QTRY_COMPARE_WITH_TIMEOUT(first->State(), isCancelled, 5000);
        for (int i = 1; i < 4; ++i) // still running, or done by now
            QVERIFY(Queue->Item(i)->State() == isBusy || Queue->Item(i)->State() == isDone);
        first->SetState(isPending);
        Queue->ProcessNext();
        QVERIFY(WaitIdle(*Queue, 30000));
        QVERIFY2(Faults.isEmpty(), qPrintable(Faults.join("; ")));
        QCOMPARE(Queue->StateCount(isDone), 4);
        QCOMPARE(Queue->StateCount(isError), 1);
        QCOMPARE(Queue->CompletedCount, 6);
        QCOMPARE(Queue->FailedCount, 1);
        QCOMPARE(Queue->BytesDone, Total);
        QCOMPARE(Queue->BytesLeft, 0);
        CheckFiles(server, 4);
    }

    // Two sessions allowed: the refused ones give their items back and the queue goes on
    // with two. A log-on refused for good is tried by one session at a time, not four.
    void refusedSessionsWait() {
        TVsftpdServer server;
        QVERIFY2(Start(server, 2), qPrintable(server.errorText()));
        Queue200(server, 30);
        QVERIFY(WaitIdle(*Queue, 60000));
        QVERIFY2(Faults.isEmpty(), qPrintable(Faults.join("; ")));
        QCOMPARE(Queue->StateCount(isDone), 30);
        QCOMPARE(Queue->BytesDone, Total);
        QVERIFY(LogCount(*Queue, "The server refused another session") >= 1);
        QVERIFY(Queue->Sessions().size() <= 2);
        CheckFiles(server, 30);

        MaxSessions = 0;
        for (int i = 0; i < 4; ++i) {
            auto item = Item(server.port(), "par/", "d" + QByteArray::number(2 * i), 1, false,
                             "nobody", "wrong");
            QVERIFY(Queue->Add(item) >= 0);
        }
        QVERIFY(WaitIdle(*Queue, 30000));
        QCOMPARE(Queue->StateCount(isError), 4);
        QCOMPARE(MaxSessions, 1);
    }
};

QTEST_GUILESS_MAIN(TstQueueParallel)
#include "tst_queue_parallel.moc"
