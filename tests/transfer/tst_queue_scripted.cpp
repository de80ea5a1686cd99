// Misbehaviour real servers will not show on demand: a refused log-on, a transfer that
// stalls until the user cancels it, a refused upload, a restart the server ignores.
#include "ScriptedFtpServer.h"
#include "TestFiles.h"
#include "TransferFakes.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <atomic>
#include <utility>

namespace {

// How a scripted server answers; shared by all its connections.
struct TPlan {
    QByteArray PassReply = "230 Logged in.";
    QByteArray File;
    QByteArray StorReply; // empty: accept the upload
    std::atomic<bool> StallFirstRetr{false};
    // Above 0: the first RETR's data connection is dropped after this many bytes.
    std::atomic<int> DropFirstRetrAt{0};
    // False: REST is answered 350 and ignored, the whole file sent, as broken servers do.
    bool HonourRest = false;
    bool DropControlToo = false; // the server goes away as a whole
    std::atomic<int> Retrs{0};
};

void Serve(TScriptedConnection& c, TPlan& plan) {
    static const QMap<QByteArray, QByteArray> fixed{
        {"USER", "331 Password please."}, {"TYPE", "200 Type set."}, {"CWD", "250 Okay."}};
    c.setSendPause(0);
    c.sendLine("220 Scripted server ready.");
    qsizetype restart = 0;
    for (;;) {
        const QByteArray line = c.readLine(10000);
        if (c.readFailed()) return;
        const QByteArray verb = line.split(' ').first().toUpper();
        if (fixed.contains(verb)) {
            c.sendLine(fixed.value(verb));
        } else if (verb == "PASS") {
            c.sendLine(plan.PassReply);
        } else if (verb == "PASV") {
            c.sendLine(c.openPassive());
        } else if (verb == "REST") {
            restart = line.mid(5).toLongLong();
            c.sendLine("350 Restarting.");
        } else if (verb == "RETR") {
            const bool first = plan.Retrs++ == 0;
            const qsizetype from = std::exchange(restart, 0);
            const QByteArray rest = plan.HonourRest ? plan.File.mid(from) : plan.File;
            c.sendLine("150 Opening BINARY mode data connection (" +
                       QByteArray::number(plan.File.size()) + " bytes).");
            if (!c.acceptData()) return;
            if (first && plan.StallFirstRetr) {
                // Half the file, then silence until the client gives up on the data.
                c.sendData(plan.File.left(plan.File.size() / 2));
                c.receiveDataUntilClose(10000);
                c.sendLine("426 Transfer aborted.");
                continue;
            }
            const bool drop = first && plan.DropFirstRetrAt > 0;
            c.sendData(drop ? rest.left(plan.DropFirstRetrAt) : rest);
            c.closeData();
            if (drop && plan.DropControlToo) return c.close();
            c.sendLine(drop ? "426 Connection closed; transfer aborted."
                            : "226 Transfer complete.");
        } else if (verb == "STOR") {
            if (!plan.StorReply.isEmpty()) {
                c.sendLine(plan.StorReply);
                continue;
            }
            c.sendLine("150 Ok to send data.");
            if (!c.acceptData()) return;
            c.receiveDataUntilClose(10000);
            c.sendLine("226 Transfer complete.");
        } else if (verb == "QUIT") {
            c.sendLine("221 Goodbye.");
            return c.close();
        } else {
            c.sendLine("502 Command not implemented.");
        }
    }
}

// A scripted server playing its plan.
struct TPlanServer : TPlan {
    TScriptedFtpServer Server;
    TPlanServer() {
        Server.setScript([this](TScriptedConnection& c) { Serve(c, *this); });
    }
};

} // namespace

class TstQueueScripted : public QObject, TQueueFixture {
    Q_OBJECT

    std::unique_ptr<TTransferItem> Item(const TPlanServer& server, const QByteArray& name,
                                        int64_t size, bool upload = false) const {
        return TQueueFixture::Item(server.Server.port(), "/pub/", name, size, upload, "joe",
                                   "secret");
    }

private Q_SLOTS:
    void initTestCase() {
        SetUpAll();
        Settings.UsePASV = true;
    }
    void init() { SetUp(); }
    void cleanup() { TearDown(); }
    void cleanupTestCase() { TearDownAll(); }

    void refusedLogOnEndsTheItemAndTheQueueGoesOn() {
        TPlanServer bad, good;
        bad.PassReply = "530 Login incorrect.";
        good.File = "served";
        auto refused = Item(bad, "a.txt", 6), next = Item(good, "b.txt", 6);
        TTransferItem* first = refused.get();
        Queue->Add(refused);
        Queue->Add(next);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(first->State(), isError);
        QCOMPARE(Queue->Item(1)->State(), isDone);
        QCOMPARE(Queue->CompletedCount, 2);
        QCOMPARE(LogCount(*Queue, "Could not log on", EngineSettings().LogColorError.load()), 1);
        QCOMPARE(Windows->Main.StatusTexts.first(), QStringLiteral("Logging on to 127.0.0.1..."));
    }

