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
    c.setSendPause(0);
    c.sendLine("220 Scripted server ready.");
    qsizetype restart = 0;
    for (;;) {
        const QByteArray line = c.readLine(10000);
        if (c.readFailed()) return;
        const qsizetype space = line.indexOf(' ');
        const QByteArray verb = (space < 0 ? line : line.left(space)).toUpper();
        if (verb == "USER") {
            c.sendLine("331 Password please.");
        } else if (verb == "PASS") {
            c.sendLine(plan.PassReply);
        } else if (verb == "TYPE") {
            c.sendLine("200 Type set.");
        } else if (verb == "PASV") {
            c.sendLine(c.openPassive());
        } else if (verb == "CWD") {
            c.sendLine("250 Okay.");
        } else if (verb == "REST") {
            restart = line.mid(5).toLongLong();
            c.sendLine("350 Restarting.");
        } else if (verb == "RETR") {
            const bool first = plan.Retrs++ == 0;
            const bool stall = first && plan.StallFirstRetr;
            const qsizetype from = std::exchange(restart, 0);
            const QByteArray rest = plan.HonourRest ? plan.File.mid(from) : plan.File;
            c.sendLine("150 Opening BINARY mode data connection (" +
                       QByteArray::number(plan.File.size()) + " bytes).");
            if (!c.acceptData()) return;
            if (stall) {
                // Half the file, then silence until the client gives up on the data.
                c.sendData(plan.File.left(plan.File.size() / 2));
                c.receiveDataUntilClose(10000);
                c.sendLine("426 Transfer aborted.");
                continue;
            }
            if (first && plan.DropFirstRetrAt > 0) {
                c.sendData(rest.left(plan.DropFirstRetrAt));
                c.closeData();
                if (plan.DropControlToo) {
                    c.close();
                    return;
                }
                c.sendLine("426 Connection closed; transfer aborted.");
                continue;
            }
            c.sendData(rest);
            c.closeData();
            c.sendLine("226 Transfer complete.");
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
            c.close();
            return;
        } else {
            c.sendLine("502 Command not implemented.");
        }
    }
}

} // namespace

class TstQueueScripted : public QObject, TQueueFixture {
    Q_OBJECT

    std::unique_ptr<TTransferItem> Item(quint16 port, const QByteArray& name, int64_t size,
                                        bool upload = false) const {
        return TQueueFixture::Item(port, "/pub/", name, size, upload, "joe", "secret");
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
        TPlan refusing, serving;
        refusing.PassReply = "530 Login incorrect.";
        serving.File = "served";
        TScriptedFtpServer bad, good;
        bad.setScript([&](TScriptedConnection& c) { Serve(c, refusing); });
        good.setScript([&](TScriptedConnection& c) { Serve(c, serving); });
        auto refused = Item(bad.port(), "a.txt", 6);
        TTransferItem* first = refused.get();
        auto next = Item(good.port(), "b.txt", 6);
        Queue->Add(refused);
        Queue->Add(next);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(first->State(), isError);
        QCOMPARE(Queue->Item(1)->State(), isDone);
        QCOMPARE(Queue->CompletedCount, 2);
        const TColor red = EngineSettings().LogColorError;
        QVERIFY(std::any_of(Queue->LogLines.begin(), Queue->LogLines.end(), [&](const auto& l) {
            return l.Color == red && l.Message.startsWith(QStringLiteral("Could not log on"));
        }));
        QCOMPARE(Windows->Main.StatusTexts.first(), QStringLiteral("Logging on to 127.0.0.1..."));
    }

