// What the main window's actions do.
#include "app/Help.h"
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "listing/FtpUtils.h"
#include "transfer/TransferItemsList.h"
#include "transfer/TransferMonitor.h"
#include "transfer/windows/TransferManagerWindow.h"
#include "transfer/windows/TransferProgressWindow.h"
#include "views/ViewQuestions.h"
#include "views/widgets/CustomView.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/TreeCombo.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QWhatsThis>

void TfrmMain::BuildActions() {
    Actions_.Build(this);
    WireConnectionActions();
    WireWindowActions();
    WireHelpActions();
    for (const bool host : {false, true}) {
        WirePaneFileActions(host);
        WirePaneViewActions(host);
    }
    WireFileCommands();
}

TCustomView* TfrmMain::PaneView(bool host) const {
    return host ? static_cast<TCustomView*>(CurrentHostView()) : CurrentLocalView();
}

void TfrmMain::WireConnectionActions() {
    const TMainActions& a = Actions_;
    connect(a.Connect, &QAction::triggered, this, &TfrmMain::Connect);
    connect(a.ConnectURL, &QAction::triggered, this, &TfrmMain::ConnectToURL);
    connect(a.Stop, &QAction::triggered, this, [this] {
        if (THostView* view = CurrentHostView()) view->Stop();
    });
    connect(a.Disconnect, &QAction::triggered, this, [this] {
        if (THostView* view = CurrentHostView()) view->Disconnect();
    });
    QAction* dropTransfers = a.DisconnectTransfer;
    connect(dropTransfers, &QAction::triggered, this, [dropTransfers] {
        TransferItemsList().DisconnectAll();
        dropTransfers->setEnabled(false);
    });
    connect(a.Exit, &QAction::triggered, this, &QWidget::close);
    connect(a.Upload, &QAction::triggered, this, [this] {
        if (CurrentHostView() && CurrentLocalView())
            CurrentLocalView()->TransferTo(CurrentHostView());
    });
    connect(a.Download, &QAction::triggered, this, [this] {
        if (CurrentHostView() && CurrentLocalView())
            CurrentHostView()->TransferTo(CurrentLocalView());
    });
}

void TfrmMain::WireWindowActions() {
    const TMainActions& a = Actions_;
    // Added to the lists of both sides (FillPaneButtons), so their keys act where the focus is.
    const auto focusedView = [this]() -> TCustomView* {
        QWidget* focus = QApplication::focusWidget();
        if (focus && HostPane_->isAncestorOf(focus)) return HostPane_->CurrentView();
        return LocalPane_->CurrentView();
    };
    connect(a.SelectAll, &QAction::triggered, this, [focusedView] {
        if (TCustomView* v = focusedView()) v->SelectAll();
    });
    connect(a.InvertSelection, &QAction::triggered, this, [focusedView] {
        if (TCustomView* v = focusedView()) v->InvertSelection();
    });
    connect(a.CompareFolders, &QAction::triggered, this, &TfrmMain::CompareFolders);
    connect(a.Preferences, &QAction::triggered, this, &TfrmMain::ShowOptions);
    connect(a.TransferManager, &QAction::toggled, this,
            [this](bool on) { Manager_->setVisible(on); });
    connect(a.MaximizeHost, &QAction::toggled, this, &TfrmMain::ToggleMaximizeHost);
    connect(a.ShowLog, &QAction::toggled, this, &TfrmMain::ToggleLog);
    connect(a.ShowViewer, &QAction::toggled, this, &TfrmMain::ToggleViewer);
    connect(a.ShowTransfers, &QAction::toggled, this, [this](bool on) {
        if (!on)
            Progress_->hide();
        else if (Progress_->Pinned() || !Monitor_->AllIdle())
            Progress_->show();
    });
}