    void pooledSessionGetsTheTypeOnlyWhenItChanges() {
        TPlanServer server;
        server.File = "data";
        for (const char* name : {"a.bin", "b.bin", "c.txt", "d.zip"}) {
            auto item = Item(server, name, 4);
            Queue->Add(item);
        }
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->StateCount(isDone), 4);
        QByteArrayList types;
        for (const QByteArray& line : server.Server.transcript())
            if (line.startsWith("TYPE")) types << line;
        QCOMPARE(types, (QByteArrayList{"TYPE I", "TYPE A", "TYPE I"}));
        QCOMPARE(server.Server.connectionCount(), 1);
    }

    // A transfer stalled midway and cancelled, or ended with the transfer sessions: the item
    // is cancelled and out of the totals wherever it stopped, the next one goes on, and the
    // cancelled one can be re-submitted.
    void stalledTransferEndsAndCanBeResubmitted_data() {
        QTest::addColumn<bool>("disconnect");
        QTest::newRow("item cancelled") << false;
        QTest::newRow("transfers disconnected") << true;
    }
    void stalledTransferEndsAndCanBeResubmitted() {
        QFETCH(bool, disconnect);
        TPlanServer server;
        server.File = QByteArray(400'000, 'x');
        server.StallFirstRetr = true;
        const int64_t size = server.File.size();
        auto stalled = Item(server, "first.bin", size), next = Item(server, "second.bin", size);
        TTransferItem* first = stalled.get();
        bool ended = false;
        Queue->OnItemProgress = [&](TTransferItems*, TTransferItem* item) {
            if (item != first || item->State() != isBusy || std::exchange(ended, true)) return;
            if (disconnect)
                TransferItemsList().DisconnectAll();
            else
                item->Cancel();
        };
        Queue->Add(stalled);
        Queue->Add(next);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(first->State(), isCancelled);
        QCOMPARE(Queue->Item(1)->State(), isDone);
        if (disconnect) QCOMPARE(server.Server.connectionCount(), 2); // the next logged on afresh
        QCOMPARE(Queue->BytesDone, size);
        QCOMPARE(Queue->BytesLeft, 0);

        first->SetState(isPending);
        QCOMPARE(Queue->BytesLeft, size);
        QVERIFY(Queue->ProcessNext());
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(first->State(), isDone);
        QCOMPARE(Queue->BytesDone, size);
        QCOMPARE(Queue->BytesLeft, 0);
        QCOMPARE(QFileInfo(LocalPath("first.bin")).size(), size);
    }

    void ignoredRestartFailsTheItemAndTheNextRunStartsFromZero() {
        // The plan's server takes REST with 350 and still sends the whole file.
        TPlanServer server;
        server.File = Pattern(100000, 5);
        QVERIFY(WriteFile(LocalPath("resumed.bin"), server.File.left(50000)));
        auto item = Item(server, "resumed.bin", server.File.size());
        item->StartOffset = 50000;
        TTransferItem* resumed = item.get();
        QCOMPARE(Run(std::move(item)), isError);
        QCOMPARE(ReadFile(LocalPath("resumed.bin")), server.File.left(50000));

        resumed->SetState(isPending);
        QVERIFY(Queue->ProcessNext());
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(resumed->State(), isDone);
        QCOMPARE(ReadFile(LocalPath("resumed.bin")), server.File);
        QCOMPARE(server.Server.transcript().count("REST 50000"), 1);
    }

    // The connection drops mid-file: the item goes on from the local length, logging on
    // again when the control connection went too, and only once bytes have come.
    void droppedDownloadResumesFromTheLocalLength_data() {
        QTest::addColumn<bool>("wholeConnection");
        QTest::newRow("data connection") << false;
        QTest::newRow("whole connection") << true;
    }
    void droppedDownloadResumesFromTheLocalLength() {
        QFETCH(bool, wholeConnection);
        TPlanServer server;
        server.File = Pattern(300'000, 6);
        server.DropFirstRetrAt = 120'000;
        server.HonourRest = true;
        server.DropControlToo = wholeConnection;
        const int64_t size = server.File.size();
        QCOMPARE(Run(Item(server, "broken.bin", size)), isDone);
        QCOMPARE(ReadFile(LocalPath("broken.bin")), server.File);
        QCOMPARE(server.Retrs.load(), 2);
        QVERIFY(server.Server.transcript().contains("REST 120000"));
        QCOMPARE(server.Server.connectionCount(), wholeConnection ? 2 : 1);
        QCOMPARE(Queue->BytesDone, size);
        QCOMPARE(Queue->BytesLeft, 0);

        // Text files never resume: their local length is not the server's.
        server.Retrs = 0;
        QCOMPARE(Run(Item(server, "broken.txt", size)), isError);
        QCOMPARE(server.Retrs.load(), 1);
    }

    // A refused upload of a name with a blank hints at the blank; without one there is
    // nothing to hint at.
    void refusedUploadOfANameWithABlankGetsTheHint() {
        TPlanServer server;
        server.StorReply = "553 Could not create file.";
        QVERIFY(WriteFile(LocalPath("my file.txt"), "hello") &&
                WriteFile(LocalPath("plain.txt"), "hello"));
        QCOMPARE(Run(Item(server, "my file.txt", 5, true)), isError);
        QCOMPARE(Windows->Main.Messages.size(), 1);
        QVERIFY(Windows->Main.Messages.first().startsWith(
            QStringLiteral("There was a problem uploading \"my file.txt\", which may be due to")));
        QCOMPARE(Run(Item(server, "plain.txt", 5, true)), isError);
        QCOMPARE(Windows->Main.Messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TstQueueScripted)
#include "tst_queue_scripted.moc"
