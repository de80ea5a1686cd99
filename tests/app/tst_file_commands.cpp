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
    // Each start's arguments, in order; the starts sorted.
    QList<QStringList> Starts() const {
        QList<QStringList> starts;
        const QDir folder(Folder.path());
        for (const QString& name : folder.entryList({"start.*"}, QDir::Files))
            starts << QString::fromUtf8(ReadFile(folder.filePath(name)))
                          .split('\n', Qt::SkipEmptyParts);
        std::sort(starts.begin(), starts.end());
        return starts;
    }
};

bool ShowServer(TWindowFixture& f, TVsftpdServer& server, const QString& local) {
    server.setWritable(true);
    return server.start() && f.ShowBoth(server, local);
}

void SelectNames(TCustomView* pane, const QStringList& names) {
    QList<int> rows;
    for (int row = 0; row < pane->ItemCount(); ++row)
        if (names.contains(pane->ItemName(row))) rows << row;
    pane->SelectRows(rows);
}

} // namespace

class TTestFileCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { EngineSettings().TimeOut = 10000; }
    void cleanupTestCase() { QVERIFY(TFTPComponent::WaitForWorkers(15000)); }

    // Each name reaches the viewer as one argument, as an absolute path, and no shell
    // runs what a name holds; the setting alone is split into program and arguments.
    void viewerArguments_data() {
        QTest::addColumn<QString>("setting"); // "%p": the viewer's path
        QTest::addColumn<QStringList>("before");
        QTest::newRow("path with a blank") << "%p" << QStringList();
        QTest::newRow("quoted, argument, placeholder")
            << "\"%p\" --readonly \"%1\"" << QStringList{"--readonly"};
        QTest::newRow("missing program") << "%p-gone" << QStringList();
    }
    void viewerArguments() {
        QFETCH(QString, setting);
        QFETCH(QStringList, before);
        TRecordingProgram viewer("dir with blank");
        QTemporaryDir local;
        for (const QString& name : HostileNames)
            QVERIFY(WriteFile(local.filePath(name), name.toUtf8()));
        TWindowFixture f;
        f.Window->Settings().Viewer = setting.replace("%p", viewer.Program);
        QVERIFY(f.Window->OpenLocalFolder(local.path(), true));
        TCustomView* pane = f.Window->CurrentLocalView();
        pane->SelectAll();
        QVERIFY(f.Trigger("actLocalEditNotepad"));
        if (setting.endsWith("-gone")) {
            QCOMPARE(f.Questions.Messages,
                     QStringList(4, "An error occurred when the program was started."));
            return;
        }
        QList<QStringList> expected;
        for (const QString& name : HostileNames)
            expected << before + QStringList{local.filePath(name)};
        std::sort(expected.begin(), expected.end());
        QTRY_COMPARE(viewer.Starts(), expected);
        QVERIFY(!f.Action("actLocalEditPellion")->isVisible());
        QVERIFY(!QFileInfo::exists(local.filePath("x")) && !QFileInfo::exists("x"));
        QVERIFY(f.Questions.Messages.isEmpty());
    }

    // A remote file is fetched into a folder of its own inside the private folder, not
    // executable, and handed to the viewer; "&Open" refuses a desktop launcher and offers
    // the viewer instead.
    void remoteFilesForPrograms() {
        TVsftpdServer server;
        QVERIFY(WriteFile(server.rootPath() + "/-a b.txt", Pattern(300, 1)));
        QVERIFY(WriteFile(server.rootPath() + "/run.desktop", "[Desktop Entry]\nExec=touch x\n"));
        QTemporaryDir local;
        TWindowFixture f;
        QVERIFY(ShowServer(f, server, local.path()));
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
        QCOMPARE(QFileInfo(fetched).permissions() &
                     (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther),
                 QFile::Permissions());

        SelectName(host, "run.desktop");
        f.Questions.Yes = true;
        QTRY_VERIFY(f.Enabled("actPopOpen"));
        QVERIFY(f.Trigger("actPopOpen"));
        QTRY_COMPARE(viewer.Starts().size(), 2);
        QVERIFY(f.Questions.Asked.last().startsWith("\"run.desktop\" is a program"));
        const QList<QStringList> starts = viewer.Starts();
        QVERIFY(std::any_of(starts.begin(), starts.end(), [](const QStringList& start) {
            return start.size() == 1 && start[0].endsWith("/run.desktop");
        }));
        QVERIFY(!QFileInfo::exists(local.filePath("x")));
    }

    // The HTML editor is the registry's command, offered only once one is set, and gets
    // every selected file in one start.
    void editorFromRegistry() {
        TRecordingProgram editor;
        QTemporaryDir local;
        const QStringList names{"b b.HTM", "index.html"};
        for (const QString& name : names)
            QVERIFY(WriteFile(local.filePath(name), "<p>"));
        TWindowFixture f(false);
        TRegistry(f.RegistryFile())
            .WriteString(RegEditorCommand, {}, '"' + editor.Program + "\" \"%1\"");
        f.Open();
        QVERIFY(f.Action("actLocalEditPellion")->isVisible());
        QVERIFY(f.Window->OpenLocalFolder(local.path(), true));
        f.Window->CurrentLocalView()->SelectAll();
        QVERIFY(f.Trigger("actLocalEditPellion"));
        QTRY_COMPARE(editor.Starts().size(), 1);
        QStringList files = editor.Starts().first();
        files.sort();
        QCOMPARE(files, QStringList({local.filePath(names[0]), local.filePath(names[1])}));
    }

    // "Any Host Folder": one rename each into the folder typed, then the list shows them
    // gone; the shown folder as the answer renames nothing.
    void sendToHostFolder() {
        TVsftpdServer server;
        const QString root = server.rootPath();
        for (const char* name : {"/m1.txt", "/m2.txt", "/stay.txt", "/dest/old.txt"})
            QVERIFY(WriteFile(root + name, name));
        QTemporaryDir local;
        TWindowFixture f;
        QVERIFY(ShowServer(f, server, local.path()));
        THostView* host = f.Host(0);
        SelectName(host, "stay.txt");
        f.Questions.Text = root + "/";
        QTRY_VERIFY(f.Enabled("actSendToHost"));
        QVERIFY(f.Trigger("actSendToHost"));
        QCOMPARE(f.Questions.Asked.last(), "Move to another folder|" + root + "/");
        const auto renames = [host] {
            const auto& log = host->Browser().LogEntries();
            return std::count_if(log.begin(), log.end(),
                                 [](const TLogEntry& e) { return e.Text.startsWith("RNFR"); });
        };
        QCOMPARE(renames(), 0);

        SelectNames(host, {"m1.txt", "m2.txt"});
        f.Questions.Text = "dest"; // below the shown folder
        QVERIFY(f.Trigger("actSendToHost"));
        QTRY_VERIFY(QFileInfo::exists(root + "/dest/m1.txt") &&
                    QFileInfo::exists(root + "/dest/m2.txt"));
        QTRY_COMPARE(host->ItemCount(), 2); // "dest" and "stay.txt"
        QCOMPARE(renames(), 2);
    }

    // "Any Local Folder": the files arrive in the folder chosen, not in the pane's, with
    // no view waiting for them; the queue ends on its own.
    void sendToLocalFolder() {
        TVsftpdServer server;
        QVERIFY(WriteFile(server.rootPath() + "/c1.bin", Pattern(40000, 5)));
        QVERIFY(WriteFile(server.rootPath() + "/c2.bin", Pattern(500, 6)));
        QTemporaryDir local, other;
        TWindowFixture f;
        QVERIFY(ShowServer(f, server, local.path()));
        SelectNames(f.Host(0), {"c1.bin", "c2.bin"});
        f.Questions.Folder = other.path();
        QTRY_VERIFY(f.Enabled("actSendToLocal"));
        QVERIFY(f.Trigger("actSendToLocal"));
        QCOMPARE(f.Questions.Asked.last(), "Select Destination Folder|" + local.path() + "/");
        QTRY_COMPARE(FilesUnder(other.path()).size(), 2);
        QTRY_COMPARE(f.Host(0)->ExistingQueue()->StateCount(isDone), 2);
        QCOMPARE(ReadFile(other.filePath("c1.bin")), Pattern(40000, 5));
        QCOMPARE(ReadFile(other.filePath("c2.bin")), Pattern(500, 6));
        QVERIFY(FilesUnder(local.path()).isEmpty());
    }

    // Full paths, or URLs percent-encoded, one a line with no break after the last.
    void sendToClipboard() {
        TVsftpdServer server;
        for (const char* name : {"/a b.txt", "/c#d.txt", "/e.txt"})
            QVERIFY(WriteFile(server.rootPath() + name, name));
        QTemporaryDir local;
        TWindowFixture f;
        QVERIFY(ShowServer(f, server, local.path()));
        SelectNames(f.Host(0), {"a b.txt", "c#d.txt", "e.txt"});
        QTRY_VERIFY(f.Enabled("actSendToName"));
        const QString root = server.rootPath();
        QVERIFY(f.Trigger("actSendToName"));
        // Lines in the list's order, which puts the current entry first.
        const auto lines = [] {
            const QString text = QGuiApplication::clipboard()->text();
            QStringList list = text.split("\r\n");
            list.sort();
            return text.endsWith('\n') ? QStringList() : list;
        };
        QCOMPARE(lines(), QStringList({root + "/a b.txt", root + "/c#d.txt", root + "/e.txt"}));
        QVERIFY(f.Trigger("actSendToURL"));
        const QString base = QStringLiteral("ftp://127.0.0.1:%1%2/").arg(server.port()).arg(root);
        QCOMPARE(lines(), QStringList({base + "a%20b.txt", base + "c%23d.txt", base + "e.txt"}));
    }
};

QTEST_MAIN(TTestFileCommands)
#include "tst_file_commands.moc"
