// Queueing from the panes: the existing-file decision as a table, and walks over fake
// and real folders (order, subfolder questions, converted-name clashes, hostile names,
// links, FIFOs, depth), and a refused download that must leave the local file alone.
#include "TestFiles.h"
#include "TransferFakes.h"
#include "VsftpdServer.h"

#include "engine/FtpComponent.h"
#include "settings/Settings.h"
#include "transfer/QueueBuilder.h"
#include "transfer/TransferItems.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

// Answers in order and records which question came ("O" overwrite, "R" restart).
struct TScriptedQuestions : ITransferQuestions {
    QList<int> Answers;
    QString Asked;
    int AskOverwrite(const TExistingFile&) override { return Next('O'); }
    int AskRestart(const QString&) override { return Next('R'); }
    int Next(char kind) {
        Asked += QLatin1Char(kind);
        return Answers.isEmpty() ? mrCancel : Answers.takeFirst();
    }
};

// Folders as a map from path to entries; a path missing from the map cannot be listed.
struct TFakeSource : IFolderSource {
    QMap<QByteArray, std::vector<TWalkEntry>> Folders;
    QList<QByteArray> Listed;
    bool Endless = false; // every folder holds one more
    bool List(const QByteArray& folder, std::vector<TWalkEntry>& entries) override {
        Listed << folder;
        if (Endless) {
            entries = {Folder("d")};
            return true;
        }
        if (!Folders.contains(folder))
            return false;
        entries = Folders.value(folder);
        return true;
    }
    char Separator() const override { return '/'; }
    static TWalkEntry File(const QByteArray& name, int64_t size = 10, double date = 100) {
        TWalkEntry e;
        e.Name = name;
        e.Size = size;
        e.Date = date;
        return e;
    }
    static TWalkEntry Folder(const QByteArray& name, bool link = false) {
        TWalkEntry e;
        e.Name = name;
        e.IsFolder = true;
        e.IsLink = link;
        return e;
    }
};

struct TBuilderFixture {
    TSettings Settings = DefaultSettings();
    TScriptedQuestions Questions;
    TFakeHostView Host; // Queueing() holds the queue still, so items can be read
    TTransferItems Queue;
    QStringList Errors;
    TBuilderFixture() {
        Host.Batch = true;
        Queue.HostView = &Host;
    }
    TQueueBuilder Builder(bool ask = true) {
        TQueueBuilder b(Settings, ask ? &Questions : nullptr, {"h", 21, "u", "p", "", false, true},
                        Queue);
        b.OnLog = [this](const QString& text, TColor color) {
            if (color == EngineSettings().LogColorError)
                Errors << text;
        };
        return b;
    }
    QStringList Items() const {
        QStringList names;
        for (int i = 0; i < Queue.Count(); ++i) {
            const TTransferItem* item = Queue.Item(i);
            names << QString::fromUtf8(item->DestFolder + item->DestFileName) +
                         (item->IsFolder ? "/" : "") +
                         (item->StartOffset ? QStringLiteral("@%1").arg(item->StartOffset) : QString());
        }
        return names;
    }
};

} // namespace

