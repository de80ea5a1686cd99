// The main window's actions and menus.
#include "app/Help.h"
#include "app/LogPane.h"
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "transfer/TransferItemsList.h"
#include "transfer/TransferMonitor.h"
#include "transfer/windows/BusyAnimation.h"
#include "transfer/windows/TransferManagerWindow.h"
#include "transfer/windows/TransferProgressWindow.h"
#include "views/MainCommands.h"
#include "views/ViewQuestions.h"
#include "views/widgets/CustomView.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/ThemeIcons.h"
#include "views/widgets/TreeCombo.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWhatsThis>

QAction* TfrmMain::MakeAction(const char* name, const QString& caption, const QString& hint,
                              const QString& icon, const QKeySequence& key) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty()) {
        action->setToolTip(hint);
        action->setStatusTip(hint);
        action->setIconText(hint);
    }
    if (!icon.isEmpty()) action->setIcon(ThemeIcon(icon));
    if (!key.isEmpty()) action->setShortcut(key);
    return action;
}

void TfrmMain::BuildActions() {
    using K = QKeySequence;
    const auto ctrlShift = [](Qt::Key key) { return K(Qt::CTRL | Qt::SHIFT | key); };
    connect(MakeAction("actConnect", "&Connect", "Connect", "connect", ctrlShift(Qt::Key_C)),
            &QAction::triggered, this, &TfrmMain::Connect);
    connect(MakeAction("actConnectURL", "Connect to &URL", "Connect to URL", "url",
                       ctrlShift(Qt::Key_U)),
            &QAction::triggered, this, &TfrmMain::ConnectToURL);
    connect(MakeAction("actStop", "&Stop", "Stop", "stop", ctrlShift(Qt::Key_S)),
            &QAction::triggered, this, [this] {
                if (THostView* view = CurrentHostView()) view->Stop();
            });
    connect(MakeAction("actDisconnect", "&Disconnect", "Disconnect", "disconnect",
                       ctrlShift(Qt::Key_D)),
            &QAction::triggered, this, [this] {
                if (THostView* view = CurrentHostView()) view->Disconnect();
            });
    QAction* dropTransfers =
        MakeAction("actDisconnectTransfer", "Disconnect Transfer Connection", QString(), QString());
    connect(dropTransfers, &QAction::triggered, this, [dropTransfers] {
        TransferItemsList().DisconnectAll();
        dropTransfers->setEnabled(false);
    });
    QAction* exit = MakeAction("actExit", "&Exit", QString(), QString(), K(Qt::ALT | Qt::Key_F4));
    exit->setShortcuts({K(Qt::ALT | Qt::Key_F4), K(K::Quit)});
    connect(exit, &QAction::triggered, this, &QWidget::close);

    MakeAction("actCompareFolders", "&Compare Folders", QString(), QString())->setEnabled(false);
    // The lists handle these keys themselves: the menus only show them (see ShowPaneMenu).
    const auto focusedView = [this]() -> TCustomView* {
        QWidget* focus = QApplication::focusWidget();
        if (focus && HostPane_->isAncestorOf(focus)) return HostPane_->CurrentView();
        return LocalPane_->CurrentView();
    };
    connect(
        MakeAction("actSelectAll", "Select &All", QString(), QString(), K(Qt::CTRL | Qt::Key_A)),
        &QAction::triggered, this, [focusedView] {
            if (TCustomView* v = focusedView()) v->SelectAll();
        });
    connect(MakeAction("actInvertSelection", "&Invert Selection", QString(), QString(),
                       ctrlShift(Qt::Key_A)),
            &QAction::triggered, this, [focusedView] {
                if (TCustomView* v = focusedView()) v->InvertSelection();
            });

    // The pane commands, once per side.
    for (const bool host : {false, true}) {
        const QString side = host ? QStringLiteral("Server") : QStringLiteral("Local");
        const auto view = [this, host]() -> TCustomView* {
            return host ? static_cast<TCustomView*>(CurrentHostView()) : CurrentLocalView();
        };
        const auto name = [&](const char* what) { return ("act" + side + what).toLatin1(); };
        connect(MakeAction(name("EditNotepad"), "&NotePad", "Edit with...", "edit"),
                &QAction::triggered, this, [this, host, view] {
                    if (host)
                        CurrentHostView()->ViewFiles(trEdit, CurrentLocalView());
                    else if (TCustomView* v = view()) {
                        QStringList files;
                        for (int row : v->SelectedRows())
                            if (!v->IsFolder(row)) files << v->ItemPath(row);
                        RunViewer(files);
                    }
                });
        MakeAction(name("EditPellion"), "&Pellion", QString(), QString())->setEnabled(false);
        connect(MakeAction(name("Refresh"), "&Refresh", "Refresh", "refresh", K(Qt::Key_F5)),
                &QAction::triggered, this, [view] { view()->Refresh(); });
        connect(MakeAction(name("NewFolder"), "&Create New Folder", "New Folder", "newfolder"),
                &QAction::triggered, this, [this, view] {
                    const QString folder = Questions_->AskText(QStringLiteral("New Folder"),
                                                               QStringLiteral("Folder name:"));
                    if (!folder.isEmpty()) view()->CreateFolder(folder);
                });
        connect(MakeAction(name("Rename"), "Rena&me", "Rename", "rename", K(Qt::Key_F2)),
                &QAction::triggered, this, [view] { view()->RenameSelected(); });
        connect(MakeAction(name("Erase"), "&Erase", "Delete", "delete", K(K::Delete)),
                &QAction::triggered, this, [view] { view()->DeleteSelected(); });
        connect(MakeAction(name("Mask"), "Mas&k files", "File Mask", "mask"), &QAction::triggered,
                this, [this, view] {
                    TCustomView* v = view();
                    const QString mask = Questions_->AskText(
                        QStringLiteral("File Mask"),
                        QStringLiteral("Show only the files matching (for example *.txt;*.zip):"),
                        v->GetMask());
                    if (!mask.isNull()) v->SetMask(mask);
                });
        if (!host) {
            connect(MakeAction("actLocalCut", "&Cut", QString(), QString(), K(K::Cut)),
                    &QAction::triggered, this, [view] { view()->CutSelected(); });
            connect(MakeAction("actLocalCopy", "Co&py", QString(), QString(), K(K::Copy)),
                    &QAction::triggered, this, [view] { view()->CopySelected(); });
            connect(MakeAction("actLocalPaste", "&Paste", QString(), QString(), K(K::Paste)),
                    &QAction::triggered, this, [view] { view()->Paste(); });
        }
        connect(MakeAction(name("Properties"), "P&roperties", "Properties", "properties",
                           K(Qt::ALT | Qt::Key_Return)),
                &QAction::triggered, this, [view] { view()->ShowProperties(); });
        connect(MakeAction(name("Up"), "Up One Level", "Up One Level", "up"), &QAction::triggered,
                this, [view] { view()->GoUp(); });
        connect(MakeAction(name("NewView"), "New View", "New View", "newview"), &QAction::triggered,
                this, host ? &TfrmMain::NewHostView : &TfrmMain::NewLocalView);
        connect(MakeAction(name("CloseView"), "Close View", "Close View", "closeview"),
                &QAction::triggered, this,
                host ? &TfrmMain::CloseHostView : &TfrmMain::CloseLocalView);
        connect(MakeAction(name("ChangeFolder"), "Change Folder", "Change Folder", "folder"),
                &QAction::triggered, this, [this, host] {
                    TSidePane* pane = host ? HostPane_ : LocalPane_;
                    pane->Tree()->setFocus();
                    pane->Tree()->showPopup();
                });
        auto* styles = new QActionGroup(this);
        const char* styleNames[] = {"Icons", "SmallIcons", "List", "Details"};
        const QString styleCaptions[] = {QStringLiteral("Lar&ge Icons"),
                                         QStringLiteral("S&mall Icons"), QStringLiteral("&List"),
                                         QStringLiteral("&Details")};
        for (int i = 0; i < 4; ++i) {
            QAction* a =
                MakeAction(name("Style") + styleNames[i], styleCaptions[i], QString(), QString());
            a->setCheckable(true);
            a->setData(i);
            styles->addAction(a);
        }
        connect(styles, &QActionGroup::triggered, this,
                [this, host](QAction* a) { SetViewStyle(host, a->data().toInt()); });
        (host ? HostStyles_ : LocalStyles_) = styles;
        connect(MakeAction(name("Views"), "Change Views", "Type of Views", "views"),
                &QAction::triggered, this, [this, host] {
                    // The button cycles through the styles; its menu picks one.
                    TCustomView* v =
                        host ? static_cast<TCustomView*>(CurrentHostView()) : CurrentLocalView();
                    if (v) SetViewStyle(host, (int(v->ViewStyle()) + 1) % 4);
                });
    }
    // Window-wide keys, so that a keyboard user transfers from whichever pane has the focus.
    QAction* upload =
        MakeAction("actUpload", "&Upload", "Upload", "upload", K(Qt::CTRL | Qt::Key_U));
    upload->setToolTip(QStringLiteral("Upload (Ctrl+U)"));
    connect(upload, &QAction::triggered, this, [this] {
        if (CurrentHostView() && CurrentLocalView())
            CurrentLocalView()->TransferTo(CurrentHostView());
    });
    QAction* download =
        MakeAction("actDownload", "Do&wnload", "Download", "download", K(Qt::CTRL | Qt::Key_D));
    download->setToolTip(QStringLiteral("Download (Ctrl+D)"));
    connect(download, &QAction::triggered, this, [this] {
        if (CurrentHostView() && CurrentLocalView())
            CurrentHostView()->TransferTo(CurrentLocalView());
    });

    connect(MakeAction("actPreferences", "General &Preferences", QString(), QString()),
            &QAction::triggered, this, &TfrmMain::ShowOptions);
    QAction* manager = MakeAction("actTransferManager", "View &Transfer Manager",
                                  "Show Transfer Manager", "manager", K(Qt::CTRL | Qt::Key_G));
    manager->setCheckable(true);
    connect(manager, &QAction::toggled, this, [this](bool on) { Manager_->setVisible(on); });
    QAction* maximize = MakeAction("actMaximizeHost", "&Maximize Server Window",
                                   "Maximize Host View", "maximize", K(Qt::CTRL | Qt::Key_M));
    maximize->setCheckable(true);
    connect(maximize, &QAction::toggled, this, &TfrmMain::ToggleMaximizeHost);
    QAction* log =
        MakeAction("actShowLog", "View M&essages Window", "Show Log", "log", K(Qt::Key_F9));
    log->setCheckable(true);
    log->setChecked(true);
    connect(log, &QAction::toggled, this, &TfrmMain::ToggleLog);
    MakeAction("actShowViewer", "View Internal &Viewer", "Show Viewer", "viewer", K(Qt::Key_F10))
        ->setEnabled(false);
    QAction* transfers =
        MakeAction("actShowTransfers", "View &Transfers", QString(), "transfers", K(Qt::Key_F12));
    transfers->setCheckable(true);
    connect(transfers, &QAction::toggled, this, [this](bool on) {
        if (!on)
            Progress_->hide();
        else if (Progress_->Pinned() || !Monitor_->AllIdle())
            Progress_->show();
    });

    QAction* contents =
        MakeAction("actHelpContents", "&Help Contents", QString(), "help", K(Qt::Key_F1));
    // F1 itself goes to the active window's topic (InstallHelpKey); the menu shows the key.
    contents->setShortcutContext(Qt::WidgetShortcut);
    connect(contents, &QAction::triggered, this, [this] { ShowHelpTopic(hcContents, this); });
    connect(MakeAction("actWhatsThis", "&What's This?", QString(), QString()), &QAction::triggered,
            this, [] { QWhatsThis::enterWhatsThisMode(); });
    connect(MakeAction("actProductNews", "&Product News", QString(), QString()),
            &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl::fromLocalFile(HelpFolder() + "/../README.md")); });
    connect(MakeAction("actFAQ", "Frequently Asked &Questions", QString(), QString()),
            &QAction::triggered, this, [this] { ShowHelpTopic(hcContents, this); });
    QAction* feedback = MakeAction("actFeedback", "Send Fee&dBack", QString(), QString());
    feedback->setEnabled(QStringLiteral(TOLVAR_ISSUES_URL).size() > 0);
    connect(feedback, &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QStringLiteral(TOLVAR_ISSUES_URL))); });
    connect(MakeAction("actAbout", "&About...", QString(), QString()), &QAction::triggered, this,
            [this] { ShowHelpTopic(hcAbout, this); });
}

