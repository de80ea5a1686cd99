// The main window's reactions to the panes' states: commands, sounds, the busy panel,
// and quitting.
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "listing/FtpUtils.h"
#include "platform/SoundPlayer.h"
#include "settings/SettingsFile.h"
#include "transfer/QueueFile.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferItem.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/TransferMonitor.h"
#include "transfer/windows/BusyAnimation.h"
#include "transfer/windows/TransferManagerWindow.h"
#include "transfer/windows/TransferProgressWindow.h"
#include "views/MainCommands.h"
#include "views/ViewQuestions.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/TreeCombo.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QSplitter>
#include <QThread>
#include <QTimer>

#include <cstdio>

void TfrmMain::HostViewStatus(TCustomView* sender, int status, int selected) {
    if (ShutDown_) return;
    auto* view = qobject_cast<THostView*>(sender);
    const int index = HostPane_->IndexOf(sender);
    switch (status) {
    case hsBusy:
        BusyViews_.insert(sender);
        break;
    case hsIdle:
        BusyViews_.remove(sender);
        break;
    case hsLoggedIn:
        // Named again by the connection: a reconnect in the same tab follows a
        // "Disconnected", whose notice may even arrive after the new connection began.
        if (view && index >= 0 && !view->ConnectionName.isEmpty()) {
            HostPane_->SetCaption(index, view->ConnectionName);
            if (view == CurrentHostView()) setWindowTitle(MainTitle(view->ConnectionName));
        }
        break;
    case hsDisconnected:
        BusyViews_.remove(sender);
        if (index >= 0) HostPane_->SetCaption(index, QStringLiteral("Disconnected"));
        if (sender == CurrentHostView()) setWindowTitle(MainTitle(QStringLiteral("Disconnected")));
        break;
    default:
        break;
    }
    if (status == hsLoggedIn || status == hsDisconnected)
        HostPane_->Tree()->setEnabled(ConnectedViewCount() > 0);
    PlaySound(status);
    if (!view || view != CurrentHostView()) return;
    if (Dialog_) RefillFileName();
    // The activity runs as long as any transfer does, whatever the tab does meanwhile.
    if (TransferItemsList().StateCount(isBusy) == 0 &&
        TransferItemsList().StateCount(isPending) == 0)
        Activity_->Stop();
    BusyAnimation_->SetFrame(0);
    if (BusyViews_.contains(view)) {
        if (!HostPane_->CoverShown() && !BusyDelay_->isActive()) BusyDelay_->start();
    } else {
        UpdateBusyCover();
    }
    Q_UNUSED(selected);
    // Only the busy-idle flicker of a queue waits; anything else shows at once.
    if (status != hsBusy && status != hsIdle) {
        CommandsDelay_->stop();
        UpdateHostCommands();
    } else if (!CommandsDelay_->isActive()) {
        CommandsDelay_->start();
    }
}

void TfrmMain::UpdateBusyCover() {
    THostView* view = CurrentHostView();
    const bool busy = view && BusyViews_.contains(view);
    if (!busy) BusyDelay_->stop();
    HostPane_->ShowCover(busy);
    if (busy)
        BusyAnimation_->Start();
    else
        BusyAnimation_->Stop();
}

void TfrmMain::UpdateHostCommands() {
    THostView* view = CurrentHostView();
    if (!view) return;
    THostCommandInput in;
    in.Connected = view->Connected();
    in.Busy = BusyViews_.contains(view);
    in.Active = in.Busy || view->Session()->Busy();
    in.Selected = view->SelectedCount();
    const QByteArray folder = view->Browser().Folder();
    in.AtRoot = folder.isEmpty() || folder == "/";
    const THostCommandStates s = HostCommandStates(in);
    const TPaneActions& server = Actions_.Server;
    Actions_.Stop->setEnabled(s.Stop);
    Actions_.Disconnect->setEnabled(s.Disconnect);
    Actions_.Download->setEnabled(s.Download);
    server.Erase->setEnabled(s.Delete);
    server.Rename->setEnabled(s.Rename);
    for (QAction* action : {server.NewFolder, server.Refresh, server.Views})
        action->setEnabled(s.NewFolder);
    server.EditWith->setEnabled(s.EditWith);
    server.Styles->setEnabled(s.ViewStyle);
    server.Mask->setEnabled(s.FileMask);
    Actions_.CompareFolders->setEnabled(s.CompareFolders);
    server.ChangeFolder->setEnabled(s.ChangeFolder);
    server.Up->setEnabled(s.UpOneLevel);
    server.Properties->setEnabled(s.Properties);
    UpdateHostPopup(s);
    if (TLocalView* local = CurrentLocalView()) LocalViewStatus(local, local->SelectedCount());
}

void TfrmMain::LocalViewStatus(TCustomView* sender, int selected) {
    if (ShutDown_ || sender != CurrentLocalView()) return;
    THostView* host = CurrentHostView();
    const TLocalCommandStates s = LocalCommandStates(selected, host && host->Connected());
    Actions_.Local.Erase->setEnabled(s.Delete);
    Actions_.Local.Rename->setEnabled(s.Rename);
    Actions_.Upload->setEnabled(s.Upload);
    Actions_.Local.Properties->setEnabled(s.Properties);
    UpdateEditWith(false);
}

