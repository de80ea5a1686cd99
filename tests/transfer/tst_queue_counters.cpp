// Queue bookkeeping without a server: the items stay pending because the host view is
// still queueing its batch.
#include "TransferFakes.h"

#include "settings/Settings.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferType.h"

#include <QtTest>

class TstQueueCounters : public QObject, TQueueFixture {
    Q_OBJECT

    std::unique_ptr<TFakeHostView> View;

    std::unique_ptr<TTransferItem> MakeItem(const QByteArray& name, int64_t size,
                                            int64_t offset = 0) const {
        auto item = Item(21, "/pub/", name, size);
        item->StartOffset = offset;
        return item;
    }

private Q_SLOTS:
    void initTestCase() { SetUpAll(); }
    void init() {
        SetUp();
        View = std::make_unique<TFakeHostView>();
        View->Batch = true; // single connections are the default: nothing starts
        Queue->HostView = View.get();
    }
    void cleanup() {
        TearDown();
        View.reset();
    }
    void cleanupTestCase() { TearDownAll(); }

    void percentagesStayExactBeyond4GiB() {
        QCOMPARE(MulDiv(100, 1, 3), 33);
        QCOMPARE(MulDiv(100, 2, 3), 67);
        QCOMPARE(MulDiv(100, 5, 0), -1);
        QCOMPARE(MulDiv(100, int64_t(3) << 30, int64_t(6) << 30), 50);

        TTransferItem item;
        item.Size = 10'000'000'000;
        item.BytesDone = 4'300'000'000; // past 2^32: a 32-bit count would wrap
        QCOMPARE(item.PercentDone(), 43);
        item.BytesDone = item.Size + 5;
        QCOMPARE(item.PercentDone(), 100);
        item.Size = 0;
        QCOMPARE(item.PercentDone(), 0);

        Queue->BytesDone = int64_t(5) << 30;
        Queue->BytesLeft = int64_t(15) << 30;
        QCOMPARE(Queue->PercentDone(), 25);
    }

