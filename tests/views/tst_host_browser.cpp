// The host pane's browser against a scripted server (exact transcripts, refusals,
// silence, VMS and backslash servers, hostile names) and a real vsftpd (recursive delete,
// cache upkeep after rename, RMD, upload and refresh).
#include "ScriptedFtpServer.h"
#include "ScriptedQuestions.h"
#include "TestCertificates.h"
#include "TestFiles.h"
#include "VsftpdServer.h"

#include "engine/EngineSettings.h"
#include "platform/SafeName.h"
#include "settings/Settings.h"
#include "settings/TrustedCertificates.h"
#include "transfer/TransferItems.h"
#include "views/HostBrowser.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/TreeCombo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// A scripted server with folders: CWD, PWD, PASV, LIST and RETR (from the offset REST gave)
// answered from the tables.
struct TFolderServer {
    QByteArray Syst = "215 UNIX Type: L8";
    QByteArray Home = "/";
    // Folder as the client names it, without the end separator.
    QMap<QByteArray, QByteArray> Listings;
    QMap<QByteArray, QByteArray> Files; // name -> content
    QSet<QByteArray> RefuseCwd, RefuseList;
    bool RefusePwd = false;
    QByteArray SilentOn;       // a command answered with silence
    QByteArray CloseOn;        // a command answered by closing the connection
    TScriptedFtpServer Server; // last: its scripts end before the tables go

    TFolderServer() {
        Server.setScript([this](TScriptedConnection& c) { Serve(c); });
    }
    quint16 port() const { return Server.port(); }
    QList<QByteArray> transcript() const { return Server.transcript(); }

    static QByteArray Bare(QByteArray path) {
        while (path.size() > 1 && (path.endsWith('/') || path.endsWith('\\')))
            path.chop(1);
        return path;
    }
    void Serve(TScriptedConnection& c) const {
        static const QMap<QByteArray, QByteArray> fixed{{"USER", "331 Password please."},
                                                        {"PASS", "230 Logged in."},
                                                        {"TYPE", "200 OK."},
                                                        {"NOOP", "200 OK."},
                                                        {"SIZE", "550 No size."}};
        c.setSendPause(0);
        c.sendLine("220 Scripted server ready.");
        QByteArray cwd = Home;
        qsizetype restart = 0;
        for (;;) {
            const QByteArray line = c.readLine(10000);
            if (line.isNull()) return;
            const QByteArray verb = line.split(' ').first().toUpper();
            const QByteArray arg = line.mid(verb.size() + 1);
            const auto on = [&](const QByteArray& what) {
                return !what.isEmpty() && (line == what || verb == what);
            };
            if (on(SilentOn)) continue;
            if (on(CloseOn)) return c.close();
            const bool list = verb == "LIST";
            // A name without a folder is in the current one (after a folder change).
            const QByteArray file =
                arg.startsWith('/') ? arg : (cwd == "/" ? cwd : cwd + '/') + arg;
            if (fixed.contains(verb))
                c.sendLine(fixed.value(verb));
            else if (verb == "SYST")
                c.sendLine(Syst);
            else if (verb == "REST") {
                restart = arg.toLongLong();
                c.sendLine("350 Restarting.");
            } else if (verb == "PWD")
                c.sendLine(RefusePwd ? "550 Not now." : "257 \"" + cwd + "\" is current.");
            else if (verb == "CWD" && RefuseCwd.contains(Bare(arg)))
                c.sendLine("550 No such folder.");
            else if (verb == "CWD") {
                cwd = Bare(arg);
                c.sendLine("250 OK.");
            } else if (verb == "PASV")
                c.sendLine(c.openPassive());
            else if ((list && RefuseList.contains(cwd)) ||
                     (verb == "RETR" && !Files.contains(file)))
                c.sendLine("550 Refused.");
            else if (list || verb == "RETR") {
                c.sendLine("150 Here it comes.");
                c.acceptData();
                const qsizetype from = std::exchange(restart, 0);
                c.sendData(list ? Listings.value(cwd) : Files.value(file).mid(from));
                c.closeData();
                c.sendLine("226 Done.");
            } else if (verb == "QUIT") {
                c.sendLine("221 Bye.");
                return c.close();
            } else
                c.sendLine("502 Not here.");
        }
    }
};

QByteArray UnixListing(const QList<QByteArray>& folders, const QList<QByteArray>& files) {
    QByteArray text;
    for (const QByteArray& f : folders)
        text += "drwxr-xr-x 2 ftp ftp 4096 Jan 01 2024 " + f + "\r\n";
    for (const QByteArray& f : files)
        text += "-rw-r--r-- 1 ftp ftp 10 Jan 01 2024 " + f + "\r\n";
    return text;
}

