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

bool SetTime(const QString& path, const QDateTime& when) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(when, QFileDevice::FileModificationTime);
}

// The overwrite question answered "&Recovery", as the user would in the dialog.
struct TRecoveryAnswer : ITransferQuestions {
    QList<TExistingFile> Asked;
    int AskOverwrite(const TExistingFile& file) override {
        Asked << file;
        return mrRetry;
    }
    int AskRestart(const QString&) override { return mrCancel; }
};

// One server folder as a listing gives it.
struct TListedFolder : IFolderSource {
    std::vector<TWalkEntry> Entries;
    bool List(const QByteArray&, std::vector<TWalkEntry>& entries) override {
        entries = Entries;
        return true;
    }
    char Separator() const override { return '/'; }
};

} // namespace

class TstQueueServers : public QObject, TQueueFixture {
    Q_OBJECT

    TPyftpdlibServer Py;
    TVsftpdServer Vs;
    int PyLogIns() { return static_cast<int>(Py.output().count("logged in")); }

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
    void cleanup() { TearDown(); }
    void cleanupTestCase() { TearDownAll(); }

    void queueBothWaysWithResumeKeepsCountersExact() {
        const QByteArray d1 = Pattern(300'000, 1), d2 = Pattern(100'000, 2);
        const QByteArray u1 = Pattern(200'000, 3), u2 = Pattern(150'000, 4);
        QVERIFY(WriteFile(Py.rootPath() + "/both/d1.bin", d1));
        QVERIFY(WriteFile(Py.rootPath() + "/both/d2.bin", d2));
        QVERIFY(WriteFile(LocalPath("d2.bin"), d2.left(40'000)));
        QVERIFY(WriteFile(LocalPath("u1.bin"), u1));
        QVERIFY(WriteFile(LocalPath("u2.bin"), u2));
        QVERIFY(WriteFile(Py.rootPath() + "/both/u2.bin", u2.left(50'000)));

        const int logInsBefore = PyLogIns();
        const int64_t total = d1.size() + d2.size() + u1.size() + u2.size();
        int64_t lastDone = 0;
        int events = 0;
        QStringList faults;
        auto check = [&](TTransferItems* q, TTransferItem*) {
            ++events;
            int sum = 0;
            for (int s = 0; s < ItemStateCount; ++s)
                sum += q->StateCount(TItemState(s));
            if (sum != q->Count())
                faults << QStringLiteral("state sum %1 of %2").arg(sum).arg(q->Count());
            if (q->StateCount(isBusy) > 1) faults << QStringLiteral("two busy items");
            if (q->Count() == 4 && q->BytesDone + q->BytesLeft != total)
                faults << QStringLiteral("done %1 + left %2").arg(q->BytesDone).arg(q->BytesLeft);
            if (q->BytesDone < lastDone)
                faults << QStringLiteral("done went back to %1").arg(q->BytesDone);
            lastDone = q->BytesDone;
        };
        Queue->OnItemStart = Queue->OnItemProgress = Queue->OnItemFinished =
            Queue->OnItemStateChange = check;

        auto a = Item(Py.port(), "/both/", "d1.bin", d1.size(), false);
        auto b = Item(Py.port(), "/both/", "d2.bin", d2.size(), false);
        b->StartOffset = 40'000;
        auto c = Item(Py.port(), "/both/", "u1.bin", u1.size(), true);
        auto d = Item(Py.port(), "/both/", "u2.bin", u2.size(), true);
        d->StartOffset = 50'000;
        for (auto* item : {&a, &b, &c, &d})
            QVERIFY(Queue->Add(*item) >= 0);
        QCOMPARE(Queue->BytesDone, 90'000);
        QVERIFY(WaitIdle(*Queue));

        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
        QVERIFY(events > 12);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(Queue->Item(i)->State(), isDone);
        QCOMPARE(Queue->BytesDone, total);
        QCOMPARE(Queue->BytesLeft, 0);
        QCOMPARE(Queue->CompletedCount, 4);
        QCOMPARE(Queue->PercentDone(), 100);
        QCOMPARE(ReadFile(LocalPath("d1.bin")), d1);
        QCOMPARE(ReadFile(LocalPath("d2.bin")), d2);
        QCOMPARE(ReadFile(Py.rootPath() + "/both/u1.bin"), u1);
        QCOMPARE(ReadFile(Py.rootPath() + "/both/u2.bin"), u2);
        // One pooled session, logged on once, carried all four.
        QCOMPARE(Queue->Sessions().size(), 1);
        QTRY_COMPARE(PyLogIns() - logInsBefore, 1);
        QVERIFY(!Queue->LogLines.isEmpty());
    }

    void poolIsReusedOnlyForTheSameLogIn() {
        QVERIFY(WriteFile(Py.rootPath() + "/pool/f.txt", "pooled"));
        QVERIFY(WriteFile(Vs.rootPath() + "/pool/f.txt", "vsftpd"));
        int connects = 0;
        Queue->OnConnect = [&](TFTPComponent*) { ++connects; };
        const int logInsBefore = PyLogIns();
        auto run = [&](quint16 port, const QByteArray& user, const QByteArray& password,
                       const QByteArray& dest) {
            // vsftpd runs unprivileged, without a chroot: its paths are relative.
            auto item = Item(port, port == Vs.port() ? "pool/" : "/pool/", "f.txt", 6, false);
            item->User = user;
            item->Password = password;
            item->DestFolder = Folder(LocalPath(QString::fromUtf8(dest)));
            QVERIFY(Queue->Add(item) >= 0);
            QVERIFY(WaitIdle(*Queue));
            QCOMPARE(Queue->Item(Queue->Count() - 1)->State(), isDone);
        };
        run(Py.port(), "anonymous", "a@x", "1");
        TFTPComponent* first = Queue->Sessions().value(0);
        run(Py.port(), "anonymous", "a@x", "2");
        QCOMPARE(Queue->Sessions(), QList<TFTPComponent*>{first});
        QTRY_COMPARE(PyLogIns() - logInsBefore, 1);
        // Another server, then another password, then another user there: each time the
        // pool goes and a new session logs on. (vsftpd here: pyftpdlib at times leaves a
        // log-on unanswered while a session of the same client closes.)
        run(Vs.port(), "anonymous", "a@x", "3");
        QCOMPARE(Queue->Sessions().size(), 1);
        QCOMPARE(Queue->Sessions().first()->Port, int(Vs.port()));
        run(Vs.port(), "anonymous", "b@x", "4");
        QCOMPARE(Queue->Sessions().first()->Password, QByteArray("b@x"));
        run(Vs.port(), "ftp", "b@x", "5");
        QCOMPARE(Queue->Sessions().size(), 1);
        QCOMPARE(Queue->Sessions().first()->User, QByteArray("ftp"));
        QCOMPARE(connects, 4);
        QCOMPARE(PyLogIns() - logInsBefore, 1);
        QCOMPARE(ReadFile(LocalPath("5/f.txt")), QByteArray("vsftpd"));
        QCOMPARE(ReadFile(LocalPath("2/f.txt")), QByteArray("pooled"));
    }

    void droppedSessionIsFreedOnceLoggedOut() {
        QVERIFY(WriteFile(Py.rootPath() + "/drop/f.txt", "drop"));
        auto item = Item(Py.port(), "/drop/", "f.txt", 4, false);
        Queue->Add(item);
        QVERIFY(WaitIdle(*Queue));
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
    }

    // Disconnecting the transfer sessions while an item still logs on ends the item at
    // once and frees the session safely; the next item takes no completion of a command
    // queued before it started for its own.
    void disconnectWhileAnItemRunsEndsIt() {
        QVERIFY(WriteFile(Py.rootPath() + "/run/f.txt", "run"));
        auto first = Item(Py.port(), "/run/", "f.txt", 3, false);
        Queue->Add(first);
        QPointer<TFTPComponent> dropped = Queue->Item(0)->Session;
        QVERIFY(dropped);
        TransferItemsList().DisconnectAll();
        QCOMPARE(Queue->Item(0)->State(), isCancelled);
        QTRY_VERIFY(dropped.isNull());
        auto second = Item(Py.port(), "/run/", "f.txt", 3, false);
        QCOMPARE(Queue->Add(second), 1);
        TFTPComponent* session = Queue->Item(1)->Session;
        session->OnCommandResult(session, {TFTPCommand::ResumeDownload, false, true, 0, true});
        QCOMPARE(Queue->Item(1)->State(), isBusy);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(1)->State(), isDone);
        QCOMPARE(ReadFile(LocalPath("f.txt")), QByteArray("run"));
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
            auto a = Item(Py.port(), "/two/", "big.bin", big.size(), false);
            a->DestFileName = QByteArray("py") + char('0' + i);
            auto b = Item(Vs.port(), "two/", "big.bin", big.size(), false);
            b->DestFileName = QByteArray("vs") + char('0' + i);
            a->DestFolder = b->DestFolder = Folder(LocalPath("two"));
            a->Date = b->Date = i; // not equal to the one before
            QVERIFY(Queue->Add(a) >= 0);
            QVERIFY(second->Add(b) >= 0);
        }
        QVERIFY(WaitIdle(*Queue, 60000));
        QVERIFY(WaitIdle(*second, 60000));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(Queue->Item(i)->State(), isDone);
            QCOMPARE(second->Item(i)->State(), isDone);
            QCOMPARE(ReadFile(LocalPath("two/vs%1").arg(i)), big);
        }
        QVERIFY(busyBoth > 0);
        delete second;
    }

    void duplicatesMoveAndResubmitOrder() {
        for (const char* name : {"a", "b", "c", "d"})
            QVERIFY(WriteFile(Py.rootPath() + "/order/" + name, name));
        QByteArrayList started;
        Queue->OnItemStart = [&](TTransferItems*, TTransferItem* item) {
            started << item->FileName;
        };
        for (const char* name : {"a", "b", "c", "d"}) {
            auto item = Item(Py.port(), "/order/", name, 1, false);
            QVERIFY(Queue->Add(item) >= 0); // "a" starts (logging on) at once
        }
        auto twin = Item(Py.port(), "/order/", "b", 1, false);
        QCOMPARE(Queue->Add(twin), -1);
        QCOMPARE(Windows->Main.Messages.size(), 1);
        Queue->Move(3, 1);
        QCOMPARE(Queue->Item(1)->FileName, QByteArray("d"));
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(started, (QByteArrayList{"a", "a", "d", "b", "c"})); // "a" again after log-on
        // The twin finished: the same item is welcome again.
        QCOMPARE(Queue->Add(twin), 4);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(4)->State(), isDone);
    }

    void failedTypeStepEndsOnlyItsItem() {
        QVERIFY(WriteFile(Vs.rootPath() + "/type/a.txt", "text"));
        Settings.TransferMode = 3; // EBCDIC, which vsftpd refuses
        auto a = Item(Vs.port(), "type/", "a.txt", 4, false);
        TTransferItem* failed = a.get();
        Queue->Add(a);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(failed->State(), isError);
        QCOMPARE(Queue->CompletedCount, 1);
        Settings.TransferMode = 0;
        auto b = Item(Vs.port(), "type/", "a.txt", 4, false);
        b->DestFileName = "b.txt";
        Queue->Add(b);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(1)->State(), isDone);
        QCOMPARE(ReadFile(LocalPath("b.txt")), QByteArray("text"));
    }

    // Two refused files of eleven: each says why in red and in the manager, the run ends
    // "2 of 11 files failed" where the user looks, and the next run counts afresh.
    void refusedFilesAreCountedPerRun() {
        TTransferMonitor monitor(TransferItemsList());
        for (int i = 0; i < 9; ++i)
            QVERIFY(WriteFile(Py.rootPath() + QString("/some/f%1.txt").arg(i), "data"));
        for (int i = 0; i < 11; ++i) {
            auto item = Item(Py.port(), "/some/", QByteArray("f") + QByteArray::number(i) + ".txt",
                             4, false);
            QVERIFY(Queue->Add(item) >= 0);
        }
        QVERIFY(WaitIdle(*Queue));
        QTRY_VERIFY(monitor.AllIdle() && monitor.RunEnded() == 11);
        QCOMPARE(FailedRunText(monitor.RunFailed(), monitor.RunEnded()),
                 QString("2 of 11 files failed"));
        for (const QByteArray name : {"f9.txt", "f10.txt"}) {
            const TTransferItem* item = Queue->Item(name == "f9.txt" ? 9 : 10);
            QCOMPARE(item->State(), isError);
            QVERIFY2(ItemStatusText(*item).startsWith("Aborted due to Error: 550 "),
                     qPrintable(ItemStatusText(*item)));
            const QString line = "\"" + QString(name) + "\" was not transferred: 550 ";
            QVERIFY(std::any_of(
                Queue->LogLines.begin(), Queue->LogLines.end(), [&](const TTransferLogLine& l) {
                    return l.Color == EngineSettings().LogColorError && l.Message.startsWith(line);
                }));
        }
        auto again = Item(Py.port(), "/some/", "f0.txt", 4, false);
        again->DestFileName = "again.txt";
        QVERIFY(Queue->Add(again) >= 0);
        QVERIFY(WaitIdle(*Queue));
        QTRY_COMPARE(monitor.RunEnded(), 1);
        QCOMPARE(monitor.RunFailed(), 0);
        QCOMPARE(Queue->FailedCount, 0);
    }

    void folderItemsBothWays() {
        TRecordingView view;
        QDir().mkpath(LocalPath("exists"));
        auto existing = Item(Py.port(), "/", "exists", 0, false);
        existing->IsFolder = true;
        auto fresh = Item(Py.port(), "/", "fresh", 0, false);
        fresh->IsFolder = true;
        fresh->DestView = &view;
        auto up = Item(Py.port(), "/", "local", 0, true);
        up->IsFolder = true;
        up->DestFileName = "made remotely";
        up->DestView = &view;
        Queue->Add(existing);
        Queue->Add(fresh);
        Queue->Add(up);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(0)->State(), isError);
        QCOMPARE(Queue->Item(1)->State(), isDone);
        QCOMPARE(Queue->Item(2)->State(), isDone);
        QVERIFY(QFileInfo(LocalPath("fresh")).isDir());
        QVERIFY(QFileInfo(Py.rootPath() + "/made remotely").isDir());
        QCOMPARE(view.Added.size(), 2);
        QCOMPARE(view.Added.at(1).Name, QByteArray("made remotely"));
        QCOMPARE(view.Added.at(1).Attributes, uint16_t(raFolder));
    }

    void serverAnnouncedSizeCorrectsTheItem() {
        const QByteArray data = Pattern(5000);
        QVERIFY(WriteFile(Vs.rootPath() + "/size/s.bin", data));
        TRecordingRow row;
        auto item = Item(Vs.port(), "size/", "s.bin", 1000, false); // queued size is stale
        item->ListItem = &row;
        TTransferItem* sized = item.get();
        int64_t leftAtStart = -1;
        Queue->OnItemProgress = [&](TTransferItems* q, TTransferItem*) {
            if (leftAtStart < 0) leftAtStart = q->BytesLeft + q->BytesDone;
        };
        Queue->Add(item);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(sized->State(), isDone);
        QCOMPARE(sized->Size, 5000);
        QCOMPARE(row.SizeText, QStringLiteral("5000"));
        QCOMPARE(leftAtStart, 5000);
        QCOMPARE(Queue->BytesDone, 5000);
        QCOMPARE(Queue->BytesLeft, 0);
        QCOMPARE(ReadFile(LocalPath("s.bin")), data);
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
        Queue->Add(item);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(http->State(), isDone);
        QCOMPARE(ReadFile(LocalPath("page.bin")), page);
        QCOMPARE(http->Size, page.size()); // from the announced length
        QCOMPARE(Queue->BytesDone, page.size());
        QVERIFY(Queue->Sessions().isEmpty());
        QTRY_COMPARE(TFTPComponent::LiveComponents().size(), sessionsBefore);
    }

    void downloadsTakeTheServersTime_data() {
        QTest::addColumn<bool>("preserve");
        QTest::addColumn<bool>("listed"); // the item carries its listing's date
        QTest::newRow("listing's date") << true << true;
        QTest::newRow("no date: MDTM") << true << false;
        QTest::newRow("preserving off") << false << false;
    }
    void downloadsTakeTheServersTime() {
        QFETCH(bool, preserve);
        QFETCH(bool, listed);
        Settings.PreserveTimeStamp = preserve;
        // Long before the download, with seconds, which only MDTM tells.
        const QDateTime server(QDate(2021, 6, 7), QTime(8, 9, 35), Qt::LocalTime);
        QVERIFY(WriteFile(Vs.rootPath() + "/stamp/s.bin", Pattern(3000)));
        QVERIFY(SetTime(Vs.rootPath() + "/stamp/s.bin", server));
        auto item = Item(Vs.port(), "stamp/", "s.bin", 3000, false);
        // A listing dates the file to the minute, in local time.
        const QDateTime minute = server.addSecs(-35);
        if (listed) item->Date = 44354 + (8 * 60 + 9) / 1440.0; // 2021-06-07 08:09
        Queue->Add(item);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(0)->State(), isDone);
        const QDateTime local = QFileInfo(LocalPath("s.bin")).lastModified();
        if (preserve)
            QCOMPARE(local, listed ? minute : server);
        else
            QVERIFY(local > server.addDays(1));
    }

