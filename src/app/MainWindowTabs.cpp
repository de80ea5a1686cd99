// The main window's tabs: making, switching and closing host and local views, and what
// their files go to (transfers between panes, the viewer).
#include "app/LogPane.h"
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "listing/FtpUtils.h"
#include "platform/SafeName.h"
#include "settings/TrustedCertificates.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/windows/BusyAnimation.h"
#include "views/MainCommands.h"
#include "views/ViewQuestions.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/TreeCombo.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

THostView* TfrmMain::CreateHostTab() {
    auto* view = new THostView;
    view->Browser().SetSettings(&Settings_);
    view->Browser().CertificatesFile = TrustedCertificatesFileBeside(Paths_.Sites);
    view->SetQueueList(&TransferItemsList());
    if (Questions_ != OwnQuestions_.get()) view->SetQuestions(Questions_);
    view->Session()->SetPassive(Settings_.UsePASV);
    view->OnUpdateState = [this](TCustomView* sender, int state, int n) {
        HostViewStatus(sender, state, n);
    };
    view->OnLog = [this](THostView* sender, const QString& text, TColor color) {
        if (AutomationHooks.HostLog) AutomationHooks.HostLog(sender, text);
        WriteLog(sender, text, color);
    };
    // The view's own changes, not the repeats its selection reports.
    connect(&view->Browser(), &THostBrowser::StateChanged, this, [this, view](int state) {
        if (AutomationHooks.HostState) AutomationHooks.HostState(view, state);
    });
    view->OnTransferred = [this](THostView* sender, const QStringList& files, int reason) {
        FilesTransferred(sender, files, reason);
    };
    WirePaneEvents(view);
    // The new list starts with the columns the current one has now.
    WriteColumnWidths(true, HostPane_->CurrentView());
    ReadColumnWidths(true, view);
    const int index = HostPane_->AddView(view, QStringLiteral("Disconnected"));
    view->SetViewStyle(
        Actions_.Server.Styles->checkedAction()
            ? TCustomView::TViewStyle(Actions_.Server.Styles->checkedAction()->data().toInt())
            : TCustomView::vsReport);
    Log_->ClearLines();
    HostPane_->SetCurrentIndex(index);
    if (Dialog_) ApplyDialogAction();
    HostViewStatus(view, hsIdle, 0);
    return view;
}

// What both kinds of pane tell the window alike.
void TfrmMain::WirePaneEvents(TCustomView* view) {
    view->OnTransfer = [this](TCustomView* source, TCustomView*& destination) {
        Transfer(source, destination);
    };
    view->OnPerformDoubleClick = [this](TCustomView* sender, int row) {
        DoubleClicked(sender, row);
    };
    view->OnContextMenu = [this](TCustomView* sender, const QPoint& pos) {
        ShowPaneMenu(sender, pos);
    };
    view->OnFileChanging = [this](TCustomView*, const QString&) { StopViewer(); };
    WatchSelection(view);
}

TLocalView* TfrmMain::CreateLocalTab(const QString& folder) {
    auto* view = new TLocalView;
    if (Questions_ != OwnQuestions_.get()) view->SetQuestions(Questions_);
    view->OnUpdateState = [this](TCustomView* sender, int, int n) { LocalViewStatus(sender, n); };
    view->OnFolderChanged = [this](TCustomView* sender) { LocalFolderChanged(sender); };
    WirePaneEvents(view);
    TCustomView* current = LocalPane_->CurrentView();
    view->SetViewStyle(current ? current->ViewStyle() : TCustomView::vsReport);
    WriteColumnWidths(false, current);
    ReadColumnWidths(false, view);
    view->ShowFolder(folder);
    LocalPane_->AddView(view, QDir(view->Folder()).dirName().isEmpty()
                                  ? view->Folder()
                                  : QDir(view->Folder()).dirName());
    if (LocalPane_->Count() == 1) LocalPane_->SetCurrentIndex(0);
    Actions_.Local.CloseView->setEnabled(LocalPane_->Count() > 1);
    return view;
}