    void transferTypeFollowsModeAndExtensions_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("type");
        QTest::newRow("ascii extension, any case") << 0 << QByteArray("Index.HTML") << 1;
        QTest::newRow("binary extension") << 0 << QByteArray("archive.zip") << 2;
        QTest::newRow("no extension") << 0 << QByteArray("README") << 2;
        QTest::newRow("dot in a folder only") << 0 << QByteArray("dir.txt\\README") << 2;
        QTest::newRow("fixed ascii") << 1 << QByteArray("archive.zip") << 1;
        QTest::newRow("fixed ebcdic") << 3 << QByteArray("a.txt") << 3;
        QTest::newRow("fixed local") << 4 << QByteArray("a.txt") << 4;
        QTest::newRow("unknown mode") << 9 << QByteArray("a.txt") << 2;
    }
    void transferTypeFollowsModeAndExtensions() {
        QFETCH(int, mode);
        QFETCH(QByteArray, name);
        QFETCH(int, type);
        TSettings settings = DefaultSettings();
        settings.TransferMode = mode;
        settings.ASCIIExtensions = {QStringLiteral(".html"), QStringLiteral(".txt")};
        QCOMPARE(TransferTypeFor(name, settings), type);
    }

    void addCountsAndRefusesOnlyLiveTwins() {
        QList<TTransferItem*> added;
        Queue->OnItemAdded = [&](TTransferItems*, TTransferItem* item) { added << item; };
        auto a = MakeItem("a.bin", 100, 10);
        TTransferItem* first = a.get();
        QCOMPARE(Queue->Add(a), 0);
        QVERIFY(!a);
        auto b = MakeItem("b.bin", 200);
        QCOMPARE(Queue->Add(b), 1);
        QCOMPARE(added.size(), 2);
        QVERIFY(Windows->Progress.Created);
        QCOMPARE(Queue->StateCount(isPending), 2);
        QCOMPARE(Queue->BytesDone, 10);
        QCOMPARE(Queue->BytesLeft, 290);

        // An equal twin of a pending item is refused and stays with the caller.
        auto twin = MakeItem("a.bin", 100, 10);
        QCOMPARE(Queue->Add(twin), -1);
        QVERIFY(twin);
        QCOMPARE(Windows->Main.Messages,
                 QStringList{QStringLiteral("\"a.bin\" is already in the transfer queue")});
        QCOMPARE(Queue->Count(), 2);
        // Any differing field makes it another item.
        auto other = MakeItem("a.bin", 100, 20);
        QCOMPARE(Queue->Add(other), 2);
        auto otherUser = MakeItem("a.bin", 100, 10);
        otherUser->User = "joe";
        QCOMPARE(Queue->Add(otherUser), 3);
        QVERIFY(StatesAddUp(*Queue));

        // Cancelling a pending item takes its bytes out; re-submitting puts them back.
        const int64_t done = Queue->BytesDone, left = Queue->BytesLeft;
        first->SetState(isCancelled);
        QCOMPARE(Queue->BytesDone, done - 10);
        QCOMPARE(Queue->BytesLeft, left - 90);
        QCOMPARE(Queue->StateCount(isCancelled), 1);
        // A cancelled twin no longer blocks.
        QCOMPARE(Queue->Add(twin), 4);
        first->SetState(isPending);
        QCOMPARE(Queue->BytesDone, done + 10);
        QCOMPARE(Queue->BytesLeft, left + 90);
        QVERIFY(StatesAddUp(*Queue));
        // So does a finished one.
        Queue->Item(2)->SetState(isDone);
        auto finished = MakeItem("a.bin", 100, 20);
        QCOMPARE(Queue->Add(finished), 5);
        QVERIFY(Queue->FindFirst(isPending) == first);
        // The host view is still queueing its batch: nothing starts yet.
        QVERIFY(!Queue->ProcessNext());
        QCOMPARE(first->State(), isPending);
        QVERIFY(View->BusyFlags.isEmpty());
    }

    void idleQueueRestartsItsCounters() {
        auto a = MakeItem("a.bin", 1000, 100);
        TTransferItem* item = a.get();
        Queue->Add(a);
        item->SetState(isCancelled);
        QVERIFY(Queue->Idle());
        Queue->CompletedCount = 7;
        Queue->BytesDone = 12345; // whatever was left from the last run
        QTest::qWait(5);
        const uint64_t before = Queue->StartTick;
        auto b = MakeItem("b.bin", 500, 200);
        Queue->Add(b);
        QVERIFY(Queue->StartTick > before);
        QCOMPARE(Queue->BytesDone, 200);
        QCOMPARE(Queue->BytesLeft, 300);
        QCOMPARE(Queue->CompletedCount, 0);

        // A busy queue only adds.
        auto c = MakeItem("c.bin", 50);
        Queue->Add(c);
        QCOMPARE(Queue->BytesLeft, 350);
    }

    void moveDestroyAndClearKeepCountsExact() {
        for (const char* name : {"0", "1", "2", "3"}) {
            auto item = MakeItem(name, 10);
            Queue->Add(item);
        }
        TTransferItem* fourth = Queue->Item(3);
        Queue->Move(3, 1);
        QCOMPARE(Queue->Item(1), fourth);
        QCOMPARE(fourth->Index(), 1);
        QCOMPARE(Queue->Item(3)->FileName, QByteArray("2"));
        Queue->Move(1, 9); // out of range: nothing
        QCOMPARE(Queue->Item(1), fourth);

        delete fourth; // an item leaves its queue when freed
        QCOMPARE(Queue->Count(), 3);
        QVERIFY(StatesAddUp(*Queue));

        Windows->Main.Titles.clear();
        Queue->Clear();
        QCOMPARE(Queue->Count(), 0);
        QCOMPARE(Queue->StateCount(isPending), 0);
        QCOMPARE(Windows->Main.Titles.last(), QStringLiteral("Tolvar"));
    }

    void generalQueueAndListTotals() {
        TTransferItems& general = GeneralQueue();
        QVERIFY(Windows->Manager.Tabs.contains(Queue));
        auto a = MakeItem("a.bin", 10);
        Queue->Add(a);
        QCOMPARE(TransferItemsList().StateCount(isPending),
                 general.StateCount(isPending) + Queue->StateCount(isPending));
        QVERIFY(TransferItemsList().Count() >= 2);

        // A queue made for the list, as a host pane makes its own, is one of its queues at
        // once: the windows and the quit question go by the list.
        QList<TTransferItems*> heard;
        TransferItemsList().OnQueueAdded = [&](TTransferItems* queue) { heard << queue; };
        auto own = std::make_unique<TTransferItems>(&TransferItemsList());
        TransferItemsList().OnQueueAdded = nullptr;
        QCOMPARE(heard, QList<TTransferItems*>{own.get()});
        QCOMPARE(TransferItemsList().Queue(TransferItemsList().Count() - 1), own.get());
        own.reset();
        QVERIFY(TransferItemsList().Queue(TransferItemsList().Count() - 1) != heard.first());
    }

    // Items as name=state, "busy" at 45%.
    void unfinishedTransfersAreNamed_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << QStringList{"a=done"} << "";
        QTest::newRow("one running") << QStringList{"big.bin=busy", "a=cancelled"}
                                     << "1 transfer is not finished: big.bin (45%)";
        QTest::newRow("two waiting") << QStringList{"a=pending", "b=pending"}
                                     << "2 transfers are not finished: a (waiting) and b (waiting)";
        QTest::newRow("running first, the rest counted")
            << QStringList{"a=pending", "b=pending", "c=busy", "d=pending", "e=pending"}
            << "5 transfers are not finished: c (45%), a (waiting), b (waiting) and 2 more";
    }
    void unfinishedTransfersAreNamed() {
        QFETCH(QStringList, items);
        QFETCH(QString, text);
        const QHash<QString, TItemState> states{
            {"pending", isPending}, {"busy", isBusy}, {"done", isDone}, {"cancelled", isCancelled}};
        for (const QString& entry : items) {
            auto item = MakeItem(entry.section('=', 0, 0).toUtf8(), 100);
            item->BytesDone = 45;
            TTransferItem* added = item.get();
            Queue->Add(item);
            added->SetState(states.value(entry.section('=', 1)));
        }
        QCOMPARE(UnfinishedTransfersText(TransferItemsList()), text);
    }
};

QTEST_GUILESS_MAIN(TstQueueCounters)
#include "tst_queue_counters.moc"
