// The main window's commands on files against a real vsftpd: the viewer started on
// hostile names without a shell, files fetched for it, "&Open" refusing programs, and
// "Send To" moving on the server, copying to any local folder and naming on the clipboard.
#include "TestFiles.h"
#include "VsftpdServer.h"
#include "WindowFixture.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "platform/Registry.h"
#include "platform/SafeName.h"
#include "transfer/TransferItems.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>

namespace {

const QStringList HostileNames{"a b.txt", "q\"uo'te.txt", "$(touch x).txt", "-rf.txt"};

// A program that records the arguments of each start, one a line, in a file of its own.
struct TRecordingProgram {
    QTemporaryDir Folder;
    QString Program;
    explicit TRecordingProgram(const QString& subfolder = "bin") {
        Program = Folder.filePath(subfolder + "/viewer");
        const QByteArray record = "'" + QFile::encodeName(Folder.path()) + "'/";
        WriteFile(Program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + record + "part.$$ && mv " +
                               record + "part.$$ " + record + "start.$$\n");
        QFile(Program).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // Each start's arguments, sorted, and the starts sorted.
    QList<QStringList> Starts() const {
        QList<QStringList> starts;
        const QDir folder(Folder.path());
        for (const QString& name : folder.entryList({"start.*"}, QDir::Files)) {
            starts << QString::fromUtf8(ReadFile(folder.filePath(name)))
                          .split('\n', Qt::SkipEmptyParts);
            starts.last().sort();
        }
        std::sort(starts.begin(), starts.end());
        return starts;
    }
};

void SelectNames(TCustomView* pane, const QStringList& names) {
    QList<int> rows;
    for (int row = 0; row < pane->ItemCount(); ++row)
        if (names.contains(pane->ItemName(row))) rows << row;
    pane->SelectRows(rows);
}

} // namespace

class TTestFileCommands : public QObject {
    Q_OBJECT
    TVsftpdServer Server; // writable; each case its own files
    QString Root;

private Q_SLOTS:
    void initTestCase() {
        Root = Server.rootPath();
        QVERIFY(WriteFile(Root + "/-a b.txt", Pattern(300, 1)));
        QVERIFY(WriteFile(Root + "/run.desktop", "[Desktop Entry]\nExec=touch x\n"));
        QVERIFY(WriteFile(Root + "/c#d.txt", "cd"));
        QVERIFY(WriteFile(Root + "/e f.bin", Pattern(40000, 5)));
        QVERIFY(WriteFile(Root + "/dest/old.txt", "old"));
        Server.setWritable(true);
        QVERIFY2(Server.start(), qPrintable(Server.errorText()));
    }
    void init() { EngineSettings().TimeOut = 10000; }
    void cleanupTestCase() { QVERIFY(TFTPComponent::WaitForWorkers(15000)); }

    // Each name reaches the program as one argument, as an absolute path, and no shell
    // runs what a name holds; the setting alone is split into program and arguments. The
    // viewer starts once a file, the HTML editor (offered once the registry names one)
    // once with all.
    void programArguments_data() {
        QTest::addColumn<QString>("viewer"); // "%p": the recording program's path
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QStringList>("before");
        QTest::newRow("path with a blank") << "%p"
                                           << "" << QStringList();
        QTest::newRow("quoted, argument, placeholder") << "\"%p\" --readonly \"%1\""
                                                       << "" << QStringList{"--readonly"};
        QTest::newRow("missing program") << "%p-gone"
                                         << "" << QStringList();
        QTest::newRow("editor") << ""
                                << "\"%p\" \"%1\"" << QStringList();
    }
    void programArguments() {
        QFETCH(QString, viewer);
        QFETCH(QString, editor);
        QFETCH(QStringList, before);
        TRecordingProgram program("dir with blank");
        QTemporaryDir local;
        for (const QString& name : HostileNames)
            QVERIFY(WriteFile(local.filePath(name), name.toUtf8()));
        TWindowFixture f(false);
        TRegistry(f.RegistryFile())
            .WriteString(RegEditorCommand, {}, editor.replace("%p", program.Program));
        f.Open();
        f.Window->Settings().Viewer = viewer.replace("%p", program.Program);
        QCOMPARE(f.Action("actLocalEditPellion")->isVisible(), !editor.isEmpty());
        QVERIFY(f.Window->OpenLocalFolder(local.path(), true));
        f.Window->CurrentLocalView()->SelectAll();
        QVERIFY(f.Trigger(editor.isEmpty() ? "actLocalEditNotepad" : "actLocalEditPellion"));
        if (viewer.endsWith("-gone")) {
            QCOMPARE(f.Questions.Messages,
                     QStringList(4, "An error occurred when the program was started."));
            return;
        }
        QList<QStringList> expected;
        for (const QString& name : HostileNames) {
            if (editor.isEmpty() || expected.isEmpty()) expected << before;
            expected.last() << local.filePath(name);
        }
        for (QStringList& start : expected)
            start.sort();
        std::sort(expected.begin(), expected.end());
        QTRY_COMPARE(program.Starts(), expected);
        QVERIFY(!QFileInfo::exists(local.filePath("x")) && !QFileInfo::exists("x"));
        QVERIFY(f.Questions.Messages.isEmpty());
    }