    void pooledSessionGetsTheTypeOnlyWhenItChanges() {
        TPlan plan;
        plan.File = "data";
        TScriptedFtpServer server;
        server.setScript([&](TScriptedConnection& c) { Serve(c, plan); });
        for (const char* name : {"a.bin", "b.bin", "c.txt", "d.zip"}) {
            auto item = Item(server.port(), name, 4);
            Queue->Add(item);
        }
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->StateCount(isDone), 4);
        QByteArrayList types;
        for (const QByteArray& line : server.transcript())
            if (line.startsWith("TYPE")) types << line;
        QCOMPARE(types, (QByteArrayList{"TYPE I", "TYPE A", "TYPE I"}));
        QCOMPARE(server.connectionCount(), 1);
    }

    void transferAbortedMidwayIsCancelledAndCanBeResubmitted() {
        TPlan plan;
        plan.File = QByteArray(400'000, 'x');
        plan.StallFirstRetr = true;
        TScriptedFtpServer server;
        server.setScript([&](TScriptedConnection& c) { Serve(c, plan); });
        auto item = Item(server.port(), "big.bin", plan.File.size());
        TTransferItem* big = item.get();
        Queue->OnItemProgress = [](TTransferItems*, TTransferItem* i) {
            if (i->State() == isBusy) i->Cancel();
        };
        Queue->Add(item);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(big->State(), isCancelled);
        // A cancelled item is out of the totals, wherever it stopped.
        QCOMPARE(Queue->BytesDone, 0);
        QCOMPARE(Queue->BytesLeft, 0);

        Queue->OnItemProgress = nullptr;
        big->SetState(isPending);
        QCOMPARE(Queue->BytesLeft, plan.File.size());
        QVERIFY(Queue->ProcessNext());
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(big->State(), isDone);
        QCOMPARE(Queue->BytesDone, plan.File.size());
        QCOMPARE(Queue->BytesLeft, 0);
        QFile file(Local->filePath("big.bin"));
        QCOMPARE(file.size(), plan.File.size());
    }

    void disconnectingTheTransfersMidwayCancelsAndGoesOn() {
        TPlan plan;
        plan.File = QByteArray(300'000, 'y');
        plan.StallFirstRetr = true;
        TScriptedFtpServer server;
        server.setScript([&](TScriptedConnection& c) { Serve(c, plan); });
        auto stalled = Item(server.port(), "first.bin", plan.File.size());
        TTransferItem* first = stalled.get();
        auto next = Item(server.port(), "second.bin", plan.File.size());
        bool disconnected = false;
        Queue->OnItemProgress = [&](TTransferItems*, TTransferItem* item) {
            if (item == first && !disconnected) {
                disconnected = true;
                TransferItemsList().DisconnectAll();
            }
        };
        Queue->Add(stalled);
        Queue->Add(next);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(first->State(), isCancelled);
        QCOMPARE(Queue->Item(1)->State(), isDone);
        QCOMPARE(server.connectionCount(), 2); // the next item logged on afresh
        QCOMPARE(Queue->BytesDone, plan.File.size());
        QCOMPARE(Queue->BytesLeft, 0);
    }

    void ignoredRestartFailsTheItemAndTheNextRunStartsFromZero() {
        // The plan's server takes REST with 350 and still sends the whole file.
        TPlan plan;
        plan.File = Pattern(100000, 5);
        TScriptedFtpServer server;
        server.setScript([&](TScriptedConnection& c) { Serve(c, plan); });
        QVERIFY(WriteFile(LocalPath("resumed.bin"), plan.File.left(50000)));
        auto item = Item(server.port(), "resumed.bin", plan.File.size());
        item->StartOffset = 50000;
        TTransferItem* resumed = item.get();
        Queue->Add(item);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(resumed->State(), isError);
        QCOMPARE(ReadFile(LocalPath("resumed.bin")), plan.File.left(50000));

        resumed->SetState(isPending);
        QVERIFY(Queue->ProcessNext());
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(resumed->State(), isDone);
        QCOMPARE(ReadFile(LocalPath("resumed.bin")), plan.File);
        QCOMPARE(server.transcript().count("REST 50000"), 1);
    }

    // The connection drops mid-file: the item goes on from the local length, logging on
    // again when the control connection went too, and only once bytes have come.
    void droppedDownloadResumesFromTheLocalLength_data() {
        QTest::addColumn<bool>("wholeConnection");
        QTest::newRow("data connection") << false;
        QTest::newRow("whole connection") << true;
    }
    void droppedDownloadResumesFromTheLocalLength() {
        TPlan plan;
        plan.File = QByteArray(300'000, 'z');
        for (qsizetype i = 0; i < plan.File.size(); i += 7)
            plan.File[i] = char(i / 7);
        plan.DropFirstRetrAt = 120'000;
        plan.HonourRest = true;
        QFETCH(bool, wholeConnection);
        plan.DropControlToo = wholeConnection;
        TScriptedFtpServer server;
        server.setScript([&](TScriptedConnection& c) { Serve(c, plan); });
        auto item = Item(server.port(), "broken.bin", plan.File.size());
        TTransferItem* broken = item.get();
        Queue->Add(item);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(broken->State(), isDone);
        QFile file(Local->filePath("broken.bin"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), plan.File);
        QCOMPARE(plan.Retrs.load(), 2);
        QVERIFY(server.transcript().contains("REST 120000"));
        QCOMPARE(server.connectionCount(), wholeConnection ? 2 : 1);
        QCOMPARE(Queue->BytesDone, plan.File.size());
        QCOMPARE(Queue->BytesLeft, 0);

        // Text files never resume: their local length is not the server's.
        plan.Retrs = 0;
        auto text = Item(server.port(), "broken.txt", plan.File.size());
        Queue->Add(text);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(1)->State(), isError);
        QCOMPARE(plan.Retrs.load(), 1);
    }

    void refusedUploadOfANameWithABlankGetsTheHint() {
        TPlan plan;
        plan.StorReply = "553 Could not create file.";
        TScriptedFtpServer server;
        server.setScript([&](TScriptedConnection& c) { Serve(c, plan); });
        QFile local(Local->filePath("my file.txt"));
        QVERIFY(local.open(QIODevice::WriteOnly));
        local.write("hello");
        local.close();
        auto item = Item(server.port(), "my file.txt", 5, true);
        TTransferItem* up = item.get();
        Queue->Add(item);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(up->State(), isError);
        QCOMPARE(Windows->Main.Messages.size(), 1);
        QVERIFY(Windows->Main.Messages.first().startsWith(
            QStringLiteral("There was a problem uploading \"my file.txt\", which may be due to")));

        // Without a blank there is nothing to hint at.
        QFile::copy(local.fileName(), Local->filePath("plain.txt"));
        auto plain = Item(server.port(), "plain.txt", 5, true);
        Queue->Add(plain);
        QVERIFY(WaitIdle(*Queue));
        QCOMPARE(Queue->Item(1)->State(), isError);
        QCOMPARE(Windows->Main.Messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TstQueueScripted)
#include "tst_queue_scripted.moc"