// Collects the states a browser reports.
struct TStates {
    explicit TStates(THostBrowser& b) {
        QObject::connect(&b, &THostBrowser::StateChanged, [this](int s) { List << s; });
    }
    QList<int> List;
};

bool ConnectAndShow(THostBrowser& b, quint16 port, const QString& folder = QString(),
                    const QString& masks = QString(), const TSessionSecurity& security = {}) {
    static const TSettings passive = [] {
        TSettings s = DefaultSettings();
        s.UsePASV = true;
        return s;
    }();
    b.SetSettings(&passive);
    b.Connect(QStringLiteral("127.0.0.1"), port, masks, folder, "anonymous", "t@x", "", security);
    const bool shown = QTest::qWaitFor([&] { return b.ShownListing() != nullptr; }, 10000);
    if (!shown)
        for (const TLogEntry& e : b.LogEntries())
            qWarning("%s", qPrintable(e.Text.trimmed()));
    return shown;
}

qsizetype Count(const QList<QByteArray>& lines, const QByteArray& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const QByteArray& l) { return l.startsWith(prefix); });
}

// The shown list's entries of that name.
TRemoteItemList Named(const THostBrowser& b, const QByteArray& name) {
    TRemoteItemList found;
    for (const TRemoteListEntry& e : *b.ShownListing())
        if (e.Name == name) found.push_back(e);
    return found;
}

int RowOf(const THostView& view, const QString& name) {
    for (int row = 0; row < view.ItemCount(); ++row)
        if (view.ItemName(row) == name) return row;
    return -1;
}

// A server pane beside a local pane that shows a folder of its own.
struct TPanes {
    THostView View;
    TLocalView Local;
    QTemporaryDir Dest;
    bool connect(quint16 port, const QString& folder = QString()) {
        return Local.ShowFolder(Dest.path()) && ConnectAndShow(View.Browser(), port, folder);
    }
    // The named row sent to the local pane.
    bool download(const QString& name) {
        View.SelectRows({RowOf(View, name)});
        return View.TransferTo(&Local);
    }
};

// Files under the root, each of its own length and bytes.
bool WriteTree(const QString& root, std::initializer_list<const char*> paths) {
    return std::all_of(paths.begin(), paths.end(), [&](const char* path) {
        return WriteFile(root + path, Pattern(1000 + int(strlen(path))));
    });
}

// vsftpd with names it refuses to touch (deny_file), so a folder cannot be listed even
// when the tests run as root.
class TGuardedVsftpd : public TVsftpdServer {
protected:
    bool command(quint16 port, QString& program, QStringList& arguments) override {
        if (!TVsftpdServer::command(port, program, arguments)) return false;
        QFile config(arguments.value(0));
        return config.open(QIODevice::Append) && config.write("deny_file={locked}\n") > 0;
    }
};

} // namespace

Q_DECLARE_METATYPE(TCertificateTrust)