bool TfrmMain::OpenLocalFolder(const QString& folder, bool activate) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) return false;
    const QString path = QDir::cleanPath(info.absoluteFilePath());
    TLocalView* current = CurrentLocalView();
    if (activate && current && QDir::cleanPath(current->Folder()) != path)
        return current->ShowFolder(path);
    for (int i = 0; i < LocalPane_->Count(); ++i) {
        if (QDir::cleanPath(LocalPane_->View(i)->Folder()) == path) {
            if (activate) LocalPane_->SetCurrentIndex(i);
            return true;
        }
    }
    TLocalView* view = CreateLocalTab(path);
    if (activate) LocalPane_->SetCurrentIndex(LocalPane_->IndexOf(view));
    return true;
}

void TfrmMain::HostTabChanged(int index) {
    auto* view = qobject_cast<THostView*>(HostPane_->View(index));
    if (!view) return;
    setWindowTitle(MainTitle(HostPane_->Caption(index)));
    for (int i = 0; i < HostPane_->Count(); ++i)
        if (auto* other = qobject_cast<THostView*>(HostPane_->View(i)); other && other != view)
            other->SetTreeCombo(nullptr);
    view->SetTreeCombo(HostPane_->Tree());
    Log_->ClearLines();
    for (const TLogEntry& entry : view->Browser().LogEntries())
        WriteLog(view, entry.Text, entry.Color);
    if (QAction* style = Actions_.Server.Styles->actions().value(int(view->ViewStyle())))
        style->setChecked(true);
    UpdateBusyCover();
    HostViewStatus(view, 0, view->SelectedCount());
    Actions_.Server.CloseView->setEnabled(HostPane_->Count() > 1);
}

void TfrmMain::LocalTabChanged(int index) {
    auto* view = qobject_cast<TLocalView*>(LocalPane_->View(index));
    if (!view) return;
    for (int i = 0; i < LocalPane_->Count(); ++i)
        if (auto* other = qobject_cast<TLocalView*>(LocalPane_->View(i)); other && other != view)
            other->SetTreeCombo(nullptr);
    view->SetTreeCombo(LocalPane_->Tree());
    if (QAction* style = Actions_.Local.Styles->actions().value(int(view->ViewStyle())))
        style->setChecked(true);
    LocalViewStatus(view, view->SelectedCount());
    Actions_.Local.CloseView->setEnabled(LocalPane_->Count() > 1);
}

void TfrmMain::LocalFolderChanged(TCustomView* view) {
    const int index = LocalPane_->IndexOf(view);
    if (index < 0) return;
    const QDir dir(view->Folder());
    LocalPane_->SetCaption(index, dir.dirName().isEmpty() ? view->Folder() : dir.dirName());
    if (view == LocalPane_->CurrentView()) Actions_.Local.Up->setEnabled(!dir.isRoot());
}

void TfrmMain::NewHostView() {
    THostView* current = CurrentHostView();
    if (!current || !current->Connected()) {
        Connect();
        return;
    }
    TFTPComponent* session = current->Session();
    const QString caption = HostPane_->Caption(HostPane_->CurrentIndex());
    const QString folder =
        current->Browser().PathText(current->Browser().ToServerPath(current->Browser().Folder()));
    ConnectLocation(session->Host, session->Port, QString::fromUtf8(session->User),
                    QString::fromUtf8(session->Password), folder, QString(), caption,
                    current->Browser().UsesFirewall, false, session->Security,
                    current->Browser().NameCharset.Name());
}

void TfrmMain::NewLocalView() {
    TLocalView* current = CurrentLocalView();
    TLocalView* view = CreateLocalTab(current ? current->Folder() : QDir::currentPath());
    LocalPane_->SetCurrentIndex(LocalPane_->IndexOf(view));
}

