// Queues against real servers started on loopback: pyftpdlib (writable, log-ins counted
// in its log), vsftpd (announces sizes, knows the user "ftp") and nginx for HTTP items.
#include "NginxServer.h"
#include "PyftpdlibServer.h"
#include "TestFiles.h"
#include "TransferFakes.h"
#include "VsftpdServer.h"

#include "transfer/QueueBuilder.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferMonitor.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QtTest>

namespace {

QByteArray Folder(const QString& path) {
    return QFile::encodeName(path) + '/';
}

// One server folder as a listing gives it.
struct TListedFolder : IFolderSource {
    std::vector<TWalkEntry> Entries;
    bool List(const QByteArray&, std::vector<TWalkEntry>& entries) override {
        entries = Entries;
        return true;
    }
    char Separator() const override { return '/'; }
};

struct TRecordingView : ITransferView {
    QList<QPair<QByteArray, uint16_t>> Added; // name, attributes
    void AddTransferredItem(TTransferItem&, const QByteArray&, double, int64_t, uint16_t attributes,
                            const QByteArray& name) override {
        Added.append({name, attributes});
    }
};

struct TRecordingRow : ITransferManagerRow {
    QString SizeText;
    void SetSizeText(const QString& text) override { SizeText = text; }
};

} // namespace

class TstQueueServers : public QObject, TQueueFixture {
    Q_OBJECT

    TPyftpdlibServer Py;
    TVsftpdServer Vs;
    int PyLogIns() { return static_cast<int>(Py.output().count("logged in")); }
    // The view's session, lent to the queue's items while single connections are the rule.
    void Borrow(TFakeHostView& view) {
        Settings.SingleConnectionsOnly = true;
        Queue->HostView = &view;
    }

private Q_SLOTS:
    void initTestCase() {
        SetUpAll();
        Py.setWritable(true);
        QVERIFY2(Py.start(), qPrintable(Py.errorText()));
        QVERIFY2(Vs.start(), qPrintable(Vs.errorText()));
    }
    void init() {
        Settings = DefaultSettings();
        SetUp();
    }
    void cleanup() {
        Queue->HostView = nullptr; // the view was the test's own
        TearDown();
    }
    void cleanupTestCase() { TearDownAll(); }