class TTestHostBrowser : public QObject {
    Q_OBJECT
    TGuardedVsftpd Vs; // writable; each case below its own folder
    TTestCertificates Certificates;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(Certificates.make(), qPrintable(Certificates.errorText()));
        // The run's authority is the only one the client trusts, as if it were the system's.
        qputenv("SSL_CERT_FILE", QFile::encodeName(Certificates.authority()));
        Vs.setWritable(true);
        QVERIFY2(Vs.start(), qPrintable(Vs.errorText()));
    }
    void init() { EngineSettings().TimeOut = 10000; }
    void untrustedCertificate_data();
    void untrustedCertificate();

    // First visits ask the server; revisits send nothing; F5 and a failed listing ask again.
    void navigationTranscript() {
        TFolderServer server;
        server.Listings = {{"/", UnixListing({"pub", "bad"}, {"a.txt"})},
                           {"/pub", UnixListing({}, {"b.txt", "c.txt"})},
                           {"/bad", ""}};
        server.RefuseList = {"/bad"};
        THostBrowser b;
        QVERIFY(ConnectAndShow(b, server.port()));
        qsizetype mark = 0;
        auto since = [&] { return server.transcript().mid(mark); };
        const QList<QByteArray> visit{"CWD /pub/", "PWD", "PASV", "LIST"};

        mark = server.transcript().size();
        QVERIFY(b.ShowFolderAndWait("/pub/"));
        QCOMPARE(since(), visit);
        QCOMPARE(b.ShownListing()->size(), size_t(2));

        mark = server.transcript().size();
        QVERIFY(b.ShowFolderAndWait("/") && b.ShowFolderAndWait("/pub/") && b.Refresh());
        QTRY_COMPARE(since(), visit);
        QTRY_VERIFY(b.CachedListing("/pub/"));

        TStates states(b);
        for (int round = 0; round < 2; ++round) {
            mark = server.transcript().size();
            QVERIFY(!b.ShowFolderAndWait("/bad/"));
            QVERIFY(!b.AwaitingFolder());
            QCOMPARE(states.List.last(), int(hsIdle));
            // Each try checks the folder again before listing it.
            QCOMPARE(since().first(), QByteArray("CWD /bad/"));
            QCOMPARE(Count(since(), "LIST"), 1);
        }
    }

    // Every refusal, a silent server and Stop end the wait and the busy state; none loops.
    void refusalsEndWaits_data() {
        QTest::addColumn<QByteArray>("refuse");
        QTest::newRow("cwd refused") << QByteArray("cwd");
        QTest::newRow("pwd refused") << QByteArray("pwd"); // the folder is shown all the same
        QTest::newRow("cwd silent") << QByteArray("silent");
        QTest::newRow("connection closed") << QByteArray("close");
        // The pane stops being busy at once and shows the folder it was on.
        QTest::newRow("stopped while cwd hangs") << QByteArray("stop");
    }
    void refusalsEndWaits() {
        QFETCH(QByteArray, refuse);
        const bool shown = refuse == "pwd";
        const QByteArray expectFolder = shown ? "/pub/" : "/";
        TFolderServer server;
        server.Listings = {{"/", UnixListing({"pub"}, {})}, {"/pub", UnixListing({}, {"x"})}};
        THostBrowser b;
        QVERIFY(ConnectAndShow(b, server.port()));
        if (refuse == "cwd") server.RefuseCwd = {"/pub"};
        if (refuse == "pwd") server.RefusePwd = true;
        if (refuse == "silent" || refuse == "stop") server.SilentOn = "CWD /pub/";
        if (refuse == "silent") EngineSettings().TimeOut = 300;
        if (refuse == "close") server.CloseOn = "CWD /pub/";
        TStates states(b);
        if (refuse == "stop") {
            QVERIFY(b.ShowFolder("/pub/"));
            QCOMPARE(states.List.value(0), int(hsBusy));
            b.Stop();
            QVERIFY(!b.AwaitingFolder());
            // Idle at once; the session's own abort notice may follow, at the latest when the
            // silent server's time-out ends the wait for its reply.
            QCOMPARE(states.List.last(), int(hsIdle));
            QCOMPARE(b.Folder(), expectFolder);
            QTRY_VERIFY_WITH_TIMEOUT(!b.Session()->Busy(), 2 * int(EngineSettings().TimeOut));
        } else {
            QCOMPARE(b.ShowFolderAndWait("/pub/"), shown);
            QVERIFY(!b.AwaitingFolder());
            // A dropped connection ends the busy state when its notification arrives.
            QTRY_VERIFY(!states.List.isEmpty() &&
                        (states.List.last() == hsIdle || states.List.last() == hsDisconnected));
        }
        if (refuse != "close" && refuse != "stop") QCOMPARE(b.Folder(), expectFolder);
        QTest::qWait(200);
        QVERIFY(Count(server.transcript(), "PWD") <= 2);
    }

    // Downloads from the pane. The listing says 10 bytes, the server sends 5 and "226", also
    // when asked to go on from there: the download fails in red, keeping what came. One
    // queued behind a command that hangs is cancelled by Stop with that command, and the
    // next starts at once: nothing of the abort is left to wait for.
    void downloadsFromThePane() {
        TFolderServer server;
        server.Listings = {{"/", UnixListing({"pub"}, {"a.txt", "short.bin"})}, {"/pub", ""}};
        server.Files = {{"/a.txt", "0123456789"}, {"/short.bin", "01234"}};
        server.SilentOn = "CWD /pub/";
        TPanes p;
        QVERIFY(p.connect(server.port()));
        const auto queue = p.View.Queue();
        QStringList errors;
        p.View.OnLog = [&](THostView*, const QString& text, TColor color) {
            if (color == EngineSettings().LogColorError) errors << text.trimmed();
        };
        QVERIFY(p.download("short.bin"));
        QTRY_VERIFY(queue->Idle());
        QCOMPARE(queue->StateCount(isError), 1);
        QVERIFY2(errors.contains("Transfer ended after 5 of 10 bytes"),
                 qPrintable(errors.join('\n')));
        QCOMPARE(ReadFile(p.Dest.filePath("short.bin")), QByteArray("01234"));
        QCOMPARE(Count(server.transcript(), "REST 5"), 1);

        p.View.Session()->SetCurrentFolder("/pub/");
        QVERIFY(p.download("a.txt"));
        QCOMPARE(queue->StateCount(isBusy), 1);
        p.View.Stop();
        QTRY_VERIFY(queue->Idle());
        QCOMPARE(queue->StateCount(isCancelled), 1);
        QVERIFY(!QFile::exists(p.Dest.filePath("a.txt")));
        QVERIFY(p.download("a.txt"));
        QTRY_VERIFY(queue->Idle());
        QCOMPARE(queue->StateCount(isDone), 1);
        QCOMPARE(ReadFile(p.Dest.filePath("a.txt")), QByteArray("0123456789"));
    }

    // Select-after-list masks apply to the folder asked for, never to a fallback; the log
    // keeps its last lines and is cleared at the next connect, not at a disconnect.
    void selectMasksAndLog() {
        TFolderServer server;
        server.Listings = {{"/", UnixListing({}, {"x.txt"})}, {"/pub", UnixListing({}, {"a.txt"})}};
        server.RefuseCwd = {"/gone"};
        THostBrowser b;
        QVERIFY(ConnectAndShow(b, server.port(), QStringLiteral("/gone"), QStringLiteral("*.txt")));
        QCOMPARE(b.Folder(), QByteArray("/"));
        QVERIFY(b.TakeSelectMasks().isEmpty());
        QVERIFY(ConnectAndShow(b, server.port(), QStringLiteral("/pub"), QStringLiteral("*.TXT")));
        QCOMPARE(b.Folder(), QByteArray("/pub/"));
        QCOMPARE(b.TakeSelectMasks(), QStringList({"*.txt"}));
        QVERIFY(b.TakeSelectMasks().isEmpty());

        for (int i = 0; i < THostBrowser::MaxLogEntries + 100; ++i)
            b.Session()->OnLog(b.Session(), QString::number(i), 0);
        QCOMPARE(int(b.LogEntries().size()), THostBrowser::MaxLogEntries);
        QCOMPARE(b.LogEntries().front().Text, QStringLiteral("100"));
        b.Disconnect();
        QTRY_VERIFY(!b.Connected());
        QVERIFY(!b.LogEntries().empty());
    }

    // Servers known by their SYST replies, each listed with its own parser; the lines that
    // no parser understands are counted in the status bar and logged once, however often
    // the folder is listed.
    void linesNotUnderstood_data() {
        QTest::addColumn<QByteArray>("syst");
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<int>("serverType");
        QTest::addColumn<QStringList>("notUnderstood");
        QTest::newRow("z/OS") << QByteArray("215 MVS is the operating system of this server. FTP "
                                            "Server is running on z/OS.")
                              << QByteArray("Volume Unit    Referred Ext Used Recfm Lrecl BlkSz "
                                            "Dsorg Dsname\r\nWYOSPT 3390   2023/11/02  3   15  FB "
                                            "     80 27920  PO  USER.SOURCE\r\nwhat is this\r\n"
                                            "?\r\n")
                              << 53 << QStringList{"what is this", "?"};
        QTest::newRow("IBM i") << QByteArray("215 OS/400 is the remote operating system. The "
                                             "TCP/IP version is \"V7R4M0\".")
                               << QByteArray("QSYS           77824 02/23/00 15:09:55 *DIR       "
                                             "QOpenSys/\r\n")
                               << 54 << QStringList{};
        QTest::newRow("OS/2") << QByteArray("215 OS/2 operating system")
                              << QByteArray("       73142           A     04-13-00   09:26  "
                                            "README.TXT\r\n???\r\n")
                              << 55 << QStringList{"???"};
    }
    void linesNotUnderstood() {
        QFETCH(QByteArray, syst);
        QFETCH(QByteArray, listing);
        QFETCH(int, serverType);
        QFETCH(QStringList, notUnderstood);
        TFolderServer server;
        server.Syst = syst;
        server.Listings = {{"/", listing}};
        TPanes panes;
        QVERIFY(panes.connect(server.port()));
        THostBrowser& b = panes.View.Browser();
        QCOMPARE(int(b.Session()->ServerType()), serverType);
        QCOMPARE(b.ShownListing()->size(), size_t(1));
        const QString warning =
            notUnderstood.size() == 1 ? QStringLiteral("1 line not understood")
            : notUnderstood.isEmpty()
                ? QString()
                : QStringLiteral("%1 lines not understood").arg(notUnderstood.size());
        const TListingPtr first = b.ShownListing();
        QVERIFY(b.Refresh());
        QTRY_VERIFY(b.ShownListing() && b.ShownListing() != first);
        QStringList logged;
        for (const TLogEntry& e : b.LogEntries())
            if (e.Text.startsWith(QStringLiteral("Listing line not understood: ")))
                logged << e.Text.mid(29);
        QCOMPARE(logged, notUnderstood);
        QCOMPARE(panes.View.StatusWarning(), warning);
    }

    // VMS and backslash servers: the folder form each expects, and the way back up.
    void pathForms_data() {
        QTest::addColumn<QByteArray>("syst");
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QByteArray>("view");
        QTest::addColumn<QByteArray>("cwd");
        QTest::newRow("vms") << QByteArray("215 VMS V7.3") << QByteArray("USER$DISK:[SMITH.WORK]")
                             << QByteArray(
                                    "DATA.DIR;1  1/3  1-JAN-2024 10:00:00 [G,O] (RWE,RWE,RE,)\r\n")
                             << QByteArray(".SMITH.WORK.DATA.")
                             << QByteArray("CWD USER$DISK:[SMITH.WORK.DATA]");
        QTest::newRow("backslash")
            << QByteArray("215 Windows_NT") << QByteArray("\\data")
            << QByteArray("01-01-24  10:00AM       <DIR>          DATA\r\n")
            << QByteArray("\\data\\DATA\\") << QByteArray("CWD \\data\\DATA\\");
    }
    void pathForms() {
        QFETCH(QByteArray, syst);
        QFETCH(QByteArray, home);
        QFETCH(QByteArray, listing);
        QFETCH(QByteArray, view);
        QFETCH(QByteArray, cwd);
        TFolderServer server;
        server.Syst = syst;
        server.Home = home;
        server.Listings = {{home, listing}};
        THostBrowser b;
        QVERIFY(ConnectAndShow(b, server.port()));
        QCOMPARE(b.ShownListing()->size(), size_t(1));
        QVERIFY(b.ShowFolder(b.Folder() + "DATA" + b.PathForm().Separator));
        QTRY_VERIFY(server.transcript().contains(cwd));
        QTRY_COMPARE(b.Folder(), view);
        QVERIFY(b.GoUp());
        QVERIFY(b.KnownFolders().count(view) == 1);
    }

    // Names from the server reach the disk only through the safe-name gate, only into the
    // private folder, each file into a folder of its own, so that two files of one name
    // both arrive whole; only files that arrived are reported.
    void viewBatchHostileNames() {
        TFolderServer server;
        server.Listings = {
            {"/", UnixListing({"two"}, {"ok.txt", "../evil", "a/b", "..", "gone.txt"})},
            {"/two", UnixListing({}, {"ok.txt"})}};
        server.Files = {
            {"/ok.txt", "fine"}, {"/two/ok.txt", "twin"}, {"/../evil", "bad"}, {"/a/b", "bad"}};
        THostBrowser b;
        QVERIFY(ConnectAndShow(b, server.port()));
        const QString temp = PrivateTempFolder();
        QCOMPARE(QFileInfo(temp).permissions() & 0x0077, QFile::Permissions());
        // Only the file a climbing name aims at is watched outside: other programs and the
        // suites running beside this one change the rest of the shared temporary folder.
        const bool escapeBefore = QFileInfo::exists(temp + "../evil");
        QSignalSpy done(&b, &THostBrowser::Transferred);
        b.ViewFiles(trView, QString(), *b.ShownListing());
        QVERIFY(done.wait(10000));
        QVERIFY(b.ShowFolderAndWait("/two/"));
        b.ViewFiles(trView, QString(), *b.ShownListing());
        QVERIFY(done.wait(10000));
        const QString first = done.at(0).at(0).toStringList().value(0);
        const QString twin = done.at(1).at(0).toStringList().value(0);
        QCOMPARE(done.at(0).at(0).toStringList().size(), 1);
        QVERIFY2(first.startsWith(temp) && first.endsWith("/ok.txt") && twin != first,
                 qPrintable(first + " " + twin));
        QCOMPARE(ReadFile(first), QByteArray("fine"));
        QCOMPARE(ReadFile(twin), QByteArray("twin"));
        for (const QString& name : FilesUnder(temp).keys())
            QVERIFY2(name.endsWith("/ok.txt") || name.endsWith("/gone.txt"), qPrintable(name));
        QCOMPARE(QFileInfo::exists(temp + "../evil"), escapeBefore);
        QVERIFY(!escapeBefore || ReadFile(temp + "../evil") != "bad");
        QVERIFY(!server.transcript().contains("RETR /../evil"));
        const auto red = EngineSettings().LogColorError.load();
        QCOMPARE(std::count_if(b.LogEntries().begin(), b.LogEntries().end(),
                               [&](const TLogEntry& e) {
                                   return e.Color == red && e.Text.startsWith("Not downloaded");
                               }),
                 3);
        // Downloaded at once into a folder that holds the name already: nothing is replaced.
        QTemporaryDir here;
        QVERIFY(WriteFile(here.filePath("ok.txt"), "mine"));
        QSignalSpy listOn(&b, &THostBrowser::ListEnabled);
        b.ViewFiles(trDownloadNow, here.path(), *b.ShownListing());
        QTRY_VERIFY(!listOn.isEmpty() && listOn.last().at(0).toBool()); // the batch ended
        QCOMPARE(ReadFile(here.filePath("ok.txt")), QByteArray("mine"));
        QVERIFY(b.LogEntries().back().Text.contains("is already in"));
    }

    // A nested tree with a link to a folder outside it and a folder the server refuses:
    // the link goes, its target stays, and so does every folder above the refused one.
    void recursiveDelete() {
        const QString root = Vs.rootPath() + "/del";
        QVERIFY(WriteTree(root, {"/tree/a.txt", "/tree/sub/b.txt", "/tree/sub/deep/c.txt",
                                 "/tree/locked/keep.txt", "/outside/keep.txt", "/top.txt"}));
        QVERIFY(QFile::link("../outside", root + "/tree/link"));
        THostBrowser b;
        QVERIFY(ConnectAndShow(b, Vs.port(), root));
        const QByteArray home = b.Folder();
        const TRemoteItemList tree = Named(b, "tree");
        QCOMPARE(tree.size(), size_t(1));
        QVERIFY(!b.DeleteItems(tree));
        QTRY_VERIFY(!QFileInfo::exists(root + "/tree/sub"));
        QTRY_VERIFY(!QFileInfo(root + "/tree/link").isSymLink());
        QVERIFY(!QFileInfo::exists(root + "/tree/a.txt"));
        for (const char* kept : {"/tree/locked/keep.txt", "/outside/keep.txt", "/top.txt"})
            QVERIFY2(QFileInfo::exists(root + kept), kept);
        for (const TLogEntry& e : b.LogEntries())
            QVERIFY(e.Text.trimmed() != QString::fromUtf8("RMD " + home + "tree"));
        QTRY_VERIFY(b.ShownListing() && b.Folder() == home);
    }

    // Downloading a selected folder lists it and its subfolders on the server (none was
    // visited), never follows a link to a folder, and writes exactly the tree below the
    // local folder.
    void downloadFolder() {
        const QString root = Vs.rootPath() + "/down";
        QVERIFY(WriteTree(root, {"/pub/t/a.txt", "/pub/t/sub/b.bin", "/pub/t/sub/c.bin",
                                 "/pub/t/sub/d.bin", "/pub/other/o.txt"}));
        QVERIFY(QFile::link("../other", root + "/pub/t/lnk"));
        TPanes p;
        QVERIFY(p.connect(Vs.port(), root + "/pub"));
        QMap<QString, int> sent; // command verbs of the whole download
        p.View.OnLog = [&](THostView*, const QString& text, TColor color) {
            if (color == EngineSettings().LogColorCommand) sent[text.section(' ', 0, 0)] += 1;
        };
        QVERIFY(p.download("t"));
        QTRY_VERIFY_WITH_TIMEOUT(p.View.Queue()->Idle() && p.View.Queue()->Count() == 4, 15000);
        // Each folder is listed once, and a file costs its PASV and RETR, not a TYPE too.
        QCOMPARE(sent.value("LIST"), 2);
        QCOMPARE(sent.value("RETR"), 4);
        QVERIFY2(sent.value("TYPE") <= 2, qPrintable(QString::number(sent.value("TYPE"))));
        const QMap<QString, QByteArray> written = FilesUnder(p.Dest.path());
        QCOMPARE(written.keys(),
                 QStringList({"t/a.txt", "t/sub/b.bin", "t/sub/c.bin", "t/sub/d.bin"}));
        QCOMPARE(written.value("t/sub/b.bin"), ReadFile(root + "/pub/t/sub/b.bin"));
    }

    // A server writing names in a legacy set: its folders read as text in the pane and its
    // path box, and a path typed or picked there goes back as the server's own bytes.
    void legacyNamePaths_data() {
        QTest::addColumn<QString>("charset");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("windows-1251") << "windows-1251" << QByteArray("\xcf\xe0\xef\xea\xe0")
                                      << QStringLiteral("\u041f\u0430\u043f\u043a\u0430");
        QTest::newRow("Shift_JIS") << "Shift_JIS" << QByteArray("\x83\x74\x83\x48\x83\x8b\x83\x5f")
                                   << QStringLiteral("\u30d5\u30a9\u30eb\u30c0");
    }
    void legacyNamePaths() {
        QFETCH(QString, charset);
        QFETCH(QByteArray, name);
        QFETCH(QString, text);
        const QString home = Vs.rootPath() + "/names-" + QTest::currentDataTag();
        const QByteArray homeBytes = QFile::encodeName(home) + '/';
        QVERIFY(QDir().mkpath(home) && ::mkdir((homeBytes + name).constData(), 0755) == 0);
        // Qt cannot name it to remove it with the served folder.
        const auto removed = qScopeGuard([&] { ::rmdir((homeBytes + name).constData()); });
        THostView view;
        TTreeCombo box;
        view.SetTreeCombo(&box);
        THostBrowser& b = view.Browser();
        b.NameCharset = TNameCharset(charset);
        const QString shown = home + '/' + text + '/';
        QVERIFY(ConnectAndShow(b, Vs.port(), shown));
        QCOMPARE(b.Folder(), homeBytes + name + '/');
        QCOMPARE(view.Folder(), shown);
        QTRY_COMPARE(box.CurrentPath(), shown);
        // Typed below the folder shown, then picked whole from the tree.
        for (const QString& chosen : {text, shown}) {
            QVERIFY(b.ShowFolderAndWait(homeBytes));
            QTRY_COMPARE(box.CurrentPath(), home + '/');
            box.OnPathChosen(chosen);
            QTRY_COMPARE(b.Folder(), homeBytes + name + '/');
        }
    }

    // The cache follows renames (without touching a sibling that shares the prefix), RMD,
    // uploads and refreshes; a shown list outlives its cache entry.
    void cacheUpkeep() {
        const QString root = Vs.rootPath() + "/cache";
        QVERIFY(WriteTree(root, {"/pub/a/in-a.txt", "/pub/ab/in-ab.txt", "/pub/ab/sub/x.txt"}));
        THostView view;
        THostBrowser& b = view.Browser();
        // vsftpd runs unchrooted here: its home is the served folder's real path.
        QVERIFY(ConnectAndShow(b, Vs.port(), root + "/pub"));
        const QByteArray home = b.Folder();
        QCOMPARE(home, QFile::encodeName(root) + "/pub/");
        for (const QByteArray sub : {"a/", "ab/sub/", "ab/", ""})
            QVERIFY(b.ShowFolderAndWait(home + sub));

        b.Rename("a", QStringLiteral("c"));
        QTRY_VERIFY(b.IsCached(home + "c/"));
        QVERIFY(!b.IsCached(home + "a/"));
        QVERIFY(b.IsCached(home + "ab/") && b.IsCached(home + "ab/sub/"));
        QVERIFY(b.KnownFolders().count(home + "ab/sub/"));
        QVERIFY(QFileInfo::exists(root + "/pub/c/in-a.txt"));

        QVERIFY(b.DeleteItems(Named(b, "ab")));
        QTRY_VERIFY(!QFileInfo::exists(root + "/pub/ab"));
        QTRY_VERIFY(!b.IsCached(home + "ab/") && !b.IsCached(home + "ab/sub/"));

        // Each list shown is looked at, however long a loaded machine takes to show the one
        // sought: the delete's own reread, for one, may still come before the upload's.
        QSignalSpy shown(&b, &THostBrowser::FolderShown);
        const auto shows = [&](const std::function<bool(const TRemoteItemList&)>& holds) {
            while (!(b.ShownListing() && holds(*b.ShownListing())) && shown.wait(30000)) {
            }
            return b.ShownListing() && holds(*b.ShownListing());
        };
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("up.bin"), Pattern(5000)));
        QTRY_VERIFY(b.ShownListing() && !b.AwaitingFolder());
        b.SendFile(local.filePath("up.bin"));
        QVERIFY(shows([](const TRemoteItemList& l) {
            return std::any_of(l.begin(), l.end(), [](const TRemoteListEntry& e) {
                return e.Name == "up.bin" && e.Item.Size == 5000;
            });
        }));
        const size_t entries = b.ShownListing()->size();
        QCOMPARE(view.ItemCount(), int(entries));

        // Files dropped from a file manager are sent to the shown folder.
        QVERIFY(WriteFile(local.filePath("dropped.txt"), "dd"));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(local.filePath("dropped.txt"))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.ListView()->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.ListView()->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QVERIFY(shows([&](const TRemoteItemList& l) { return l.size() == entries + 1; }));
        QCOMPARE(ReadFile(root + "/pub/dropped.txt"), QByteArray("dd"));
        QVERIFY(view.PanelText(1).startsWith(QStringLiteral("%1 Entries").arg(entries + 1)));

        // F5 while the list is shown: the old list stays whole for whoever still holds it.
        const TListingPtr held = b.ShownListing();
        QVERIFY(b.Refresh());
        QVERIFY(shows([&](const TRemoteItemList& l) { return &l != held.get(); }));
        QCOMPARE(held->size(), b.ShownListing()->size());
        view.SetMask(QStringLiteral("*.txt"));
        QCOMPARE(b.GetMask(), QStringLiteral("*.txt"));
        QCOMPARE(view.PanelText(0), QStringLiteral("*.txt"));
        QVERIFY(view.PanelText(1).startsWith(QStringLiteral("2 Entries")));
    }
};