void TfrmMain::DetachHostView(THostView* view) {
    view->OnUpdateState = nullptr;
    view->OnLog = nullptr;
    view->OnTransfer = nullptr;
    view->OnTransferred = nullptr;
    view->OnPerformDoubleClick = nullptr;
    view->OnContextMenu = nullptr;
    view->OnFileChanging = nullptr;
    view->SetTreeCombo(nullptr);
}

void TfrmMain::CloseHostView() {
    if (HostPane_->Count() < 2) return;
    const int index = HostPane_->CurrentIndex();
    auto* view = qobject_cast<THostView*>(HostPane_->View(index));
    if (!view) return;
    const TTransferItems* queue = view->ExistingQueue();
    const int work = queue ? queue->StateCount(isPending) + queue->StateCount(isBusy) : 0;
    if (view->Connected() || work > 0) {
        QString text = QStringLiteral("Are you sure you want to close this view?");
        if (view->Connected())
            text +=
                QStringLiteral("\nIts connection to %1 will be closed.").arg(view->Session()->Host);
        if (work > 0)
            text += QStringLiteral("\n%1 transfers of its queue will be cancelled.").arg(work);
        if (!Questions_->AskYesNo(text)) return;
    }
    DetachHostView(view);
    HostPane_->ShowCover(false);
    HostPane_->TakeView(index);
    HostPane_->SetCurrentIndex(index > 0 ? index - 1 : 0);
    view->deleteLater();
}

void TfrmMain::CloseLocalView() {
    if (LocalPane_->Count() < 2) return;
    const int index = LocalPane_->CurrentIndex();
    TCustomView* view = LocalPane_->View(index);
    view->OnUpdateState = nullptr;
    view->OnFolderChanged = nullptr;
    LocalPane_->TakeView(index);
    LocalPane_->SetCurrentIndex(index > 0 ? index - 1 : LocalPane_->Count() - 1);
    view->deleteLater();
}

void TfrmMain::Transfer(TCustomView* source, TCustomView*& destination) {
    if (qobject_cast<THostView*>(source))
        destination = CurrentLocalView();
    else if (THostView* host = CurrentHostView(); host && host->Connected())
        destination = host;
}

void TfrmMain::SetViewStyle(bool host, int style) {
    TCustomView* view = host ? static_cast<TCustomView*>(CurrentHostView()) : CurrentLocalView();
    if (!view) return;
    view->SetViewStyle(TCustomView::TViewStyle(style));
    if (QAction* a =
            (host ? Actions_.Server.Styles : Actions_.Local.Styles)->actions().value(style))
        a->setChecked(true);
}

void TfrmMain::DoubleClicked(TCustomView* view, int row) {
    auto* host = qobject_cast<THostView*>(view);
    const int action = host ? Settings_.HostDblClk : Settings_.LocalDblClk;
    switch (action) {
    case 0:
        view->ShowProperties();
        break;
    case 1:
        if (host)
            host->ViewFiles(trView, CurrentLocalView());
        else
            RunViewer({view->ItemPath(row)}, view->Folder(), false);
        break;
    case 2:
        if (host)
            host->TransferTo(CurrentLocalView());
        else if (CurrentHostView() && CurrentHostView()->Connected())
            view->TransferTo(CurrentHostView());
        break;
    default:
        if (host)
            host->ViewFiles(trOpen, CurrentLocalView());
        else
            OpenWithDesktop(view->ItemPath(row));
        break;
    }
}

void TfrmMain::FilesTransferred(THostView*, const QStringList& files, int reason) {
    if (reason < trOpen) return;
    // Fetched for a program: removed when the program ends; only files of the private
    // folder, never one of the user's.
    const QString temporary = PrivateTempFolder();
    for (const QString& file : files)
        if (file.startsWith(temporary)) AddTemporaryFile(file);
    if (reason == trOpen && !files.isEmpty())
        OpenWithDesktop(files.first());
    else if (reason == trView)
        RunViewer(files, temporary);
    else if (reason == trEdit)
        RunEditor(files, temporary);
}
