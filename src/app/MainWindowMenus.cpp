// The main window's menus.
#include "app/MainWindow.h"
#include "app/QuickMaskMenu.h"
#include "views/MainCommands.h"
#include "views/widgets/HostView.h"
#include "views/widgets/ThemeIcons.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

// Adds the actions in order; a null one is a separator.
void AddActions(QMenu* menu, std::initializer_list<QAction*> actions) {
    for (QAction* action : actions) {
        if (action)
            menu->addAction(action);
        else
            menu->addSeparator();
    }
}

QMenu* AddMenu(QMenuBar* bar, const QString& caption, const QString& name) {
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(name);
    return menu;
}

} // namespace

void TfrmMain::BuildMenus() {
    const TMainActions& a = Actions_;
    QMenu* file = AddMenu(menuBar(), QStringLiteral("&File"), QStringLiteral("mnuFile"));
    AddActions(file, {a.Connect, a.ConnectURL, a.Stop, a.Disconnect, nullptr, a.DisconnectTransfer,
                      nullptr});
    LastMenu_ = file->addMenu(QStringLiteral("&Last Connections"));
    LastMenu_->setObjectName(QStringLiteral("mnuLastConnections"));
    connect(LastMenu_, &QMenu::aboutToShow, this, &TfrmMain::FillLastConnectionsMenu);
    AddActions(file, {nullptr, a.Exit});

    QMenu* edit = AddMenu(menuBar(), QStringLiteral("&Edit"), QStringLiteral("mnuEdit"));
    AddActions(edit, {a.CompareFolders, nullptr, a.SelectAll, a.InvertSelection});
    BuildPaneMenu(false);
    BuildPaneMenu(true);
    BuildPopupMenus();
    QuickMasks_ = new TQuickMaskMenu(this);
    QuickMasks_->OnChosen = [this](bool host, const QString& mask) {
        if (TCustomView* view = PaneView(host)) view->SetMask(mask);
    };
    QMenu* options = AddMenu(menuBar(), QStringLiteral("&Options"), QStringLiteral("mnuOptions"));
    AddActions(options, {a.Preferences, nullptr, a.TransferManager, nullptr, a.MaximizeHost,
                         a.ShowLog, a.ShowViewer, nullptr, a.ShowTransfers});

    QMenu* help = AddMenu(menuBar(), QStringLiteral("&Help"), QStringLiteral("mnuHelp"));
    AddActions(help, {a.HelpContents, a.WhatsThis, nullptr});
    QMenu* web = help->addMenu(QStringLiteral("Tolvar on the &Web"));
    AddActions(web, {a.ProductNews, a.FAQ, a.Feedback});
    AddActions(help, {nullptr, a.About});
}

void TfrmMain::BuildPaneMenu(bool host) {
    const TPaneActions& a = host ? Actions_.Server : Actions_.Local;
    QMenu* menu = host ? AddMenu(menuBar(), QStringLiteral("&Server"), QStringLiteral("mnuServer"))
                       : AddMenu(menuBar(), QStringLiteral("&Local"), QStringLiteral("mnuLocal"));
    QMenu* editWith = menu->addMenu(ThemeIcon("edit"), QStringLiteral("E&dit with..."));
    AddActions(editWith, {a.EditNotepad, a.EditPellion});
    connect(editWith, &QMenu::aboutToShow, this, [this, host] { UpdateEditWith(host); });
    AddActions(menu, {a.Refresh, a.NewFolder, a.Rename, a.Erase, a.Mask, nullptr,
                      host ? Actions_.Download : Actions_.Upload, nullptr});
    if (!host) AddActions(menu, {a.Cut, a.Copy, a.Paste, nullptr});
    menu->addAction(a.Properties);
    (host ? ServerMenu_ : LocalMenu_) = menu;
}

void TfrmMain::ShowPaneMenu(TCustomView* view, const QPoint& pos) {
    const bool host = qobject_cast<THostView*>(view);
    // The popup's rules follow the pane as it is now.
    if (host) UpdateHostCommands();
    (host ? HostPopup_ : LocalPopup_)->popup(pos);
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