class TTestQueueBuilder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decision_data() {
        QTest::addColumn<qint64>("existing");
        QTest::addColumn<qint64>("incoming");
        QTest::addColumn<double>("existingDate");
        QTest::addColumn<bool>("canResume");
        // N NoXferOlder, o no overwrite confirm, r no restart confirm, t TryToResume 0
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("asked");
        const QList<int> none;
        QTest::newRow("same and not newer") << 10LL << 10LL << 200.0 << true << "N" << none << int(eaSkip) << "";
        QTest::newRow("same but newer") << 10LL << 10LL << 50.0 << true << "N" << QList<int>{mrNo} << int(eaSkip) << "O";
        QTest::newRow("empty existing") << 0LL << 10LL << 1.0 << true << "" << none << int(eaFromStart) << "";
        QTest::newRow("no confirmation") << 20LL << 10LL << 1.0 << true << "o" << none << int(eaFromStart) << "";
        QTest::newRow("overwrite yes") << 20LL << 10LL << 1.0 << true << "" << QList<int>{mrYes} << int(eaFromStart) << "O";
        QTest::newRow("overwrite closed") << 20LL << 10LL << 1.0 << true << "" << QList<int>{mrCancel} << int(eaSkip) << "O";
        QTest::newRow("recovery impossible") << 4LL << 10LL << 1.0 << false << "" << QList<int>{mrRetry} << int(eaSkip) << "O";
        QTest::newRow("recovery unoffered") << 4LL << 10LL << 1.0 << true << "t" << QList<int>{mrRetry} << int(eaResume) << "O";
        QTest::newRow("ascii smaller asks") << 4LL << 10LL << 1.0 << false << "" << QList<int>{mrYes} << int(eaFromStart) << "O";
        QTest::newRow("restart yes") << 4LL << 10LL << 1.0 << true << "" << QList<int>{mrYes} << int(eaResume) << "R";
        QTest::newRow("restart no") << 4LL << 10LL << 1.0 << true << "" << QList<int>{mrNo} << int(eaFromStart) << "R";
        QTest::newRow("restart closed") << 4LL << 10LL << 1.0 << true << "" << QList<int>{mrCancel} << int(eaSkip) << "R";
        QTest::newRow("restart unasked") << 4LL << 10LL << 1.0 << true << "r" << none << int(eaResume) << "";
    }
    void decision() {
        QFETCH(qint64, existing);
        QFETCH(qint64, incoming);
        QFETCH(double, existingDate);
        QFETCH(bool, canResume);
        QFETCH(QString, settings);
        QFETCH(QList<int>, answers);
        QFETCH(int, action);
        QFETCH(QString, asked);
        TSettings s = DefaultSettings();
        s.NoXferOlder = settings.contains('N');
        s.ConfirmOverwrites = !settings.contains('o');
        s.ConfirmRestarts = !settings.contains('r');
        if (settings.contains('t')) s.TryToResume = 0;
        TScriptedQuestions q;
        q.Answers = answers;
        TDecisionFlags flags;
        const TExistingFile file{"f", existing, incoming, existingDate, 100.0, canResume};
        QString why;
        QCOMPARE(int(DecideExisting(file, s, flags, &q, &why)), action);
        QCOMPARE(q.Asked, asked);
        // Every skip says why, so that no file is left out without a log line.
        QCOMPARE(why.isEmpty(), action != eaSkip);
    }

    // "To all" answers hold for the rest of one command, and the next command asks again.
    void toAllAnswers() {
        const TSettings s = DefaultSettings();
        TScriptedQuestions q;
        q.Answers = {mrNoToAll, mrYesToAll};
        TDecisionFlags command;
        const TExistingFile bigger{"f", 20, 10, 1, 2, true}, smaller{"g", 4, 10, 1, 2, true};
        QCOMPARE(DecideExisting(bigger, s, command, &q), eaSkip);
        QCOMPARE(DecideExisting(bigger, s, command, &q), eaSkip);
        QCOMPARE(DecideExisting(smaller, s, command, &q), eaResume);
        QCOMPARE(DecideExisting(smaller, s, command, &q), eaResume);
        QCOMPARE(q.Asked, QStringLiteral("OR"));
        TDecisionFlags next;
        q.Answers = {mrYes};
        QCOMPARE(DecideExisting(bigger, s, next, &q), eaFromStart);
        QCOMPARE(q.Asked, QStringLiteral("ORO"));
    }

    // Files first, then each folder's item and its contents, depth first; files in
    // subfolders are asked about; two names converted to one are asked about too.
    void uploadWalk() {
        TBuilderFixture f;
        f.Settings.ConversionCase = 1;
        f.Settings.ConversionSpaces = 2;
        TFakeSource local, remote;
        local.Folders = {{"/l/", {TFakeSource::File("Top.txt"), TFakeSource::Folder("Dir"),
                                  TFakeSource::File("My File.bin"), TFakeSource::File("my_file.bin")}},
                         {"/l/Dir/", {TFakeSource::File("inner.bin", 50), TFakeSource::Folder("Sub")}},
                         {"/l/Dir/Sub/", {TFakeSource::File("deep.bin")}}};
        remote.Folders = {{"/r/", {}}, {"/r/dir/", {TFakeSource::File("inner.bin", 20)}}};
        f.Questions.Answers = {mrNo, mrYes};
        TQueueBuilder b = f.Builder();
        b.Upload(local.Folders.value("/l/"), "/l/", "/r/", local, remote);
        QCOMPARE(f.Questions.Asked, QStringLiteral("OR"));
        QCOMPARE(f.Items(), QStringList({"/r/top.txt", "/r/my_file.bin", "/r/dir/",
                                         "/r/dir/inner.bin@20", "/r/dir/sub/", "/r/dir/sub/deep.bin"}));
        // The new folder below the one just made is looked up too.
        QVERIFY(remote.Listed.contains("/r/dir/sub/"));
    }

    // Names from a server never leave the chosen folder; links to folders are not followed.
    void downloadHostileNames() {
        TBuilderFixture f;
        TFakeSource remote, local;
        TWalkEntry link = TFakeSource::Folder("lib", true);
        remote.Folders = {
            {"/r/",
             {TFakeSource::File("../evil"), TFakeSource::File("a/b"), TFakeSource::File(".."),
              TFakeSource::File("ok.txt"), link, TFakeSource::Folder(".."),
              TFakeSource::File("new\nline"), TFakeSource::Folder("sub\r")}},
            {"/r/lib/", {TFakeSource::File("x")}}};
        local.Folders = {{"/l/", {}}};
        TQueueBuilder b = f.Builder();
        b.Download(remote.Folders.value("/r/"), "/r/", "/l/", remote, local);
        QCOMPARE(f.Items(), QStringList({"/l/ok.txt"}));
        QCOMPARE(f.Errors.size(), 6);
        QVERIFY(!remote.Listed.contains("/r/lib/"));
        QCOMPARE(b.Skipped(), 4);
        // A line break cannot travel in a command: refused by name, never sent cut short.
        QCOMPARE(b.Failed(), 2);
        QVERIFY(f.Errors.contains("\"new\\nline\" holds a line break, which no FTP command can "
                                  "carry; not transferred."));
        QVERIFY(!remote.Listed.contains("/r/sub\r/"));
    }

    // An existing folder is never taken for a file; unattended runs skip and count.
    void existingFolderAndUnattended() {
        TBuilderFixture f;
        TFakeSource remote, local;
        remote.Folders = {{"/r/", {TFakeSource::File("a"), TFakeSource::File("b", 30)}}};
        local.Folders = {{"/l/", {TFakeSource::Folder("a"), TFakeSource::File("b", 10)}}};
        TQueueBuilder b = f.Builder(false);
        b.Download(remote.Folders.value("/r/"), "/r/", "/l/", remote, local);
        QVERIFY(f.Items().isEmpty());
        QCOMPARE(b.SkippedExisting(), 1);
        QCOMPARE(f.Errors.size(), 1);
        TQueueBuilder resume = f.Builder(false);
        resume.SetUnattended(TQueueBuilder::unResume);
        resume.Download(remote.Folders.value("/r/"), "/r/", "/l/", remote, local);
        QCOMPARE(f.Items(), QStringList({"/l/b@10"}));
    }

    // A server that nests folders forever, a local link loop and a FIFO end nothing badly.
    void endlessAndSpecialFiles() {
        TBuilderFixture f;
        TFakeSource endless, local;
        endless.Endless = true;
        local.Folders = {{"/l/", {}}};
        f.Builder().Download({TFakeSource::Folder("d")}, "/r/", "/l/", endless, local);
        QCOMPARE(endless.Listed.size(), TQueueBuilder::MaxDepth + 1);

        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path()) + "/";
        QVERIFY(QDir().mkpath(dir.filePath("t/sub")));
        QVERIFY(WriteFile(dir.filePath("t/sub/f.bin"), "x"));
        QVERIFY(QFile::link("..", dir.filePath("t/sub/loop")));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("t/pipe")).constData(), 0600), 0);
        TLocalFolderSource disk;
        std::vector<TWalkEntry> top;
        QVERIFY(disk.List(root, top));
        TFakeSource remote;
        remote.Folders = {{"/r/", {}}};
        TBuilderFixture g;
        g.Builder().Upload(top, root, "/r/", disk, remote);
        QCOMPARE(g.Items(), QStringList({"/r/t/", "/r/t/sub/", "/r/t/sub/f.bin"}));
        QCOMPARE(g.Errors.size(), 1); // the FIFO
    }

    // A download the server refuses leaves the existing local file byte for byte.
    void refusedDownloadKeepsFile() {
        TVsftpdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QTemporaryDir local;
        const QString path = local.filePath("keep.bin");
        QVERIFY(WriteFile(path, Pattern(3000)));
        TFTPComponent session;
        session.Host = QStringLiteral("127.0.0.1");
        session.Port = server.port();
        session.User = "anonymous";
        session.Password = "t@x";
        session.SetPassive(true);
        bool done = false, ok = true;
        session.OnCommandResult = [&](TFTPComponent*, const TCommandCompletedEventData& r) {
            if (r.Command == TFTPCommand::Download && r.Final) {
                done = true;
                ok = r.Success;
            }
        };
        session.Login();
        const QByteArray folder = QFile::encodeName(server.rootPath()) + "/";
        session.Download(folder, folder + "missing.bin", path, 2);
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        QVERIFY(!ok);
        QCOMPARE(ReadFile(path), Pattern(3000));
    }
};

QTEST_MAIN(TTestQueueBuilder)
#include "tst_queue_builder.moc"