void TfrmMain::WireHelpActions() {
    const TMainActions& a = Actions_;
    connect(a.HelpContents, &QAction::triggered, this, [this] { ShowHelpTopic(hcContents, this); });
    connect(a.WhatsThis, &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });
    connect(a.ProductNews, &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl::fromLocalFile(HelpFolder() + "/../README.md")); });
    connect(a.FAQ, &QAction::triggered, this, [this] { ShowHelpTopic(hcContents, this); });
    a.Feedback->setEnabled(QStringLiteral(TOLVAR_ISSUES_URL).size() > 0);
    connect(a.Feedback, &QAction::triggered, this,
            [] { QDesktopServices::openUrl(QUrl(QStringLiteral(TOLVAR_ISSUES_URL))); });
    connect(a.About, &QAction::triggered, this, [this] { ShowHelpTopic(hcAbout, this); });
}

// The commands on the files of one side's current tab.
void TfrmMain::WirePaneFileActions(bool host) {
    const TPaneActions& a = host ? Actions_.Server : Actions_.Local;
    const auto view = [this, host] { return PaneView(host); };
    connect(a.Refresh, &QAction::triggered, this, [view] { view()->Refresh(); });
    const auto newFolder = [this, host, view] {
        const QString folder = host ? Questions_->AskText(QStringLiteral("Create a new folder"),
                                                          QStringLiteral("New Folder to create"))
                                    : Questions_->AskText(QStringLiteral("New Folder"),
                                                          QStringLiteral("Folder name:"));
        if (!folder.isEmpty()) view()->CreateFolder(folder);
    };
    connect(a.NewFolder, &QAction::triggered, this, newFolder);
    connect(a.PopNewFolder, &QAction::triggered, this, newFolder);
    connect(a.Rename, &QAction::triggered, this, [view] { view()->RenameSelected(); });
    connect(a.Erase, &QAction::triggered, this, [view] { view()->DeleteSelected(); });
    connect(a.Mask, &QAction::triggered, this, [this, host] { ShowMaskWindow(host); });
    connect(a.Cut, &QAction::triggered, this, [view] { view()->CutSelected(); });
    connect(a.Copy, &QAction::triggered, this, [view] { view()->CopySelected(); });
    connect(a.Paste, &QAction::triggered, this, [view] { view()->Paste(); });
    connect(a.Properties, &QAction::triggered, this, [view] { view()->ShowProperties(); });
}

// The commands on one side's tabs, folders and view styles.
void TfrmMain::WirePaneViewActions(bool host) {
    const TPaneActions& a = host ? Actions_.Server : Actions_.Local;
    connect(a.Up, &QAction::triggered, this, [this, host] { PaneView(host)->GoUp(); });
    connect(a.NewView, &QAction::triggered, this,
            host ? &TfrmMain::NewHostView : &TfrmMain::NewLocalView);
    connect(a.CloseView, &QAction::triggered, this,
            host ? &TfrmMain::CloseHostView : &TfrmMain::CloseLocalView);
    connect(a.ChangeFolder, &QAction::triggered, this, [this, host] {
        TCustomView* view = PaneView(host);
        if (!view) return;
        // A server's folder in the form its own replies use (a VMS device path).
        const QString current =
            host ? CurrentHostView()->Browser().PathText(CurrentHostView()->Browser().ToServerPath(
                       CurrentHostView()->Browser().Folder()))
                 : view->Folder();
        const QString folder =
            host
                ? Questions_->AskText(QStringLiteral("Open Folder"),
                                      QStringLiteral("Enter the path of a folder you want to open"),
                                      current)
                : Questions_->PickFolder(QStringLiteral("Select Folder to View"), current);
        if (!folder.trimmed().isEmpty() && folder != current) view->ShowFolder(folder);
    });
    connect(a.Styles, &QActionGroup::triggered, this,
            [this, host](QAction* style) { SetViewStyle(host, style->data().toInt()); });
    connect(a.Views, &QAction::triggered, this, [this, host] {
        // The button cycles through the styles; its menu picks one.
        if (TCustomView* v = PaneView(host)) SetViewStyle(host, (int(v->ViewStyle()) + 1) % 4);
    });
}