    // pyftpdlib refuses REST in ASCII mode: the view's log-on probe must ask in binary, or
    // "&Recovery" could not work. Answered, it resumes over the view's own session from
    // the local length, and the file ends whole. (Resumes not tried unasked: the overwrite
    // question comes rather than the restart question.)
    void recoveryResumesFromTheLocalLength() {
        Settings.SingleConnectionsOnly = true;
        Settings.TryToResume = 0;
        const QByteArray data = Pattern(250'000, 7);
        QVERIFY(WriteFile(Py.rootPath() + "/rec/part.bin", data));
        QVERIFY(WriteFile(LocalPath("part.bin"), data.left(90'000)));
        TFakeHostView view;
        view.Session->Host = QStringLiteral("127.0.0.1");
        view.Session->Port = Py.port();
        view.Session->User = "anonymous";
        view.Session->Password = "queue@test";
        view.Session->SetPassive(true);
        view.Session->Login();
        QTRY_VERIFY_WITH_TIMEOUT(view.Session->LoggedIn(), 10000);
        QVERIFY(view.Session->ResumeSupported());

        TRecoveryAnswer answer;
        TQueueBuilder::TConnection connection{
            QStringLiteral("127.0.0.1"),    Py.port(), "anonymous", "queue@test", "", false,
            view.Session->ResumeSupported()};
        Queue->HostView = &view;
        view.Batch = true;
        TQueueBuilder builder(Settings, &answer, connection, *Queue);
        TListedFolder remote;
        remote.Entries = {{"part.bin", false, false, true, data.size(), 45000}};
        TLocalFolderSource local;
        builder.Download(remote.Entries, "/rec/", Folder(Local->path()), remote, local);
        view.Batch = false;
        QCOMPARE(answer.Asked.size(), 1);
        QVERIFY(answer.Asked.first().CanResume); // the dialog offers "&Recovery"
        QCOMPARE(Queue->Count(), 1);
        QVERIFY(Queue->ProcessNext());
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(0)->State(), isDone);
        QCOMPARE(ReadFile(LocalPath("part.bin")), data);
        QVERIFY(std::any_of(Queue->LogLines.begin(), Queue->LogLines.end(),
                            [](const auto& l) { return l.Message.startsWith("REST 90000"); }));
        Queue->HostView = nullptr;
    }

    void borrowedSessionGetsItsOwnHandlersBack() {
        Settings.SingleConnectionsOnly = true;
        QVERIFY(WriteFile(Py.rootPath() + "/own/o.txt", "own"));
        TFakeHostView view;
        Queue->HostView = &view;
        auto item = Item(Py.port(), "/own/", "o.txt", 3, false);
        Queue->Add(item); // the view's session is not logged on: the item logs it on first
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(0)->State(), isDone);
        QVERIFY(view.Session->LoggedIn());
        QVERIFY(Queue->Sessions().isEmpty());
        QCOMPARE(view.BusyFlags, (QList<bool>{true, false}));
        QVERIFY(view.OwnProgress > 0);          // forwarded while borrowed
        QVERIFY(!view.OwnLog.isEmpty());        // likewise
        QVERIFY(view.OwnCompletions.isEmpty()); // the item's own
        // The handlers are the view's again, not the queue's from the second start.
        const qsizetype lines = view.OwnLog.size();
        view.Session->OnLog(view.Session, QStringLiteral("mine"), 0);
        QCOMPARE(view.OwnLog.size(), lines + 1);
        const qsizetype queueLines = Queue->LogLines.size();
        view.Session->OnCommandCompleted(view.Session, TFTPCommand::NoOp, true, false);
        QCOMPARE(view.OwnCompletions.size(), 1);
        QCOMPARE(Queue->LogLines.size(), queueLines);
        QCOMPARE(ReadFile(LocalPath("o.txt")), QByteArray("own"));
        Queue->HostView = nullptr;
    }

    // A server restarted while the view's session sat idle: the next download logs on
    // again once and transfers the file, with no error on the way.
    void downloadAfterTheServerRestartedLogsOnAgain() {
        Settings.SingleConnectionsOnly = true;
        TPyftpdlibServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        const QByteArray data = Pattern(70000);
        QVERIFY(WriteFile(server.rootPath() + "/a.txt", "a") &&
                WriteFile(server.rootPath() + "/b.bin", data));
        TFakeHostView view;
        Queue->HostView = &view;
        auto first = Item(server.port(), "/", "a.txt", 1, false);
        Queue->Add(first);
        QVERIFY(WaitIdle(*Queue));
        QVERIFY(server.restart());
        const qsizetype mark = Queue->LogLines.size();
        auto second = Item(server.port(), "/", "b.bin", data.size(), false);
        Queue->Add(second);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(1)->State(), isDone);
        QCOMPARE(ReadFile(LocalPath("b.bin")), data);
        const auto lines = Queue->LogLines.mid(mark);
        QCOMPARE(std::count_if(lines.begin(), lines.end(),
                               [](const auto& l) { return l.Message.startsWith("USER "); }),
                 1);
        for (const auto& line : lines)
            QVERIFY2(line.Color != EngineSettings().LogColorError, qPrintable(line.Message));
        QVERIFY(view.Session->LoggedIn());
        Queue->HostView = nullptr;
    }
};

QTEST_GUILESS_MAIN(TstQueueServers)
#include "tst_queue_servers.moc"
