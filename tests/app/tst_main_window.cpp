// The main window against a real vsftpd: connecting through the site list, the status
// codes that drive captions, title, commands and sounds, refusals that must leave no
// tab behind, closing views and quitting.
#include "LoopbackServerProcess.h"
#include "TestFiles.h"
#include "VsftpdServer.h"

#include "WindowFixture.h"
#include "app/LogPane.h"
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "platform/Registry.h"
#include "platform/SoundPlayer.h"
#include "settings/SiteList.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferItem.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/windows/TransferManagerModel.h"
#include "transfer/windows/TransferManagerWindow.h"
#include "transfer/windows/TransferProgressWindow.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/TreeCombo.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeView>

namespace {

// A download from a port nobody listens on, retried without end (the settings say so).
std::unique_ptr<TTransferItem> UnstartableItem(const QString& destFolder) {
    EngineSettings().RetryCount = 0;
    EngineSettings().RetryDelay = 1;
    auto item = std::make_unique<TTransferItem>();
    item->Host = "127.0.0.1";
    item->Port = FreeLoopbackPort();
    item->SourceFolder = "/";
    item->FileName = "never.txt";
    item->DestFolder = QFile::encodeName(destFolder) + '/';
    return item;
}

} // namespace

class TTestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { EngineSettings().TimeOut = 10000; }
    void cleanupTestCase() { QVERIFY(TFTPComponent::WaitForWorkers(15000)); }

    // Files move both ways, enabled by the selection: by the strip's buttons, by their keys
    // from the lists, and by a copy in one list pasted in the other, which moves what was
    // copied, not what is selected by the time of the paste. Binary names: this vsftpd
    // stores text-mode uploads without converting their line ends.
    void filesBothWays_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("strip buttons") << "buttons";
        QTest::newRow("Ctrl+D, Ctrl+U") << "keys";
        QTest::newRow("Ctrl+C, Ctrl+V") << "paste";
    }
    void filesBothWays() {
        QFETCH(QString, how);
        TVsftpdServer server;
        server.setWritable(true);
        QVERIFY(WriteFile(server.rootPath() + "/remote.bin", Pattern(50000, 2)));
        QVERIFY(WriteFile(server.rootPath() + "/gone.txt", Pattern(100, 4)));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        QTemporaryDir local;
        // Text with LF line ends (and a CR of its own) goes up unchanged with the default
        // types: a Unix server like vsftpd as installed would keep an ASCII upload's CR LF.
        QByteArray notes;
        for (int i = 0; i < 2000; ++i)
            notes += "line " + QByteArray::number(i) + (i == 7 ? "\r" : "\n");
        QVERIFY(WriteFile(local.filePath("notes.txt"), notes));
        QVERIFY(f.ShowBoth(server, local.path()));
        THostView* host = f.Host(0);
        TLocalView* view = f.Window->CurrentLocalView();
        QVERIFY(!f.Enabled("actDownload") && !f.Enabled("actUpload"));
        const auto press = [](TCustomView* pane, Qt::Key key) {
            pane->ListView()->setFocus();
            QTest::keyClick(pane->ListView(), key, Qt::ControlModifier);
        };
        // Moves the selection of one pane into the other.
        const auto move = [&](TCustomView* from, TCustomView* to, const char* action) {
            QTRY_VERIFY(f.Enabled(action));
            if (how == "buttons") {
                QVERIFY(f.Trigger(action));
            } else if (how == "keys") {
                press(from, from == host ? Qt::Key_D : Qt::Key_U);
            } else {
                press(from, Qt::Key_C);
                if (from == host) {
                    // The pane's own copy pastes nothing there, and moving on moves nothing.
                    press(host, Qt::Key_V);
                    QVERIFY(
                        host->StatusBar()->currentMessage().startsWith("Nothing to paste here"));
                    QVERIFY(!host->ExistingQueue());
                    SelectName(host, "gone.txt");
                }
                press(to, Qt::Key_V);
            }
        };
        if (how == "paste") {
            QGuiApplication::clipboard()->clear();
            press(host, Qt::Key_V);
            QVERIFY(host->StatusBar()->currentMessage().startsWith("Nothing to paste here"));
        }
        SelectName(host, "remote.bin");
        move(host, view, "actDownload");
        QTRY_COMPARE(ReadFile(local.filePath("remote.bin")),
                     ReadFile(server.rootPath() + "/remote.bin"));
        SelectName(view, "notes.txt");
        move(view, host, "actUpload");
        QTRY_COMPARE(ReadFile(server.rootPath() + "/notes.txt"), notes);
        QCOMPARE(host->ExistingQueue()->Count(), 2);
        if (how != "buttons") return; // the rest does not depend on how the items came

        // A download the server refuses fails in red, keeps its reason in the manager and is
        // counted in the status bar once the run ends.
        auto item = std::make_unique<TTransferItem>();
        item->Host = "127.0.0.1";
        item->Port = server.port();
        item->User = "anonymous";
        item->Password = "t@example.org";
        item->SourceFolder = QFile::encodeName(server.rootPath()) + '/';
        item->FileName = "gone.txt";
        item->Size = 100;
        item->DestFolder = QFile::encodeName(local.path()) + '/';
        QVERIFY(QFile::remove(server.rootPath() + "/gone.txt"));
        auto* failed = f.Window->findChild<QLabel*>("lblFailed");
        QCOMPARE(failed->text(), QString());
        QVERIFY(GeneralQueue().Add(item) >= 0);
        // The run may still count the upload above when its end came after the file's.
        QTRY_VERIFY2(failed->text().startsWith("1 of "), qPrintable(failed->text()));
        QVERIFY(failed->text().endsWith(" failed"));
        QVERIFY(ItemStatusText(*GeneralQueue().Item(GeneralQueue().Count() - 1))
                    .startsWith("Aborted due to Error: 550 "));
        const QList<TTransferLogLine> lines = GeneralQueue().LogLines;
        QVERIFY(std::any_of(lines.begin(), lines.end(), [](const TTransferLogLine& line) {
            return line.Color == EngineSettings().LogColorError && line.Message.startsWith("550 ");
        }));
        QVERIFY(std::any_of(lines.begin(), lines.end(), [](const TTransferLogLine& line) {
            return line.Color == EngineSettings().LogColorError &&
                   line.Message.startsWith("\"gone.txt\" was not transferred: 550 ");
        }));
        QVERIFY(!QFileInfo::exists(local.filePath("gone.txt")));
        GeneralQueue().Clear();
    }

    // The delete question gives the focus back to the list the key was pressed in, also
    // when the server's list was off during the delete and the reread; the row after the
    // deleted one becomes current.
    void focusAfterDeleteQuestion() {
        TVsftpdServer server;
        server.setWritable(true);
        QVERIFY(WriteFile(server.rootPath() + "/doomed.txt", "x"));
        QVERIFY(WriteFile(server.rootPath() + "/next.txt", "x"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        QTemporaryDir local;
        QVERIFY(f.ShowBoth(server, local.path()));
        THostView* host = f.Host(0);
        f.Questions.Delete = true;
        f.Questions.Modal = true;
        SelectName(host, "doomed.txt");
        QTRY_VERIFY(f.Enabled("actServerErase")); // the key is the action's
        host->ListView()->setFocus();
        QTest::keyClick(host->ListView(), Qt::Key_Delete);
        QTRY_VERIFY(!QFileInfo::exists(server.rootPath() + "/doomed.txt"));
        QTRY_VERIFY(host->StateValue == hsIdle && host->ListView()->isVisible() &&
                    host->ListView()->isEnabled());
        // The window manager activates the window again once the question is gone.
        f.Window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.Window.get()));
        QVERIFY(host->ListView()->hasFocus());
        QTRY_COMPARE(host->ListView()->currentIndex().data().toString(), QString("next.txt"));
    }

    // The list's keys reach the window's commands only on the list that has the focus: F2
    // renames in place, Delete asks first, Backspace goes up, Ctrl+A selects all.
    void keysOnTheFocusedList() {
        TWindowFixture f;
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("sub/a.txt"), "a"));
        QVERIFY(WriteFile(local.filePath("sub/b.txt"), "b"));
        QVERIFY(f.Window->OpenLocalFolder(local.filePath("sub"), true));
        f.Window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.Window.get()));
        TLocalView* view = f.Window->CurrentLocalView();
        QAbstractItemView* list = view->ListView();
        list->setFocus();
        QTRY_COMPARE(view->ItemCount(), 2);
        SelectName(view, "a.txt");
        QTRY_VERIFY(f.Enabled("actLocalRename"));
        QTest::keyClick(list, Qt::Key_F2);
        QWidget* editor = QApplication::focusWidget();
        QVERIFY(editor && editor != list && list->isAncestorOf(editor));
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier); // the editor's, not the list's
        QTest::keyClicks(editor, "c.txt");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(QFileInfo::exists(local.filePath("sub/c.txt")));
        QVERIFY(!QFileInfo::exists(local.filePath("sub/a.txt")));

        SelectName(view, "b.txt");
        QTRY_VERIFY(f.Enabled("actLocalErase"));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(f.Questions.Deletes, 1);
        QVERIFY(QFileInfo::exists(local.filePath("sub/b.txt"))); // answered no
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view->SelectedCount(), 2);
        // The server side's Delete, on its own lists, neither takes nor shares the key.
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(f.Questions.Deletes, 2);
        QTest::keyClick(list, Qt::Key_Backspace);
        QTRY_COMPARE(QDir(view->Folder()), QDir(local.path()));
    }

    // The right mouse button on the local "File Mask" button opens the quick masks under
    // it; an entry filters the local list.
    void quickMaskMenu() {
        TWindowFixture f;
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("a.txt"), "a"));
        QVERIFY(WriteFile(local.filePath("b.zip"), "b"));
        QVERIFY(f.Window->OpenLocalFolder(local.path(), true));
        TLocalView* view = f.Window->CurrentLocalView();
        QTRY_COMPARE(view->ShownRows().size(), 2);
        QWidget* button = f.Window->LocalPane()->Strip()->widgetForAction(f.Action("actLocalMask"));
        // What the platform makes of a right button press.
        QContextMenuEvent press(QContextMenuEvent::Mouse, button->rect().center(),
                                button->mapToGlobal(button->rect().center()));
        QApplication::sendEvent(button, &press);
        auto* menu = f.Window->findChild<QMenu*>("mnuQuickMasks");
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), button->mapToGlobal(button->rect().bottomLeft()));
        menu->actions().first()->trigger();
        menu->hide();
        QCOMPARE(view->GetMask(), QString("*.zip;*.arj;*.a??;*.rar;*.r??;*.z"));
        QCOMPARE(view->ShownRows().size(), 1);
    }

    // "Compare Folders" selects on each side what the other lacks or holds smaller, pairing
    // names that differ only in case; a folder on both sides counts by its name alone.
    // Cancelled, it leaves the selections as they were.
    void compareFolders() {
        TVsftpdServer server;
        QTemporaryDir local;
        const auto put = [](const QString& folder, const QString& name, int size) {
            QVERIFY(WriteFile(folder + '/' + name, Pattern(size)));
        };
        for (const QString& folder : {server.rootPath(), local.path()}) {
            put(folder, "same.txt", 100);
            put(folder, "docs/" + QFileInfo(folder).fileName(), 10);
        }
        put(server.rootPath(), "bigger.bin", 1000);
        put(local.path(), "bigger.bin", 2000);
        put(server.rootPath(), "Case.txt", 50);
        put(local.path(), "case.txt", 50);
        put(server.rootPath(), "remote-only.txt", 10);
        put(local.path(), "local-only.txt", 10);
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        QVERIFY(!f.Enabled("actCompareFolders"));
        QVERIFY(f.ShowBoth(server, local.path()));
        THostView* host = f.Host(0);
        TLocalView* view = f.Window->CurrentLocalView();
        QTRY_COMPARE(view->ItemCount(), 5);
        const auto selected = [](const TCustomView* pane) {
            QStringList names;
            for (int row : pane->SelectedRows())
                names << pane->ItemName(row);
            names.sort();
            return names;
        };
        int asked = 0;
        f.Window->AskCompareOptions = [&]() -> std::optional<TCompareOptions> {
            ++asked;
            return std::nullopt;
        };
        SelectName(host, "same.txt");
        QTRY_VERIFY(f.Enabled("actCompareFolders"));
        QVERIFY(f.Trigger("actCompareFolders"));
        QCOMPARE(asked, 1);
        QCOMPARE(selected(host), QStringList{"same.txt"});
        f.Window->AskCompareOptions = [] { return std::optional(TCompareOptions{}); };
        QVERIFY(f.Trigger("actCompareFolders"));
        QCOMPARE(selected(view), QStringList({"bigger.bin", "local-only.txt"}));
        QCOMPARE(selected(host), QStringList{"remote-only.txt"});
    }

    // A path typed in the server's folder box is taken from the folder shown, even when the
    // server itself was left in another one; Escape puts the shown folder back.
    void hostFolderTyped() {
        TVsftpdServer server;
        QVERIFY(WriteFile(server.rootPath() + "/a/in-a.txt", "a"));
        QVERIFY(WriteFile(server.rootPath() + "/b/in-b.txt", "b"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        QTemporaryDir local;
        QVERIFY(f.ShowBoth(server, local.path()));
        THostView* host = f.Host(0);
        const QString root = host->Folder();
        QLineEdit* box = f.Window->HostPane()->Tree()->lineEdit();
        const auto type = [&](const QString& text, Qt::Key key) {
            box->setFocus();
            box->selectAll();
            QTest::keyClicks(box, text);
            QTest::keyClick(box, key);
        };
        type("a", Qt::Key_Return);
        QTRY_COMPARE(host->Folder(), root + "a/");
        // Back up from the cache: the server stays in "a", where no "b" is.
        QVERIFY(host->GoUp());
        QTRY_COMPARE(host->Folder(), root);
        type("b", Qt::Key_Enter);
        QTRY_COMPARE(host->Folder(), root + "b/");
        QTRY_COMPARE(host->ItemCount(), 1);
        type("nowhere", Qt::Key_Escape);
        QCOMPARE(box->text(), root + "b/");
    }

    void connectFlow() {
        TVsftpdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        // The first connection comes from the site list, as the last-connections menu makes it.
        TSiteList sites(f.Window->Paths().Sites);
        TSite site = TSiteList::NewSite(QString());
        site.Name = "Alpha & Co";
        site.Host = "127.0.0.1";
        site.Port = QString::number(server.port());
        site.User = "anonymous";
        site.Password = "t@example.org";
        site.HostFolder = server.rootPath();
        QVERIFY(sites.SaveSite(site));
        QVERIFY(!f.Enabled("actDisconnect"));
        f.Window->ConnectLastConnection(site.Name);
        QTRY_VERIFY(f.Host(0)->Connected() && f.Host(0)->StateValue == hsIdle);
        QCOMPARE(f.Window->HostPane()->Count(), 1);
        QCOMPARE(f.Caption(0), QString("Alpha && Co"));
        QCOMPARE(f.Window->windowTitle(), QString("Alpha & Co - Tolvar"));
        QCOMPARE(f.Window->LastConnections().first(), site.Name);
        QTRY_VERIFY(f.Enabled("actDisconnect") && f.Enabled("actServerRefresh") &&
                    f.Enabled("actStop"));
        QVERIFY(!f.Enabled("actServerRename")); // nothing selected
        QVERIFY(f.Sounds.Played.contains("success.wav"));

        // A connected tab is never reused; a tab that disconnects in the background leaves
        // the title to the current one.
        QVERIFY(f.Connect(server, "Beta"));
        QCOMPARE(f.Window->HostPane()->Count(), 2);
        QTRY_VERIFY(f.Host(1)->Connected());
        QCOMPARE(f.Window->windowTitle(), QString("Beta - Tolvar"));
        f.Host(0)->Disconnect();
        QTRY_COMPARE(f.Caption(0), QString("Disconnected"));
        QCOMPARE(f.Window->windowTitle(), QString("Beta - Tolvar"));
        QVERIFY(f.Sounds.Played.contains("disconnect.wav"));
        QVERIFY(f.Enabled("actDisconnect"));
        // The same site again, in the tab it left: named after it once more.
        f.Window->HostPane()->SetCurrentIndex(0);
        f.Window->ConnectLastConnection(site.Name);
        QTRY_VERIFY(f.Host(0)->Connected() && f.Host(0)->StateValue == hsIdle);
        QCOMPARE(f.Window->HostPane()->Count(), 2);
        QCOMPARE(f.Caption(0), QString("Alpha && Co"));
        QCOMPARE(f.Window->windowTitle(), QString("Alpha & Co - Tolvar"));
        f.Window->HostPane()->SetCurrentIndex(1);

        // A refused log-in plays its sound and leaves the tab disconnected.
        f.Host(1)->Disconnect();
        QTRY_COMPARE(f.Caption(1), QString("Disconnected"));
        EngineSettings().RetryCount = 1;
        QVERIFY(f.Connect(server, "Gamma", "nobody-here", "wrong"));
        QTRY_VERIFY_WITH_TIMEOUT(f.Sounds.Played.contains("failure.wav"), 10000);
        QTRY_VERIFY(!f.Host(1)->Connected());
        QVERIFY(!f.Enabled("actDisconnect"));

        // A disconnected tab whose queue still has work keeps it: the next connection gets a
        // tab of its own.
        auto item = UnstartableItem(f.Folder.path());
        QVERIFY(f.Host(1)->Queue()->Add(item) >= 0);
        QVERIFY(f.Connect(server, "Delta"));
        QCOMPARE(f.Window->HostPane()->Count(), 3);
        QCOMPARE(f.Caption(1), QString("Disconnected"));
        QTRY_VERIFY(f.Host(2)->Connected());
        f.Host(1)->Queue()->Clear();
        EngineSettings().RetryCount = 3;
    }

    // What must connect nothing and make no tab.
    void refusals_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<QString>("port");
        QTest::newRow("empty password, no prompt") << "" << false << "21";
        QTest::newRow("prompt cancelled") << "" << true << "21";
        QTest::newRow("port past 65535") << "x" << false << "99999";
        QTest::newRow("port 0") << "x" << false << "0";
    }
    void refusals() {
        QFETCH(QString, password);
        QFETCH(bool, prompt);
        QFETCH(QString, port);
        QTcpServer wrapped;
        const bool listening = wrapped.listen(QHostAddress::LocalHost, 34463);
        TWindowFixture f;
        f.Window->Settings().PromptForPass = prompt;
        int asked = 0;
        f.Window->AskPassword = [&](const QString&) -> std::optional<QString> {
            ++asked;
            return std::nullopt;
        };
        TSite site = TSiteList::NewSite(QString());
        site.Name = "Refused";
        site.Host = "127.0.0.1";
        site.User = "joe";
        site.Password = password;
        site.Port = port;
        QVERIFY(!f.Window->ConnectSite(site));
        QCOMPARE(asked, prompt ? 1 : 0);
        QCOMPARE(f.Window->HostPane()->Count(), 1);
        QCOMPARE(f.Caption(0), QString("Disconnected"));
        QCOMPARE(f.Window->windowTitle(), QString("Disconnected - Tolvar"));
        QVERIFY(f.Window->LastConnections().first().isEmpty());
        if (listening) QVERIFY(!wrapped.waitForNewConnection(300));
    }

    void closingViews() {
        TVsftpdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        TSidePane* hosts = f.Window->HostPane();
        f.Window->CloseHostView(); // a single tab stays
        QCOMPARE(hosts->Count(), 1);
        QVERIFY(f.Connect(server, "First"));
        QTRY_VERIFY(f.Host(0)->Connected());
        f.Window->CreateHostTab();
        f.Window->CreateHostTab();
        THostView* second = f.Host(1);
        hosts->SetCurrentIndex(0);
        // A connected view asks first; "No" keeps it.
        f.Window->CloseHostView();
        QCOMPARE(hosts->Count(), 3);
        QVERIFY(f.Questions.Asked.last().contains("127.0.0.1"));
        f.Questions.Yes = true;
        f.Window->CloseHostView();
        QCOMPARE(hosts->Count(), 2);
        QCOMPARE(hosts->CurrentIndex(), 0);
        QCOMPARE(f.Window->CurrentHostView(), second);
        QCOMPARE(f.Window->ConnectedViewCount(), 0);

        TSidePane* locals = f.Window->LocalPane();
        f.Window->NewLocalView();
        f.Window->NewLocalView();
        TCustomView* last = locals->View(2);
        locals->SetCurrentIndex(0);
        f.Window->CloseLocalView();
        QCOMPARE(locals->Count(), 2);
        QCOMPARE(locals->CurrentView(), last);

        // An item still queued into a closed tab ends without reaching it.
        auto item = UnstartableItem(f.Folder.path());
        EngineSettings().RetryCount = 1;
        item->DestView = f.Window->CurrentLocalView();
        QVERIFY(GeneralQueue().Add(item) >= 0);
        f.Window->CloseLocalView();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTRY_VERIFY(GeneralQueue().Idle());
        QCOMPARE(GeneralQueue().FailedCount, 1);
        GeneralQueue().Clear();
        EngineSettings().RetryCount = 3;
    }

    void quitting() {
        TVsftpdServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        QVERIFY(f.Connect(server, "One"));
        QTRY_VERIFY(f.Host(0)->Connected());
        QVERIFY(f.Connect(server, "Two"));
        QTRY_VERIFY(f.Host(1)->Connected());
        // An item that cannot start keeps retrying until the quit ends it.
        auto item = UnstartableItem(f.Folder.path());
        QVERIFY(GeneralQueue().Add(item) >= 0);

        QVERIFY(!f.Window->close());
        QVERIFY(f.Window->isVisible());
        QVERIFY2(f.Questions.Asked.last().contains("still 2 active connections") &&
                     f.Questions.Asked.last().contains("1 transfer is not finished: never.txt ("),
                 qPrintable(f.Questions.Asked.last()));
        QCOMPARE(f.Window->ConnectedViewCount(), 2);

        f.Questions.Yes = true;
        const QString settings = f.Window->Paths().Settings;
        QVERIFY(f.Window->close());
        QVERIFY(QFileInfo::exists(settings));
        QVERIFY(QFile::remove(settings));
        // Late statuses and the window's end write nothing more.
        QTest::qWait(100);
        f.Window.reset();
        QVERIFY(!QFileInfo::exists(settings));
        QTRY_COMPARE(
            TransferItemsList().StateCount(isBusy) + TransferItemsList().StateCount(isPending), 0);
        EngineSettings().RetryCount = 3;
        EngineSettings().QuickDisconnect = false;
    }

    void restart() {
        TWindowFixture f;
        for (const char* name : {"a", "b", "a", "c"})
            f.Window->AddLastConnection(name);
        QVERIFY(f.Trigger("actShowLog"));
        f.Window.reset();
        f.Open();
        QCOMPARE(f.Window->LastConnections().mid(0, 4), QStringList({"c", "a", "b", ""}));
        auto* menu = f.Window->findChild<QMenu*>("mnuLastConnections");
        QVERIFY(menu->isEnabled());
        Q_EMIT menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 3);
        QCOMPARE(menu->actions().first()->text(), QString("&1 c"));
        QVERIFY(!f.Action("actShowLog")->isChecked());
        QCOMPARE(f.Window->findChild<QSplitter*>("LogSplitter")->sizes().first(), 0);
    }

    void maximisedCloseKeepsBounds() {
        TWindowFixture f(false);
        {
            TRegistry reg(f.RegistryFile());
            reg.WriteInteger(RegWindowsMain, "State", 2);
            reg.WriteInteger(RegWindowsMain, "Left", 100);
            reg.WriteInteger(RegWindowsMain, "Top", 50);
            reg.WriteInteger(RegWindowsMain, "Width", 500);
            reg.WriteInteger(RegWindowsMain, "Height", 400);
        }
        f.Open();
        QVERIFY(f.Window->isMaximized());
        QVERIFY(f.Window->close());
        const TRegistry reg(f.RegistryFile());
        QCOMPARE(reg.ReadInteger(RegWindowsMain, "State", -1), 2);
        QCOMPARE(QRect(reg.ReadInteger(RegWindowsMain, "Left", 0),
                       reg.ReadInteger(RegWindowsMain, "Top", 0),
                       reg.ReadInteger(RegWindowsMain, "Width", 0),
                       reg.ReadInteger(RegWindowsMain, "Height", 0)),
                 QRect(100, 50, 500, 400));
    }

    void storedValues() {
        TWindowFixture f(false);
        {
            TRegistry reg(f.RegistryFile());
            reg.WriteInteger(RegWindowsMain, "State", 9);
            reg.WriteInteger(RegWindowsMain, "Left", 99999);
            reg.WriteInteger(RegWindowsMain, "Width", 0);
            reg.WriteInteger(RegWindowsMain, "Height", -5);
            reg.WriteInteger(RegWindowsMain, "LocalViewStyle", 7);
            reg.WriteInteger(RegWindowsMain, "HostViewStyle", -1);
            reg.WriteInteger(RegColumnWidths, "HostCol0", 0);
            reg.WriteInteger(RegColumnWidths, "HostCol1", 123);
        }
        f.Open();
        QVERIFY(!f.Window->isMaximized() && !f.Window->isMinimized());
        QCOMPARE(f.Window->size(), QSize(640, 480));
        QVERIFY(f.Window->screen()->availableGeometry().intersects(f.Window->geometry()));
        QCOMPARE(f.Window->CurrentLocalView()->ViewStyle(), TCustomView::vsReport);
        QCOMPARE(f.Window->CurrentHostView()->ViewStyle(), TCustomView::vsReport);
        QHeaderView* header = f.Window->CurrentHostView()->DetailsList()->header();
        QVERIFY(header->sectionSize(0) > 0);
        QCOMPARE(header->sectionSize(1), 123);
        // A new tab takes the widths the current list has at that moment.
        header->resizeSection(1, 77);
        QCOMPARE(f.Window->CreateHostTab()->DetailsList()->header()->sectionSize(1), 77);
    }

    void logSave_data() {
        QTest::addColumn<QString>("logFile"); // relative to the fixture's folder
        QTest::addColumn<QString>("picked");  // "Save as" when set
        QTest::addColumn<bool>("written");
        QTest::newRow("save") << "run.log"
                              << "" << true;
        QTest::newRow("save as") << "run.log"
                                 << "other.log" << true;
        QTest::newRow("log file is a folder") << "."
                                              << "" << false;
        QTest::newRow("folder missing") << "missing/run.log"
                                        << "" << false;
        QTest::newRow("save as, cancelled") << "run.log"
                                            << "-" << false;
    }
    void logSave() {
        QFETCH(QString, logFile);
        QFETCH(QString, picked);
        QFETCH(bool, written);
        TWindowFixture f;
        TLogPane* log = f.Window->LogPane();
        log->clear();
        QVERIFY(!f.Enabled("actLogClear"));
        const QString target =
            f.Folder.filePath(picked.isEmpty() || picked == "-" ? logFile : picked);
        f.Window->Settings().LogFile = f.Folder.filePath(logFile);
        f.Questions.File = picked == "-" ? QString() : target;
        {
            QFile old(target);
            if (old.open(QIODevice::WriteOnly)) old.write("old content\n");
        }
        f.Window->WriteLog(nullptr, "one\r\n", 0);
        f.Window->WriteLog(nullptr, "", 0);
        f.Window->WriteLog(nullptr, "two", 0x0000FF);
        QVERIFY(f.Enabled("actLogSave"));
        QVERIFY(f.Trigger(picked.isEmpty() ? "actLogSave" : "actLogSaveAs"));
        QFile file(target);
        const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (written) {
            QCOMPARE(content, QByteArray("one\ntwo\n"));
            QVERIFY(!log->HasLines());
        } else {
            QVERIFY(content != "one\ntwo\n");
            QCOMPARE(log->Lines().mid(0, 2), QStringList({"one", "two"}));
            QCOMPARE(log->Lines().size(), picked == "-" ? 2 : 3);
        }
    }

    // A long run keeps only the newest lines, whether they are still waiting or shown.
    void logKeepsNewestLines() {
        TLogPane log;
        const auto fill = [&](int from, int to) {
            for (int i = from; i < to; ++i)
                log.AppendLine(QString::number(i), 0);
        };
        fill(0, TLogText::MaxLines + 10);
        QCOMPARE(log.Lines().size(), TLogText::MaxLines);
        QCOMPARE(log.Lines().first(), "10");
        QTRY_COMPARE(log.document()->blockCount(), TLogText::MaxLines);
        fill(TLogText::MaxLines + 10, TLogText::MaxLines + 13);
        QTRY_COMPARE(log.document()->blockCount(), TLogText::MaxLines);
        const QStringList lines = log.Lines();
        QCOMPARE(lines.first(), "13");
        QCOMPARE(lines.last(), QString::number(TLogText::MaxLines + 12));
    }

    void logShownAndHidden() {
        TWindowFixture f;
        auto* splitter = f.Window->findChild<QSplitter*>("LogSplitter");
        QAction* show = f.Action("actShowLog");
        const int height = splitter->sizes().first();
        QVERIFY(show->isChecked() && height >= 12);
        show->trigger();
        QCOMPARE(splitter->sizes().first(), 0);
        show->trigger();
        QCOMPARE(splitter->sizes().first(), height);
        // Dragged up until the log has no room: it counts as hidden.
        QWidget* handle = splitter->handle(1);
        QTest::mousePress(handle, Qt::LeftButton, {}, handle->rect().center());
        QTest::mouseMove(handle, handle->rect().center() - QPoint(0, height - 3));
        QTest::mouseRelease(handle, Qt::LeftButton, {},
                            handle->rect().center() - QPoint(0, height - 3));
        QCOMPARE(splitter->sizes().first(), 0);
        QVERIFY(!show->isChecked());
    }

    // F1 in the transfer manager opens the transfers topic, not the contents.
    void managerHelpTopic() {
        TWindowFixture f;
        QVERIFY(f.Trigger("actTransferManager"));
        QWidget* manager = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == "frmTransferMngr") manager = top;
        QVERIFY(manager && manager->isVisible());
        QTest::keyClick(manager, Qt::Key_F1);
        QTextBrowser* topic = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && top->windowTitle() == "Tolvar Help")
                topic = top->findChild<QTextBrowser*>();
        QVERIFY(topic);
        QCOMPARE(topic->source().fileName(), QString("3.html"));
        delete topic->window();
    }

    // A download started from the host pane, as a user starts it, shows in both transfer
    // windows while it runs, over the pane's own session or the queue's; their buttons act
    // on it, and quitting with them open cancels it and ends the event loop. Kept last:
    // it runs the application's event loop to its end.
    void paneDownloadInTransferWindows_data() {
        QTest::addColumn<bool>("singleConnection");
        QTest::newRow("over the pane's session") << true;
        QTest::newRow("over a session of the queue") << false;
    }
    void paneDownloadInTransferWindows() {
        QFETCH(bool, singleConnection);
        constexpr int Size = 1'000'000;
        TVsftpdServer server;
        server.setMaxRate(100'000); // ten seconds for the file: ample time to look
        const QByteArray content = Pattern(Size, 5);
        QVERIFY(WriteFile(server.rootPath() + "/big.bin", content));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        f.Window->Settings().SingleConnectionsOnly = singleConnection;
        QTemporaryDir local;
        QVERIFY(f.Window->OpenLocalFolder(local.path(), true));
        QVERIFY(f.Connect(server, "Big"));
        THostView* host = f.Host(0);
        QTRY_VERIFY(host->StateValue == hsIdle && host->ItemCount() > 0);
        for (int row = 0; row < host->ItemCount(); ++row)
            if (host->ItemName(row) == "big.bin") host->SelectRows({row});
        QTRY_VERIFY(f.Enabled("actDownload"));
        QVERIFY(f.Trigger("actDownload"));
        QVERIFY(f.Trigger("actShowTransfers"));
        QVERIFY(f.Trigger("actTransferManager"));

        auto* progress = dynamic_cast<TfrmTransfer*>(TransferItemsList().Windows().Progress);
        auto* manager = dynamic_cast<TfrmTransferMngr*>(TransferItemsList().Windows().Manager);
        QVERIFY(progress && manager && host->ExistingQueue());
        TTransferItems& queue = *host->ExistingQueue();
        QCOMPARE(queue.Count(), 1);
        TTransferItem* item = queue.Item(0);
        const auto label = [&](const char* name) {
            return progress->findChild<QLabel*>(name)->text();
        };
        const auto button = [&](const char* name) {
            return progress->findChild<QPushButton*>(name);
        };
        const auto status = [&] {
            manager->Model()->FlushProgress();
            return manager->Model()
                ->IndexOf(item, TTransferManagerModel::colStatus)
                .data()
                .toString();
        };
        const auto running = [&] { return item->State() == isBusy && item->BytesDone > 0; };
        QTRY_VERIFY(running());
        QVERIFY(progress->isVisible() && manager->isVisible());
        QTRY_VERIFY(label("lblCurrentBytes").endsWith(" of 1,000,000 bytes copied"));
        QCOMPARE(label("lblFileName"), QString("big.bin"));
        QCOMPARE(label("lblFileCount"), QString("File 1 of 1"));
        QVERIFY(label("lblTotalBytes").endsWith(" of 1,000,000 bytes copied"));
        QVERIFY(label("lblCurrentElapsed").endsWith(" elapsed"));
        QVERIFY(button("btnSkip")->isEnabled() && button("btnCancel")->isEnabled());
        QCOMPARE(manager->Filter()->rowCount(), 1);
        QCOMPARE(manager->Model()->IndexOf(item).data().toString(), QString("big.bin"));
        QTRY_VERIFY(status().endsWith("% done"));

        button("btnCancel")->click();
        QTRY_COMPARE(item->State(), isCancelled);
        QCOMPARE(status(), QString("Cancelled"));
        QTreeView* list = manager->List();
        const QModelIndex row = manager->Filter()->mapFromSource(manager->Model()->IndexOf(item));
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, list->visualRect(row).center());
        manager->findChild<QAction*>("ResubmitMnuItm")->trigger();
        QTRY_VERIFY(running());
        QVERIFY(progress->isVisible() && manager->isVisible());

        // Exit, "Yes", with both windows open: the transfer is named, then cancelled, and
        // the loop ends.
        f.Questions.Yes = true;
        QTimer::singleShot(0, f.Window.get(), [&] { f.Action("actExit")->trigger(); });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(20000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY2(f.Questions.Asked.last().contains("1 transfer is not finished: big.bin ("),
                 qPrintable(f.Questions.Asked.last()));
        QVERIFY(!f.Window->isVisible() && !progress->isVisible() && !manager->isVisible());
        QCOMPARE(item->State(), isCancelled);
        // What had arrived stays under its name, for a later resume.
        const QByteArray partial = ReadFile(local.filePath("big.bin"));
        QVERIFY(partial.size() > 0 && partial.size() < Size);
        QVERIFY(content.startsWith(partial));
        f.Window.reset();
        EngineSettings().QuickDisconnect = false;
    }
};

QTEST_MAIN(TTestMainWindow)
#include "tst_main_window.moc"