void TfrmMain::PlaySound(int status) {
    const int sound = StatusSound(status);
    if (sound >= 0 && sound < Settings_.Sounds.size() && !Settings_.Sounds[sound].isEmpty())
        Sounds_->Play(Settings_.Sounds[sound]);
}

namespace {

// The transfers that failed in this run of the queues, so that a failure is seen without
// the manager open: "1 failed" while they run, "2 of 11 files failed" once they end.
void ShowFailedTransfers(QLabel* panel, const TTransferMonitor& monitor, bool ended) {
    const int failed = monitor.RunFailed();
    panel->setText(failed <= 0 ? QString()
                   : ended     ? FailedRunText(failed, monitor.RunEnded())
                               : QStringLiteral("%1 failed").arg(failed));
    panel->setToolTip(failed > 0
                          ? QStringLiteral("Transfers that failed: the Transfer Manager lists them")
                          : QString());
}

} // namespace

void TfrmMain::TransferStatus(int status) {
    if (Quitting_) return;
    ShowFailedTransfers(StatusPanels_[2], *Monitor_, status == TTransferMonitor::StatusAllEnded);
    if (status == TTransferMonitor::StatusItemStarted) {
        Activity_->Start();
        if (!CommandsDelay_->isActive()) CommandsDelay_->start();
        return;
    }
    PlaySound(status);
    if (status == TTransferMonitor::StatusAllEnded) {
        Activity_->Stop();
        if (ExitWhenDone_) QTimer::singleShot(0, this, &QWidget::close);
        if (AutomationHooks.TransfersEnded) AutomationHooks.TransfersEnded();
    }
}

bool TfrmMain::ConfirmQuit() {
    int connections = ConnectedViewCount();
    // A queue's own session counts only while it works: an idle one just waits for the
    // next item and ends with the program.
    for (TFTPComponent* session : TFTPComponent::LiveComponents())
        if (!session->HasOwner() && session->Connected() && session->Busy()) ++connections;
    const QString question =
        QuitQuestion(connections, UnfinishedTransfersText(TransferItemsList()));
    return question.isEmpty() || Questions_->AskYesNo(question);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // The dialog's client decides when it ends: no question.
    if (!ShutDown_ && !ExitWhenDone_ && !Dialog_ && !ConfirmQuit()) {
        event->ignore();
        return;
    }
    ShutDown();
    event->accept();
    // The transfer windows are windows of their own and would keep the program running
    // (as would any other top-level window): quitting closes them and ends the loop.
    Progress_->close();
    Manager_->close();
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void TfrmMain::ShutDown() {
    if (ShutDown_) return;
    ShutDown_ = Quitting_ = true;
    // No view may call back into a window that is going away.
    for (int i = 0; i < HostPane_->Count(); ++i)
        if (auto* view = qobject_cast<THostView*>(HostPane_->View(i))) DetachHostView(view);
    for (int i = 0; i < LocalPane_->Count(); ++i) {
        LocalPane_->View(i)->OnUpdateState = nullptr;
        LocalPane_->View(i)->OnFolderChanged = nullptr;
        LocalPane_->View(i)->OnFileChanging = nullptr;
    }
    Monitor_->OnStatus = nullptr;
    Monitor_->OnThreadError = nullptr;
    Monitor_->OnSessionConnected = nullptr;
    // A dialog's client is promised that its connections end with QUIT.
    EngineSettings().QuickDisconnect = !Dialog_;
    // What is still pending or running is kept for the next start before it is cancelled.
    QueueStore_.reset();
    // Every queue stops, not only the one the progress window shows.
    TTransferItemsList& list = TransferItemsList();
    for (int q = 0; q < list.Count(); ++q)
        for (int i = 0; i < list.Queue(q)->Count(); ++i)
            if (TTransferItem* item = list.Queue(q)->Item(i); item->State() <= isBusy)
                CancelTransferItem(*item);
    // The running transfers end their aborted commands first, so that each file is closed
    // whole up to where it stopped; a server that does not answer costs a few seconds.
    QElapsedTimer clock;
    clock.start();
    while (list.StateCount(isBusy) > 0 && clock.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(10);
    }
    list.DisconnectAll();
    QApplication::processEvents();
    const QList<TFTPComponent*> sessions = TFTPComponent::LiveComponents();
    for (auto it = sessions.rbegin(); it != sessions.rend(); ++it)
        (*it)->Disconnect();
    QApplication::processEvents();
    // The sessions go with the window: a dialog's client is promised their QUIT first.
    clock.restart();
    auto loggingOut = [] {
        for (TFTPComponent* session : TFTPComponent::LiveComponents())
            if (session->Connected() || session->Busy()) return true;
        return false;
    };
    while (Dialog_ && loggingOut() && clock.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(10);
    }
    // A dialog run for another program leaves the user's own settings and placement alone.
    if (!Dialog_) {
        Settings_.PinTransferWindow = Settings_.PinTransferWindow || Progress_->Pinned();
        QString error;
        if (!WriteSettings(Settings_, Paths_.Settings, &error))
            std::fprintf(stderr, "tolvar: %s\n", qPrintable(error));
        WriteStoredState();
    }
    DeleteTemporaryFiles();
}

void TfrmMain::ToggleMaximizeHost(bool maximized) {
    LocalPane_->setVisible(!maximized);
    Middle_->handle(1)->setVisible(!maximized);
}
