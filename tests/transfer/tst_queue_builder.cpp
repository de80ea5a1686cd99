// Queueing from the panes: the existing-file decision as a table, and walks over fake
// and real folders (order, subfolder questions, converted-name clashes, hostile names,
// links, FIFOs, depth).
#include "TestFiles.h"
#include "TransferFakes.h"

#include "settings/Settings.h"
#include "transfer/QueueBuilder.h"
#include "transfer/TransferItems.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(TExistingFile)

namespace {

TWalkEntry File(const QByteArray& name, int64_t size = 10) {
    return {.Name = name, .Size = size, .Date = 100};
}
TWalkEntry Folder(const QByteArray& name, bool link = false) {
    return {.Name = name, .IsFolder = true, .IsLink = link};
}

// Folders as a map from path to entries; a path missing from the map cannot be listed.
struct TFakeSource : IFolderSource {
    QMap<QByteArray, std::vector<TWalkEntry>> Folders;
    QList<QByteArray> Listed;
    bool Endless = false; // every folder holds one more
    bool List(const QByteArray& folder, std::vector<TWalkEntry>& entries) override {
        Listed << folder;
        if (!Endless && !Folders.contains(folder)) return false;
        entries = Endless ? std::vector{Folder("d")} : Folders.value(folder);
        return true;
    }
    char Separator() const override { return '/'; }
};

struct TBuilderFixture {
    TSettings Settings = DefaultSettings();
    TScriptedTransferQuestions Questions;
    TFakeHostView Host; // Queueing() holds the queue still, so items can be read
    TTransferItems Queue;
    QStringList Errors;
    TBuilderFixture() {
        Host.Batch = true;
        Queue.HostView = &Host;
    }
    TQueueBuilder Builder(bool ask = true) {
        TQueueBuilder b(Settings, ask ? &Questions : nullptr,
                        {"h", 21, "u", "p", "", false, true, {}}, Queue);
        b.OnLog = [this](const QString& text, TColor color) {
            if (color == EngineSettings().LogColorError) Errors << text;
        };
        return b;
    }
    QStringList Items() const {
        QStringList names;
        for (int i = 0; i < Queue.Count(); ++i) {
            const TTransferItem* item = Queue.Item(i);
            names << QString::fromUtf8(item->DestFolder + item->DestFileName) +
                         (item->IsFolder ? "/" : "") +
                         (item->StartOffset ? QStringLiteral("@%1").arg(item->StartOffset)
                                            : QString());
        }
        return names;
    }
};

} // namespace