    // A remote file is fetched into a folder of its own inside the private folder, not
    // executable, and handed to the viewer; "&Open" refuses a desktop launcher and offers
    // the viewer instead. "Send To": full paths or percent-encoded URLs on the clipboard,
    // a line each with no break after the last; a copy into a folder no pane shows; a
    // move with one rename each into the folder typed, after the shown folder as the
    // answer moved nothing.
    void remoteCommands() {
        QTemporaryDir local, other;
        TWindowFixture f;
        QVERIFY(f.ShowBoth(Server, local.path()));
        TRecordingProgram viewer;
        f.Window->Settings().Viewer = viewer.Program;
        THostView* host = f.Host(0);
        SelectName(host, "-a b.txt");
        QTRY_VERIFY(f.Enabled("actServerEditNotepad"));
        QVERIFY(f.Trigger("actServerEditNotepad"));
        QTRY_COMPARE(viewer.Starts().size(), 1);
        const QString fetched = viewer.Starts().first().value(0);
        QVERIFY2(fetched.startsWith(PrivateTempFolder()) && fetched.endsWith("/-a b.txt"),
                 qPrintable(fetched));
        QCOMPARE(ReadFile(fetched), Pattern(300, 1));
        QCOMPARE(QFileInfo(fetched).permissions() & 0x1111, QFile::Permissions());

        SelectName(host, "run.desktop");
        f.Questions.Yes = true;
        QTRY_VERIFY(f.Enabled("actPopOpen"));
        QVERIFY(f.Trigger("actPopOpen"));
        QTRY_COMPARE(viewer.Starts().size(), 2);
        QVERIFY(f.Questions.Asked.last().startsWith("\"run.desktop\" is a program"));

        SelectNames(host, {"c#d.txt", "e f.bin"});
        QTRY_VERIFY(f.Enabled("actSendToName"));
        const auto lines = [] { // sorted: the current entry comes first
            QStringList list = QGuiApplication::clipboard()->text().split("\r\n");
            list.sort();
            return list;
        };
        QVERIFY(f.Trigger("actSendToName"));
        QCOMPARE(lines(), QStringList({Root + "/c#d.txt", Root + "/e f.bin"}));
        QVERIFY(f.Trigger("actSendToURL"));
        const QString base = QStringLiteral("ftp://127.0.0.1:%1%2/").arg(Server.port()).arg(Root);
        QCOMPARE(lines(), QStringList({base + "c%23d.txt", base + "e%20f.bin"}));

        f.Questions.Folder = other.path();
        QVERIFY(f.Trigger("actSendToLocal"));
        QCOMPARE(f.Questions.Asked.last(), "Select Destination Folder|" + local.path() + "/");
        QTRY_COMPARE(host->ExistingQueue()->StateCount(isDone), 2);
        QCOMPARE(FilesUnder(other.path()),
                 (QMap<QString, QByteArray>{{"c#d.txt", "cd"}, {"e f.bin", Pattern(40000, 5)}}));

        const auto renames = [host] {
            const auto& log = host->Browser().LogEntries();
            return std::count_if(log.begin(), log.end(),
                                 [](const TLogEntry& e) { return e.Text.startsWith("RNFR"); });
        };
        f.Questions.Text = Root + "/";
        QVERIFY(f.Trigger("actSendToHost"));
        QCOMPARE(f.Questions.Asked.last(), "Move to another folder|" + Root + "/");
        f.Questions.Text = "dest"; // below the shown folder
        QVERIFY(f.Trigger("actSendToHost"));
        QTRY_COMPARE(FilesUnder(Root + "/dest").size(), 3);
        QTRY_VERIFY(host->ItemCount() == 3); // "dest", "-a b.txt", "run.desktop"
        QCOMPARE(renames(), 2);
        f.Questions.Text = Root + "/dest"; // "Change Folder" proposes the shown one
        QTRY_VERIFY(f.Trigger("actServerChangeFolder"));
        QTRY_COMPARE(host->Folder(), Root + "/dest/");
    }
};

QTEST_MAIN(TTestFileCommands)
#include "tst_file_commands.moc"
