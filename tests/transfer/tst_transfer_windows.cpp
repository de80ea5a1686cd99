// The progress window, the transfer manager and the monitor behind them, over queues that
// download from a real pyftpdlib on loopback.
#include "PyftpdlibServer.h"
#include "TestFiles.h"
#include "TransferFakes.h"
#include "listing/DebugLog.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferMonitor.h"
#include "transfer/windows/TransferManagerModel.h"
#include "transfer/windows/TransferManagerWindow.h"
#include "transfer/windows/TransferProgressWindow.h"
#include "views/ViewFormat.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDir>
#include <QLocale>
#include <QTabBar>
#include <QTreeView>
#include <QtTest>

namespace {

struct TStatus {
    TTransferItems* Queue;
    QByteArray File;
    int Code;
    TTransferItems* Shown; // the progress window's queue at the time
};

} // namespace

class TstTransferWindows : public QObject, TQueueFixture {
    Q_OBJECT

    TPyftpdlibServer Py;
    TRecordingMainWindow MainWindow;
    std::unique_ptr<TTransferMonitor> Monitor;
    std::unique_ptr<TfrmTransfer> Progress;
    std::unique_ptr<TfrmTransferMngr> Manager;
    QList<TStatus> Statuses;
    QList<TTransferItems*> Queues;

    TTransferItems* NewQueue(const QString& name) {
        TTransferItems* queue = TransferItemsList().AddQueue();
        queue->SetName(name);
        Queues << queue;
        return queue;
    }
    int StatusCount(int code, TTransferItems* queue = nullptr) const {
        return static_cast<int>(std::count_if(Statuses.cbegin(), Statuses.cend(), [&](auto& s) {
            return s.Code == code && (!queue || s.Queue == queue);
        }));
    }
    TTransferItems* Add(TTransferItems* queue, const QByteArray& folder, const QByteArray& name,
                        int64_t size) {
        auto item = Item(Py.port(), folder, name, size);
        [&] { QVERIFY(queue->Add(item) >= 0); }();
        return queue;
    }
    // Right-clicks the manager's row of the item, as the user does before the menu opens.
    void RightClick(const TTransferItem* item) {
        const QModelIndex row = Manager->Filter()->mapFromSource(Manager->Model()->IndexOf(item));
        QTreeView* list = Manager->List();
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, list->visualRect(row).center());
    }
    void Menu(const char* action) { Manager->findChild<QAction*>(action)->trigger(); }
    QString StatusText(const TTransferItem* item) const {
        return Manager->Model()->IndexOf(item, TTransferManagerModel::colStatus).data().toString();
    }