    void queueBothWaysWithResumeKeepsCountersExact() {
        const struct {
            const char* Name;
            QByteArray Bytes;
            bool Upload;
            int Part; // already at the destination
        } files[] = {{"d1.bin", Pattern(300'000, 1), false, 0},
                     {"d2.bin", Pattern(100'000, 2), false, 40'000},
                     {"u1.bin", Pattern(200'000, 3), true, 0},
                     {"u2.bin", Pattern(150'000, 4), true, 50'000}};
        const auto path = [&](const char* name, bool local) {
            return local ? LocalPath(name) : Py.rootPath() + "/both/" + name;
        };
        int64_t total = 0;
        for (const auto& f : files) {
            QVERIFY(WriteFile(path(f.Name, f.Upload), f.Bytes));
            if (f.Part) QVERIFY(WriteFile(path(f.Name, !f.Upload), f.Bytes.left(f.Part)));
            total += f.Bytes.size();
        }
        const int logInsBefore = PyLogIns();
        int64_t lastDone = 0;
        int events = 0;
        QStringList faults;
        auto check = [&](TTransferItems* q, TTransferItem*) {
            ++events;
            if (!StatesAddUp(*q)) faults << QStringLiteral("states do not add up");
            if (q->StateCount(isBusy) > 1) faults << QStringLiteral("two busy items");
            if (q->Count() == 4 && q->BytesDone + q->BytesLeft != total)
                faults << QStringLiteral("done %1 + left %2").arg(q->BytesDone).arg(q->BytesLeft);
            if (q->BytesDone < lastDone)
                faults << QStringLiteral("done went back to %1").arg(q->BytesDone);
            lastDone = q->BytesDone;
        };
        Queue->OnItemStart = Queue->OnItemProgress = Queue->OnItemFinished =
            Queue->OnItemStateChange = check;
        for (const auto& f : files) {
            auto item = Item(Py.port(), "/both/", f.Name, f.Bytes.size(), f.Upload);
            item->StartOffset = f.Part;
            QVERIFY(Queue->Add(item) >= 0);
        }
        QCOMPARE(Queue->BytesDone, 90'000);
        QVERIFY(WaitIdle(*Queue));

        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
        QVERIFY(events > 12);
        QCOMPARE(Queue->StateCount(isDone), 4);
        QCOMPARE(Queue->BytesDone, total);
        QCOMPARE(Queue->BytesLeft, 0);
        QCOMPARE(Queue->CompletedCount, 4);
        for (const auto& f : files)
            QCOMPARE(ReadFile(path(f.Name, !f.Upload)), f.Bytes);
        // One pooled session, logged on once, carried all four.
        QCOMPARE(Queue->Sessions().size(), 1);
        QTRY_COMPARE(PyLogIns() - logInsBefore, 1);
    }

    void poolIsReusedOnlyForTheSameLogIn() {
        QVERIFY(WriteFile(Py.rootPath() + "/pool/f.txt", "pooled"));
        QVERIFY(WriteFile(Vs.rootPath() + "/pool/f.txt", "vsftpd"));
        int connects = 0;
        Queue->OnConnect = [&](TFTPComponent*) { ++connects; };
        const int logInsBefore = PyLogIns();
        // The same log-in again, then another server, another password, another user there:
        // each change a new session. (vsftpd for those: pyftpdlib at times leaves a log-on
        // unanswered while a session of the same client closes.)
        const struct {
            quint16 Port;
            QByteArray User, Password;
            int Connects;
        } runs[] = {{Py.port(), "anonymous", "a@x", 1},
                    {Py.port(), "anonymous", "a@x", 1},
                    {Vs.port(), "anonymous", "a@x", 2},
                    {Vs.port(), "anonymous", "b@x", 3},
                    {Vs.port(), "ftp", "b@x", 4}};
        for (int run = 0; run < 5; ++run) {
            const auto& r = runs[run];
            // vsftpd runs unprivileged, without a chroot: its paths are relative.
            auto item = Item(r.Port, r.Port == Vs.port() ? "pool/" : "/pool/", "f.txt", 6, false,
                             r.User, r.Password);
            item->DestFolder = Folder(LocalPath(QString::number(run)));
            QCOMPARE(Run(std::move(item)), isDone);
            QCOMPARE(connects, r.Connects);
            QCOMPARE(Queue->Sessions().size(), 1);
            const TFTPComponent* pooled = Queue->Sessions().first();
            QVERIFY(pooled->Port == r.Port && pooled->User == r.User &&
                    pooled->Password == r.Password);
        }
        QTRY_COMPARE(PyLogIns() - logInsBefore, 1);
        QCOMPARE(ReadFile(LocalPath("1/f.txt")), QByteArray("pooled"));
        QCOMPARE(ReadFile(LocalPath("4/f.txt")), QByteArray("vsftpd"));
    }

    // Disconnecting the transfer sessions lets an idle one log out before it is freed, and
    // ends an item still logging on at once, freeing its session safely; the next item takes
    // no completion of a command queued before it started for its own.
    void disconnectFreesSessionsAndEndsTheRunningItem() {
        QVERIFY(WriteFile(Py.rootPath() + "/drop/f.txt", "drop"));
        QCOMPARE(Run(Item(Py.port(), "/drop/", "f.txt", 4)), isDone);
        QPointer<TFTPComponent> session = Queue->Sessions().value(0);
        QVERIFY(session && session->LoggedIn());
        int disconnects = 0;
        Queue->OnDisconnect = [&](TFTPComponent*) { ++disconnects; };
        TransferItemsList().DisconnectAll();
        QVERIFY(Queue->Sessions().isEmpty());
        QVERIFY(session); // still logging out
        QTRY_VERIFY(session.isNull());
        QCOMPARE(disconnects, 1);
        QTRY_VERIFY(Py.output().contains("FTP session closed"));

        auto running = Item(Py.port(), "/drop/", "f.txt", 4);
        QCOMPARE(Queue->Add(running), 1);
        QPointer<TFTPComponent> dropped = Queue->Item(1)->Session;
        QVERIFY(dropped);
        TransferItemsList().DisconnectAll();
        QCOMPARE(Queue->Item(1)->State(), isCancelled);
        QTRY_VERIFY(dropped.isNull());
        auto next = Item(Py.port(), "/drop/", "f.txt", 4);
        next->DestFileName = "next.txt";
        QCOMPARE(Queue->Add(next), 2);
        TFTPComponent* fresh = Queue->Item(2)->Session;
        fresh->OnCommandResult(fresh, {TFTPCommand::ResumeDownload, false, true, 0, true});
        QCOMPARE(Queue->Item(2)->State(), isBusy);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(2)->State(), isDone);
        QCOMPARE(ReadFile(LocalPath("next.txt")), QByteArray("drop"));
    }

    void twoQueuesTransferAtTheSameTime() {
        const QByteArray big = Pattern(4'000'000);
        QVERIFY(WriteFile(Py.rootPath() + "/two/big.bin", big));
        QVERIFY(WriteFile(Vs.rootPath() + "/two/big.bin", big));
        TTransferItems* second = TransferItemsList().AddQueue();
        int busyBoth = 0;
        // Both at work at once, whichever moves bytes at that moment: on loopback a file
        // can be over before the other queue's first progress comes.
        auto watch = [&](TTransferItems*, TTransferItem*) {
            if (Queue->StateCount(isBusy) && second->StateCount(isBusy)) ++busyBoth;
        };
        Queue->OnItemProgress = second->OnItemProgress = watch;
        for (int i = 0; i < 3; ++i) {
            auto a = Item(Py.port(), "/two/", "big.bin", big.size());
            auto b = Item(Vs.port(), "two/", "big.bin", big.size());
            a->DestFileName = QByteArray("py") + char('0' + i);
            b->DestFileName = QByteArray("vs") + char('0' + i);
            a->Date = b->Date = i; // not equal to the one before
            QVERIFY(Queue->Add(a) >= 0 && second->Add(b) >= 0);
        }
        QVERIFY(WaitIdle(*Queue, 60000) && WaitIdle(*second, 60000));
        QCOMPARE(Queue->StateCount(isDone), 3);
        QCOMPARE(second->StateCount(isDone), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ReadFile(LocalPath("vs%1").arg(i)), big);
        QVERIFY(busyBoth > 0);
        delete second;
    }

    void failedTypeStepEndsOnlyItsItem() {
        QVERIFY(WriteFile(Vs.rootPath() + "/type/a.txt", "text"));
        Settings.TransferMode = 3; // EBCDIC, which vsftpd refuses
        QCOMPARE(Run(Item(Vs.port(), "type/", "a.txt", 4)), isError);
        QCOMPARE(Queue->CompletedCount, 1);
        Settings.TransferMode = 0;
        auto b = Item(Vs.port(), "type/", "a.txt", 4);
        b->DestFileName = "b.txt";
        QCOMPARE(Run(std::move(b)), isDone);
        QCOMPARE(ReadFile(LocalPath("b.txt")), QByteArray("text"));
    }

    // Two refused files of eleven: each says why in red and in the manager, the run ends
    // "2 of 11 files failed" where the user looks, and the next run counts afresh.
    void refusedFilesAreCountedPerRun() {
        TTransferMonitor monitor(TransferItemsList());
        for (int i = 0; i < 11; ++i) {
            const QByteArray name = "f" + QByteArray::number(i) + ".txt";
            if (i < 9) QVERIFY(WriteFile(Py.rootPath() + "/some/" + name, "data"));
            auto item = Item(Py.port(), "/some/", name, 4);
            QVERIFY(Queue->Add(item) >= 0);
        }
        QVERIFY(WaitIdle(*Queue));
        QTRY_VERIFY(monitor.AllIdle() && monitor.RunEnded() == 11);
        QCOMPARE(FailedRunText(monitor.RunFailed(), monitor.RunEnded()),
                 QString("2 of 11 files failed"));
        for (const int i : {9, 10}) {
            const TTransferItem* item = Queue->Item(i);
            QCOMPARE(item->State(), isError);
            QVERIFY2(ItemStatusText(*item).startsWith("Aborted due to Error: 550 "),
                     qPrintable(ItemStatusText(*item)));
            QCOMPARE(LogCount(*Queue,
                              "\"f" + QString::number(i) + ".txt\" was not transferred: 550 ",
                              EngineSettings().LogColorError.load()),
                     1);
        }
        auto again = Item(Py.port(), "/some/", "f0.txt", 4);
        again->DestFileName = "again.txt";
        QCOMPARE(Run(std::move(again)), isDone);
        QTRY_COMPARE(monitor.RunEnded(), 1);
        QCOMPARE(monitor.RunFailed(), 0);
        QCOMPARE(Queue->FailedCount, 0);
    }

    // A folder that exists locally fails; one made on either side is reported to its view.
    void folderItemsBothWays() {
        TRecordingView view;
        QDir().mkpath(LocalPath("exists"));
        const auto folder = [&](const char* name, bool upload) {
            auto item = Item(Py.port(), "/", name, 0, upload);
            item->IsFolder = true;
            item->DestView = &view;
            return item;
        };
        auto up = folder("local", true);
        up->DestFileName = "made remotely";
        QCOMPARE(Run(folder("exists", false)), isError);
        QCOMPARE(Run(folder("fresh", false)), isDone);
        QCOMPARE(Run(std::move(up)), isDone);
        QVERIFY(QFileInfo(LocalPath("fresh")).isDir());
        QVERIFY(QFileInfo(Py.rootPath() + "/made remotely").isDir());
        QCOMPARE(view.Added, (QList<QPair<QByteArray, uint16_t>>{{"fresh", raFolder},
                                                                 {"made remotely", raFolder}}));
    }

    void httpItemRunsOnAPrivateSession() {
        TNginxServer nginx;
        QVERIFY2(nginx.start(), qPrintable(nginx.errorText()));
        const QByteArray page = Pattern(70'000);
        QVERIFY(WriteFile(nginx.rootPath() + "/page.bin", page));
        const qsizetype sessionsBefore = TFTPComponent::LiveComponents().size();
        auto item = std::make_unique<TTransferItem>();
        item->IsHTTP = true;
        item->SetURL(nginx.url(QStringLiteral("/page.bin")));
        item->DestFolder = Folder(Local->path());
        TTransferItem* http = item.get();
        QCOMPARE(Run(std::move(item)), isDone);
        QCOMPARE(ReadFile(LocalPath("page.bin")), page);
        QCOMPARE(http->Size, page.size()); // from the announced length
        QCOMPARE(Queue->BytesDone, page.size());
        QVERIFY(Queue->Sessions().isEmpty());
        QTRY_COMPARE(TFTPComponent::LiveComponents().size(), sessionsBefore);
    }

    // A download takes the server's size over the stale one it was queued with, in the
    // item, its row and the totals, and the server's time as preserving asks.
    void downloadsTakeTheServersSizeAndTime_data() {
        QTest::addColumn<bool>("preserve");
        QTest::addColumn<bool>("listed"); // the item carries its listing's date
        QTest::newRow("listing's date") << true << true;
        QTest::newRow("no date: MDTM") << true << false;
        QTest::newRow("preserving off") << false << false;
    }
    void downloadsTakeTheServersSizeAndTime() {
        QFETCH(bool, preserve);
        QFETCH(bool, listed);
        Settings.PreserveTimeStamp = preserve;
        // Long before the download, with seconds, which only MDTM tells.
        const QDateTime server(QDate(2021, 6, 7), QTime(8, 9, 35), Qt::LocalTime);
        const QString path = Vs.rootPath() + "/stamp/s.bin";
        const QByteArray data = Pattern(5000);
        QVERIFY(WriteFile(path, data) && SetModified(path, server));
        TRecordingRow row;
        auto item = Item(Vs.port(), "stamp/", "s.bin", 1000);
        item->ListItem = &row;
        TTransferItem* sized = item.get();
        // A listing dates the file to the minute, in local time.
        if (listed) item->Date = 44354 + (8 * 60 + 9) / 1440.0; // 2021-06-07 08:09
        int64_t atStart = -1;
        Queue->OnItemProgress = [&](TTransferItems* q, TTransferItem*) {
            if (atStart < 0) atStart = q->BytesLeft + q->BytesDone;
        };
        QCOMPARE(Run(std::move(item)), isDone);
        QCOMPARE(ReadFile(LocalPath("s.bin")), data);
        QCOMPARE(sized->Size, 5000);
        QCOMPARE(row.SizeText, QStringLiteral("5000"));
        QCOMPARE(atStart, 5000);
        QCOMPARE(Queue->BytesDone, 5000);
        QCOMPARE(Queue->BytesLeft, 0);
        const QDateTime local = QFileInfo(LocalPath("s.bin")).lastModified();
        if (preserve)
            QCOMPARE(local, listed ? server.addSecs(-35) : server);
        else
            QVERIFY(local > server.addDays(1));
    }

    // pyftpdlib refuses REST in ASCII mode: the view's log-on probe must ask in binary, or
    // "&Recovery" could not work. Answered, it resumes over the view's own session from
    // the local length, and the file ends whole. (Resumes not tried unasked: the overwrite
    // question comes rather than the restart question.)
    void recoveryResumesFromTheLocalLength() {
        Settings.TryToResume = 0;
        const QByteArray data = Pattern(250'000, 7);
        QVERIFY(WriteFile(Py.rootPath() + "/rec/part.bin", data));
        QVERIFY(WriteFile(LocalPath("part.bin"), data.left(90'000)));
        TFakeHostView view;
        Borrow(view);
        TFTPComponent& own = *view.Session;
        own.Host = QStringLiteral("127.0.0.1");
        own.Port = Py.port();
        own.User = "anonymous";
        own.Password = "queue@test";
        own.SetPassive(true);
        own.Login();
        QTRY_VERIFY_WITH_TIMEOUT(own.LoggedIn(), 10000);
        QVERIFY(own.ResumeSupported());

        TScriptedTransferQuestions answer;
        answer.Answers = {mrRetry}; // "&Recovery"
        view.Batch = true;
        TQueueBuilder builder(Settings, &answer,
                              {own.Host, Py.port(), own.User, own.Password, "", false, true, {}},
                              *Queue);
        TListedFolder remote;
        remote.Entries = {{"part.bin", false, false, true, data.size(), 45000}};
        TLocalFolderSource local;
        builder.Download(remote.Entries, "/rec/", Folder(Local->path()), remote, local);
        view.Batch = false;
        QCOMPARE(answer.Asked, QStringLiteral("O"));
        QVERIFY(answer.Files.first().CanResume); // the dialog offers "&Recovery"
        QCOMPARE(Queue->Count(), 1);
        QVERIFY(Queue->ProcessNext());
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(0)->State(), isDone);
        QCOMPARE(ReadFile(LocalPath("part.bin")), data);
        QCOMPARE(LogCount(*Queue, "REST 90000"), 1);
    }

    // A view's session lent to an item (logged on by it first) gets its own handlers back;
    // once the server restarted while it sat idle, the next download logs on again once and
    // transfers the file, with no error on the way.
    void borrowedSessionGetsItsHandlersBackAndLogsOnAgain() {
        TPyftpdlibServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        const QByteArray data = Pattern(70000);
        QVERIFY(WriteFile(server.rootPath() + "/o.txt", "own") &&
                WriteFile(server.rootPath() + "/b.bin", data));
        TFakeHostView view;
        Borrow(view);
        QCOMPARE(Run(Item(server.port(), "/", "o.txt", 3)), isDone);
        QCOMPARE(ReadFile(LocalPath("o.txt")), QByteArray("own"));
        QVERIFY(view.Session->LoggedIn());
        QVERIFY(Queue->Sessions().isEmpty());
        QCOMPARE(view.BusyFlags, (QList<bool>{true, false}));
        QVERIFY(view.OwnProgress > 0);          // forwarded while borrowed
        QVERIFY(!view.OwnLog.isEmpty());        // likewise
        QVERIFY(view.OwnCompletions.isEmpty()); // the item's own
        // The handlers are the view's again, not the queue's from the second start.
        const qsizetype lines = view.OwnLog.size(), queueLines = Queue->LogLines.size();
        view.Session->OnLog(view.Session, QStringLiteral("mine"), 0);
        QCOMPARE(view.OwnLog.size(), lines + 1);
        view.Session->OnCommandCompleted(view.Session, TFTPCommand::NoOp, true, false);
        QCOMPARE(view.OwnCompletions.size(), 1);
        QCOMPARE(Queue->LogLines.size(), queueLines);

        QVERIFY(server.restart());
        QCOMPARE(Run(Item(server.port(), "/", "b.bin", data.size())), isDone);
        QCOMPARE(ReadFile(LocalPath("b.bin")), data);
        QCOMPARE(LogCount(*Queue, "USER ", {}, queueLines), 1);
        QCOMPARE(LogCount(*Queue, "", EngineSettings().LogColorError.load(), queueLines), 0);
        QVERIFY(view.Session->LoggedIn());
    }
};

QTEST_GUILESS_MAIN(TstQueueServers)
#include "tst_queue_servers.moc"