class TTestQueueBuilder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decision_data() {
        QTest::addColumn<TExistingFile>("file");
        // N NoXferOlder, o no overwrite confirm, r no restart confirm, t TryToResume 0
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("answer"); // 0: none scripted
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("asked");
        const struct {
            const char* Tag;
            qint64 Existing;
            double Date;
            bool CanResume;
            const char *Settings, *Asked;
            int Answer, Action;
        } rows[] = {
            {"same and not newer", 10, 200, true, "N", "", 0, eaSkip},
            {"same but newer", 10, 50, true, "N", "O", mrNo, eaSkip},
            {"empty existing", 0, 1, true, "", "", 0, eaFromStart},
            {"no confirmation", 20, 1, true, "o", "", 0, eaFromStart},
            {"overwrite yes", 20, 1, true, "", "O", mrYes, eaFromStart},
            {"overwrite closed", 20, 1, true, "", "O", mrCancel, eaSkip},
            {"recovery impossible", 4, 1, false, "", "O", mrRetry, eaSkip},
            {"recovery unoffered", 4, 1, true, "t", "O", mrRetry, eaResume},
            {"ascii smaller asks", 4, 1, false, "", "O", mrYes, eaFromStart},
            {"restart yes", 4, 1, true, "", "R", mrYes, eaResume},
            {"restart no", 4, 1, true, "", "R", mrNo, eaFromStart},
            {"restart closed", 4, 1, true, "", "R", mrCancel, eaSkip},
            {"restart unasked", 4, 1, true, "r", "", 0, eaResume},
        };
        for (const auto& r : rows)
            QTest::newRow(r.Tag) << TExistingFile{"f", r.Existing, 10, r.Date, 100.0, r.CanResume}
                                 << r.Settings << r.Answer << int(r.Action) << r.Asked;
    }
    void decision() {
        QFETCH(TExistingFile, file);
        QFETCH(QString, settings);
        QFETCH(int, answer);
        QFETCH(int, action);
        TSettings s = DefaultSettings();
        s.NoXferOlder = settings.contains('N');
        s.ConfirmOverwrites = !settings.contains('o');
        s.ConfirmRestarts = !settings.contains('r');
        if (settings.contains('t')) s.TryToResume = 0;
        TScriptedTransferQuestions q;
        if (answer) q.Answers = {answer};
        TDecisionFlags flags;
        QString why;
        QCOMPARE(int(DecideExisting(file, s, flags, &q, &why)), action);
        QTEST(q.Asked, "asked");
        // Every skip says why, so that no file is left out without a log line.
        QCOMPARE(why.isEmpty(), action != eaSkip);
    }

    // "To all" answers hold for the rest of one command, and the next command asks again.
    void toAllAnswers() {
        const TSettings s = DefaultSettings();
        TScriptedTransferQuestions q;
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
        local.Folders = {
            {"/l/", {File("Top.txt"), Folder("Dir"), File("My File.bin"), File("my_file.bin")}},
            {"/l/Dir/", {File("inner.bin", 50), Folder("Sub")}},
            {"/l/Dir/Sub/", {File("deep.bin")}}};
        remote.Folders = {{"/r/", {}}, {"/r/dir/", {File("inner.bin", 20)}}};
        f.Questions.Answers = {mrNo, mrYes};
        TQueueBuilder b = f.Builder();
        b.Upload(local.Folders.value("/l/"), "/l/", "/r/", local, remote);
        QCOMPARE(f.Questions.Asked, QStringLiteral("OR"));
        QCOMPARE(f.Items(),
                 QStringList({"/r/top.txt", "/r/my_file.bin", "/r/dir/", "/r/dir/inner.bin@20",
                              "/r/dir/sub/", "/r/dir/sub/deep.bin"}));
        // The new folder below the one just made is looked up too.
        QVERIFY(remote.Listed.contains("/r/dir/sub/"));
    }

    // Names from a server never leave the chosen folder; links to folders are not followed.
    void downloadHostileNames() {
        TBuilderFixture f;
        TFakeSource remote, local;
        remote.Folders = {{"/r/",
                           {File("../evil"), File("a/b"), File(".."), File("ok.txt"),
                            Folder("lib", true), Folder(".."), File("new\nline"), Folder("sub\r")}},
                          {"/r/lib/", {File("x")}}};
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

    // An existing folder is never taken for a file; unattended runs skip and count. A
    // shorter text file on a server that resumes is no resume: its line ends change its
    // length, so it is asked about as an overwrite, and an unattended resume skips it.
    void existingFolderAndUnattended() {
        TBuilderFixture f;
        TFakeSource remote, local;
        remote.Folders = {{"/r/", {File("a"), File("b", 30), File("c.txt", 30)}}};
        local.Folders = {{"/l/", {Folder("a"), File("b", 10), File("c.txt", 10)}}};
        TQueueBuilder b = f.Builder(false);
        b.Download(remote.Folders.value("/r/"), "/r/", "/l/", remote, local);
        QVERIFY(f.Items().isEmpty());
        QCOMPARE(b.SkippedExisting(), 2);
        QCOMPARE(f.Errors.size(), 1);
        TQueueBuilder resume = f.Builder(false);
        resume.SetUnattended(TQueueBuilder::unResume);
        resume.Download(remote.Folders.value("/r/"), "/r/", "/l/", remote, local);
        QCOMPARE(f.Items(), QStringList({"/l/b@10"}));
        f.Builder().Download(remote.Folders.value("/r/"), "/r/", "/l/", remote, local);
        QCOMPARE(f.Questions.Asked, QStringLiteral("RO"));
    }

    // A server that nests folders forever, a local link loop and a FIFO end nothing badly.
    void endlessAndSpecialFiles() {
        TBuilderFixture f;
        TFakeSource endless, local;
        endless.Endless = true;
        local.Folders = {{"/l/", {}}};
        f.Builder().Download({Folder("d")}, "/r/", "/l/", endless, local);
        QCOMPARE(endless.Listed.size(), TQueueBuilder::MaxDepth + 1);

        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path()) + "/";
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
};

QTEST_MAIN(TTestQueueBuilder)
#include "tst_queue_builder.moc"