private Q_SLOTS:
    void initTestCase() {
        QLocale::setDefault(QLocale::c());
        SetUpAll();
        Py.setWritable(true);
        QVERIFY2(Py.start(), qPrintable(Py.errorText()));
    }
    void init() {
        Settings = DefaultSettings();
        Local = std::make_unique<QTemporaryDir>();
        Monitor = std::make_unique<TTransferMonitor>(TransferItemsList());
        Monitor->OnStatus = [this](TTransferItems* queue, TTransferItem* item, int code) {
            Statuses.append(
                {queue, item ? item->FileName : QByteArray(), code, Progress->CurrentQueue()});
        };
        Progress = std::make_unique<TfrmTransfer>(*Monitor);
        Manager = std::make_unique<TfrmTransferMngr>(*Monitor);
        TransferItemsList().SetWindows({&MainWindow, Progress.get(), Manager.get()});
        new QAbstractItemModelTester(Manager->Model(),
                                     QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     Manager.get());
        new QAbstractItemModelTester(Manager->Filter(),
                                     QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     Manager.get());
    }
    void cleanup() {
        qDeleteAll(std::exchange(Queues, {}));
        TransferItemsList().SetWindows({});
        Manager.reset();
        Progress.reset();
        Monitor.reset();
        Statuses.clear();
        Local.reset();
        QTest::qWait(50);
    }
    void cleanupTestCase() { TearDownAll(); }

    void texts_data() {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("minutes") << DurationText(95) << "1:35";
        QTest::newRow("hours") << DurationText(3725) << "1:02:05";
        QTest::newRow("negative") << DurationText(-1) << "0:00";
        QTest::newRow("bytes") << RateText(1023) << "1023 Bytes";
        QTest::newRow("kilobytes") << RateText(1536) << "1.50 KB";
        TTransferItem busy;
        busy.Size = 2500;
        busy.BytesDone = 1000;
        busy.SetState(isBusy);
        QTest::newRow("busy") << ItemStatusText(busy) << "1,000 bytes copied, 40% done";
        busy.Upload = true;
        busy.SetState(isPending);
        QTest::newRow("pending upload") << ItemStatusText(busy) << "Upload Pending";
        busy.SetState(isError);
        busy.ErrorText = "550 Permission denied.";
        QTest::newRow("error with reason")
            << ItemStatusText(busy) << "Aborted due to Error: 550 Permission denied.";
        QTest::newRow("none failed") << FailedRunText(0, 11) << "";
        QTest::newRow("one of one") << FailedRunText(1, 1) << "1 of 1 file failed";

        // A file resumed at 6,000 of 10,000 bytes has moved 2,000 in 2 s: 2 s to go at
        // 1,000 bytes a second, not the 4,000 the file's whole length would suggest.
        TTransferItems queue;
        TTransferItem resumed;
        const uint64_t now = 100'000;
        resumed.Size = 10'000;
        resumed.StartOffset = 6'000;
        resumed.BytesDone = 8'000;
        resumed.StartTick = queue.StartTick = now - 2'000;
        queue.BytesDone = 8'000;
        queue.BytesLeft = 2'000;
        queue.BytesMoved = 2'000;
        TProgressFigures f = ComputeProgressFigures(queue, resumed, now);
        QTest::newRow("resumed rate") << f.Rate << "1000 Bytes";
        QTest::newRow("resumed file") << f.CurrentRemaining << "0:02 remaining";
        QTest::newRow("status") << f.Status
                                << "80% Transferred (file 1/1), 0:02 remaining at 1000 Bytes/sec";
        // A busy file silent for half the time-out says so instead of a remaining time.
        resumed.SetState(isBusy);
        resumed.LastProgressTick = now - EngineSettings().TimeOut / 2;
        f = ComputeProgressFigures(queue, resumed, now);
        QTest::newRow("stalled") << f.Status << "80% Transferred (file 1/1), stalled";
        resumed.SetState(isPending);
        resumed.BytesDone = resumed.StartOffset; // just started
        f = ComputeProgressFigures(queue, resumed, resumed.StartTick);
        QTest::newRow("just started") << f.CurrentRemaining << "0:00 remaining";
        // Half a second in, a quarter done: 1.5 s to go, not nothing.
        resumed.BytesDone = 7'000;
        f = ComputeProgressFigures(queue, resumed, resumed.StartTick + 500);
        QTest::newRow("first second") << f.CurrentRemaining << "0:02 remaining";
        // Three files running at once and two waiting after one done: six in the run.
        TTransferItems parallel;
        for (TItemState state : {isBusy, isBusy, isBusy, isPending, isPending}) {
            auto item = std::make_unique<TTransferItem>();
            item->FileName = QByteArray::number(parallel.Count());
            TTransferItem* added = item.get();
            parallel.Add(item);
            added->SetState(state);
        }
        parallel.CompletedCount = 1;
        f = ComputeProgressFigures(parallel, *parallel.Item(0), now);
        QTest::newRow("parallel count") << f.FileCount << "File 2 of 6";

        // Half the time-out without a byte is "stalled"; no time-out, never.
        const auto stalled = [](uint64_t last, uint64_t now, unsigned timeOut) {
            return QString::fromLatin1(TransferStalled(last, now, timeOut) ? "stalled" : "moving");
        };
        QTest::newRow("just under half") << stalled(1000, 60999, 120000) << "moving";
        QTest::newRow("half") << stalled(1000, 61000, 120000) << "stalled";
        QTest::newRow("no time-out") << stalled(1000, 900000, 0) << "moving";
        QTest::newRow("clock before start") << stalled(5000, 1000, 2) << "moving";
    }
    void texts() {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void everyQueueIsFollowedNotOnlyTheSelectedOne() {
        const QByteArray one = Pattern(300'000, 1), two = Pattern(200'000, 2);
        QVERIFY(WriteFile(Py.rootPath() + "/a/one.bin", one));
        QVERIFY(WriteFile(Py.rootPath() + "/b/two.bin", two));
        QVERIFY(WriteFile(Py.rootPath() + "/b/three.txt", "three"));
        Settings.PinTransferWindow = true; // finished tabs stay: "A" stays selected
        Progress->SetPinned(true);
        TTransferItems* a = Add(NewQueue("A"), "/a/", "one.bin", one.size());
        TTransferItems* b = Add(NewQueue("B"), "/b/", "two.bin", two.size());
        Add(b, "/b/", "three.txt", 5);
        Progress->ShowQueue(a);
        QVERIFY(WaitIdle(*a) && WaitIdle(*b));
        QTRY_COMPARE(StatusCount(134), 1);
        QTest::qWait(100);

        QCOMPARE(ReadFile(LocalPath("one.bin")), one);
        QCOMPARE(ReadFile(LocalPath("two.bin")), two);
        QCOMPARE(StatusCount(133, a), 1);
        QCOMPARE(StatusCount(133, b), 2);
        for (const TStatus& s : Statuses)
            if (s.Queue == b && s.Code == 133) QCOMPARE(s.Shown, a);
        QCOMPARE(StatusCount(134), 1);
        QCOMPARE(Statuses.last().Code, 134);
        QCOMPARE(Progress->CurrentQueue(), a);
        QCOMPARE(Progress->Tabs()->count(), 2);
    }

    // Rows dragged in the manager change the order the server sees. The menu's commands look
    // at the item again when chosen: cancelling one that ended meanwhile does nothing, and a
    // re-submit into the idle queue starts a new run with fresh counters.
    void managerRowsOrderAndMenuCommands() {
        TTransferItems* queue = NewQueue("order");
        for (const char* name : {"a", "b", "c", "d", "e"}) {
            QVERIFY(WriteFile(Py.rootPath() + "/order/" + name, name));
            Add(queue, "/order/", name, 1); // "a" starts (logging on) at once
        }
        Manager->show();
        QVERIFY(QTest::qWaitForWindowExposed(Manager.get()));
        Manager->Tabs()->setCurrentIndex(Manager->Tabs()->count() - 1);
        QCOMPARE(Manager->CurrentQueue(), queue);
        TTransferQueueFilter* rows = Manager->Filter();
        auto drag = [rows](int from, int onto) {
            std::unique_ptr<QMimeData> mime(rows->mimeData({rows->index(from, 0)}));
            return rows->dropMimeData(mime.get(), Qt::MoveAction, -1, -1, rows->index(onto, 0));
        };
        QVERIFY(drag(4, 1)); // fifth onto second: a e b c d
        QVERIFY(drag(2, 4)); // third onto fifth: a e c d b
        QByteArrayList order, shown;
        for (int i = 0; i < queue->Count(); ++i) {
            order << queue->Item(i)->FileName;
            shown << rows->index(i, 0).data().toString().toUtf8();
        }
        QCOMPARE(order, (QByteArrayList{"a", "e", "c", "d", "b"}));
        QCOMPARE(shown, order);

        TTransferItem *d = queue->Item(3), *b = queue->Item(4);
        RightClick(b);
        Menu("CancelMnuItm");
        QCOMPARE(b->State(), isCancelled);
        QCOMPARE(StatusText(b), QStringLiteral("Cancelled"));
        RightClick(d);
        QVERIFY(WaitIdle(*queue));
        Menu("CancelMnuItm"); // the menu was opened while "d" was pending
        QCOMPARE(d->State(), isDone);
        QCOMPARE(StatusText(d), QStringLiteral("Done"));
        QTRY_COMPARE(StatusCount(134), 1);
        QCOMPARE(queue->CompletedCount, 4);
        const uint64_t before = TickCount();
        RightClick(b);
        Menu("ResubmitMnuItm");
        QCOMPARE(queue->CompletedCount, 0);
        QVERIFY(queue->StartTick >= before);
        QVERIFY(WaitIdle(*queue));
        QCOMPARE(b->State(), isDone);
        QCOMPARE(queue->CompletedCount, 1);
        QCOMPARE(queue->BytesDone, 1);
        QCOMPARE(ReadFile(LocalPath("b")), QByteArray("b"));
        QTRY_COMPARE(StatusCount(134), 2);
        // pyftpdlib logs "RETR <real path> completed=1 ...": "b" last, once re-submitted.
        QTRY_VERIFY(Py.output().contains("/order/b completed=1"));
        const QByteArray log = Py.output();
        QList<qsizetype> at;
        for (const QByteArray& name : order)
            at << log.indexOf("/order/" + name + " completed=1");
        QVERIFY2(std::is_sorted(at.cbegin(), at.cend()) && at.first() >= 0, log.constData());
    }

    void clearWhileTheProgressTimerTicks() {
        // Sparse and large: still running whenever the test looks.
        QVERIFY(QDir().mkpath(Py.rootPath() + "/big"));
        QVERIFY(WriteSparse(Py.rootPath() + "/big/big.bin", 1'000'000'000, "tail"));
        TTransferItems* queue = NewQueue("big");
        Add(queue, "/big/", "big.bin", 1'000'000'000);
        QVERIFY(WriteFile(Py.rootPath() + "/big/small", "s"));
        Add(queue, "/big/", "small", 1);
        Progress->ProgressTimer().setInterval(10);
        Progress->MakeVisible();
        QTRY_VERIFY_WITH_TIMEOUT(queue->BytesDone > 0, 10000);
        QTRY_VERIFY(Progress->CurrentItem() != nullptr);
        QCOMPARE(Manager->Model()->rowCount(), 2);
        Manager->Model()->FlushProgress();
        queue->Clear();
        QCOMPARE(Progress->CurrentItem(), nullptr);
        QCOMPARE(Manager->Model()->rowCount(), 0);
        QTest::qWait(100); // ticks after the items are gone
        Manager->Model()->FlushProgress();
        QTRY_COMPARE(StatusCount(134), 1);
        QVERIFY(Progress->isHidden());
    }
};

QTEST_MAIN(TstTransferWindows)
#include "tst_transfer_windows.moc"