// A self-signed certificate: the pane asks, lists the folder once trusted, keeps what
// was trusted always for the next connection, and stays disconnected when refused. When
// another certificate was trusted for the server, nothing is asked: an error names both.
void TTestHostBrowser::untrustedCertificate_data() {
    QTest::addColumn<TCertificateTrust>("trust");
    QTest::addColumn<bool>("changed");
    QTest::newRow("trust always") << TCertificateTrust::Always << false;
    QTest::newRow("trust once") << TCertificateTrust::Once << false;
    QTest::newRow("refuse") << TCertificateTrust::Refuse << false;
    QTest::newRow("changed since trusted") << TCertificateTrust::Always << true;
}

void TTestHostBrowser::untrustedCertificate() {
    QFETCH(TCertificateTrust, trust);
    QFETCH(bool, changed);
    using TKind = TTestCertificates::TKind;
    TVsftpdServer server;
    server.setTls(TVsftpdServer::TTls::Required, Certificates.certificate(TKind::SelfSigned),
                  Certificates.key(TKind::SelfSigned));
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    const QByteArray fingerprint = Certificates.fingerprint(TKind::SelfSigned);
    const TSessionSecurity security{TEncryption::ExplicitRequired, {}, false};
    QTemporaryDir dir;
    TScriptedQuestions questions;
    questions.Trust = trust;
    const auto browser = [&] {
        auto b = std::make_unique<THostBrowser>();
        b->SetQuestions(&questions);
        b->CertificatesFile = dir.filePath("TrustedCertificates.txt");
        return b;
    };

    const auto first = browser();
    TTrustedCertificates store(first->CertificatesFile);
    const QByteArray before = Certificates.fingerprint(TKind::ForLoopback);
    if (changed) QVERIFY(store.Remember("127.0.0.1", server.port(), before));
    if (trust == TCertificateTrust::Refuse || changed) {
        first->Connect("127.0.0.1", server.port(), "", "", "anonymous", "t@x", "", security);
        QTRY_COMPARE(questions.Certificates.size() + questions.Messages.size(), qsizetype(1));
        QTest::qWait(300);
        QVERIFY(!first->ShownListing() && !first->Connected());
    } else {
        QVERIFY(ConnectAndShow(*first, server.port(), QString(), QString(), security));
    }
    const QList<QByteArray> stored = store.Fingerprints("127.0.0.1", server.port());
    if (changed) {
        const QString text = questions.Messages.value(0);
        QVERIFY2(text.contains("HAS CHANGED") && text.contains(before.left(23)) &&
                     text.contains(fingerprint.left(23)),
                 qPrintable(text));
        QVERIFY(questions.Certificates.isEmpty());
        QCOMPARE(stored, QList<QByteArray>{before});
        return;
    }
    QCOMPARE(questions.Certificates.size(), 1);
    QCOMPARE(questions.Certificates[0].Fingerprint, fingerprint);
    QVERIFY(!questions.Certificates[0].Changed);
    const bool always = trust == TCertificateTrust::Always;
    QCOMPARE(stored, always ? QList<QByteArray>{fingerprint} : QList<QByteArray>());
    if (!always) return;

    // A later connection takes the remembered certificate without asking.
    const auto second = browser();
    QVERIFY(ConnectAndShow(*second, server.port(), QString(), QString(), security));
    QCOMPARE(questions.Certificates.size(), 1);
}

QTEST_MAIN(TTestHostBrowser)
#include "tst_host_browser.moc"