QAction* TfrmMain::Action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void TfrmMain::BuildMenus() {
    const auto add = [this](QMenu* menu, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (*n == '-')
                menu->addSeparator();
            else
                menu->addAction(Action(QString::fromLatin1(n)));
        }
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    add(file, {"actConnect", "actConnectURL", "actStop", "actDisconnect", "-",
               "actDisconnectTransfer", "-"});
    LastMenu_ = file->addMenu(QStringLiteral("&Last Connections"));
    LastMenu_->setObjectName(QStringLiteral("mnuLastConnections"));
    connect(LastMenu_, &QMenu::aboutToShow, this, &TfrmMain::FillLastConnectionsMenu);
    add(file, {"-", "actExit"});

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    add(edit, {"actCompareFolders", "-", "actSelectAll", "actInvertSelection"});

    for (const bool host : {false, true}) {
        const char* prefix = host ? "actServer" : "actLocal";
        const auto n = [prefix](const char* what) { return QString::fromLatin1(prefix) + what; };
        QMenu* menu =
            menuBar()->addMenu(host ? QStringLiteral("&Server") : QStringLiteral("&Local"));
        menu->setObjectName(host ? QStringLiteral("mnuServer") : QStringLiteral("mnuLocal"));
        QMenu* editWith = menu->addMenu(ThemeIcon("edit"), QStringLiteral("E&dit with..."));
        editWith->addAction(Action(n("EditNotepad")));
        editWith->addAction(Action(n("EditPellion")));
        for (const char* what : {"Refresh", "NewFolder", "Rename", "Erase", "Mask"})
            menu->addAction(Action(n(what)));
        menu->addSeparator();
        add(menu, {host ? "actDownload" : "actUpload", "-"});
        if (!host) {
            add(menu, {"actLocalCut", "actLocalCopy", "actLocalPaste", "-"});
        }
        menu->addAction(Action(n("Properties")));
        (host ? ServerMenu_ : LocalMenu_) = menu;
    }
    // The keys of the pane menus and of the selection commands are shown in the menus but
    // left to the lists, which handle them themselves on the pane that has the focus.
    // Upload and Download act from anywhere in the window.
    for (QMenu* menu : {LocalMenu_, ServerMenu_, edit})
        for (QAction* a : menu->actions())
            if (a != Action("actUpload") && a != Action("actDownload"))
                a->setShortcutContext(Qt::WidgetShortcut);

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    add(options, {"actPreferences", "-", "actTransferManager", "-", "actMaximizeHost", "actShowLog",
                  "actShowViewer", "-", "actShowTransfers"});

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    add(help, {"actHelpContents", "actWhatsThis", "-"});
    QMenu* web = help->addMenu(QStringLiteral("Tolvar on the &Web"));
    add(web, {"actProductNews", "actFAQ", "actFeedback"});
    add(help, {"-", "actAbout"});
}

void TfrmMain::ShowPaneMenu(TCustomView* view, const QPoint& pos) {
    QMenu* menu = qobject_cast<THostView*>(view) ? ServerMenu_ : LocalMenu_;
    menu->popup(pos);
}

void TfrmMain::FillLastConnectionsMenu() {
    LastMenu_->clear();
    for (int slot = 0; slot < LastConnections_.size(); ++slot) {
        const QString name = LastConnections_[slot];
        if (name.isEmpty()) continue;
        QAction* a =
            LastMenu_->addAction(QStringLiteral("&%1 %2").arg(slot + 1).arg(MnemonicSafe(name)));
        a->setObjectName(QStringLiteral("actLastConnection%1").arg(slot + 1));
        connect(a, &QAction::triggered, this, [this, name] { ConnectLastConnection(name); });
    }
    if (LastMenu_->isEmpty()) {
        QAction* none = LastMenu_->addAction(QStringLiteral("(none)"));
        none->setObjectName(QStringLiteral("actLastConnectionNone"));
        none->setEnabled(false);
    }
}
