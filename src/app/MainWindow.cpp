#include "app/MainWindow.h"

#include "app/Help.h"
#include "app/LogPane.h"
#include "app/SidePane.h"
#include "app/SoundEffectPlayer.h"
#include "platform/Registry.h"
#include "settings/SettingsFile.h"
#include "settings/windows/ApplicationHints.h"
#include "sites/windows/PasswordDialog.h"
#include "transfer/QueueFile.h"
#include "transfer/TransferItemsList.h"
#include "transfer/TransferMonitor.h"
#include "transfer/windows/TransferManagerWindow.h"
#include "transfer/windows/TransferProgressWindow.h"
#include "views/MainCommands.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/ViewQuestions.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QToolBar>

TfrmMain::TfrmMain(const TMainPaths& paths, QWidget* parent) : QMainWindow(parent), Paths_(paths) {
    setObjectName(QStringLiteral("frmMain"));
    Registry_ = Paths_.Registry.isEmpty() ? std::make_unique<TRegistry>()
                                          : std::make_unique<TRegistry>(Paths_.Registry);
    EditorCommand_ = Registry_->ReadString(QString::fromLatin1(RegEditorCommand), {}, {});
    Settings_ = ReadSettings(Paths_.Settings);
    ApplyEngineSettings(Settings_, GuiEngineTargets());
    TransferItemsList().SetSettings(&Settings_);

    OwnQuestions_ = std::make_unique<TViewQuestions>(this);
    Questions_ = OwnQuestions_.get();
    OwnSounds_ = std::make_unique<TSoundEffectPlayer>();
    Sounds_ = OwnSounds_.get();
    AskPassword = [this](const QString&) { return TdlgPassword::Ask(this); };

    BuildTransferWindows();

    BusyDelay_ = new QTimer(this);
    BusyDelay_->setSingleShot(true);
    // A folder that lists at once never blanks the list: the busy panel waits a moment.
    BusyDelay_->setInterval(400);
    connect(BusyDelay_, &QTimer::timeout, this, &TfrmMain::UpdateBusyCover);
    CommandsDelay_ = new QTimer(this);
    CommandsDelay_->setSingleShot(true);
    // A queue of small files turns the tab busy and idle hundreds of times a second: the
    // commands follow a moment later, once per burst, not once per file.
    CommandsDelay_->setInterval(30);
    connect(CommandsDelay_, &QTimer::timeout, this, &TfrmMain::UpdateHostCommands);

    BuildActions();
    BuildMenus();
    BuildToolbar();
    BuildLayout();
    Actions_.DisconnectTransfer->setEnabled(false);
    SetHelpContext(this, hcMainWindow);
    SetHelpContext(Progress_.get(), hcTransfers);
    SetHelpContext(Manager_.get(), hcTransfers);
    InstallHelpKey();

    for (int i = 0; i < 8; ++i)
        LastConnections_ << QString();
    const QString start = Settings_.DefaultDir.isEmpty() || !QDir(Settings_.DefaultDir).exists()
                              ? QDir::currentPath()
                              : Settings_.DefaultDir;
    CreateLocalTab(start);
    CreateHostTab();
    setWindowTitle(MainTitle(QStringLiteral("Disconnected")));
    ApplicationTitle_ = QStringLiteral("Tolvar");
    if (logicalDpiX() > 96) {
        QFont font = Toolbar_->font();
        font.setPointSize(7);
        Toolbar_->setFont(font);
    }
    Middle_->setSizes({480, 480});
    ReadStoredState();
}

void TfrmMain::BuildTransferWindows() {
    Monitor_ = std::make_unique<TTransferMonitor>(TransferItemsList());
    Progress_ = std::make_unique<TfrmTransfer>(*Monitor_);
    Progress_->SetPinned(Settings_.PinTransferWindow);
    Manager_ = std::make_unique<TfrmTransferMngr>(*Monitor_);
    Manager_->OnClosed = [this] { Actions_.TransferManager->setChecked(false); };
    TransferItemsList().SetWindows({this, Progress_.get(), Manager_.get()});
    Monitor_->OnStatus = [this](TTransferItems*, TTransferItem*, int status) {
        TransferStatus(status);
    };
    Monitor_->OnThreadError = [this](const QString& text) { WriteLog(nullptr, text, 0x0000FF); };
    Monitor_->OnSessionConnected = [this](bool connected) {
        Actions_.DisconnectTransfer->setEnabled(connected);
    };
}

TfrmMain::~TfrmMain() {
    ShutDown();
    TransferItemsList().SetWindows({});
    TransferItemsList().SetSettings(nullptr);
}

void TfrmMain::SetQuestions(IViewQuestions* questions) {
    Questions_ = questions ? questions : OwnQuestions_.get();
    Log_->SetQuestions(Questions_);
    for (TSidePane* pane : {LocalPane_, HostPane_})
        for (int i = 0; i < pane->Count(); ++i) {
            if (auto* host = qobject_cast<THostView*>(pane->View(i))) host->SetQuestions(questions);
            if (auto* local = qobject_cast<TLocalView*>(pane->View(i)))
                local->SetQuestions(questions);
        }
}

void TfrmMain::SetSoundPlayer(ISoundPlayer* sounds) {
    Sounds_ = sounds ? sounds : OwnSounds_.get();
}

THostView* TfrmMain::CurrentHostView() const {
    return HostPane_ ? qobject_cast<THostView*>(HostPane_->CurrentView()) : nullptr;
}

TLocalView* TfrmMain::CurrentLocalView() const {
    return LocalPane_ ? qobject_cast<TLocalView*>(LocalPane_->CurrentView()) : nullptr;
}

int TfrmMain::ConnectedViewCount() const {
    int count = 0;
    for (int i = 0; i < HostPane_->Count(); ++i)
        if (auto* view = qobject_cast<THostView*>(HostPane_->View(i)); view && view->Connected())
            ++count;
    return count;
}

void TfrmMain::WriteLog(THostView* sender, const QString& text, TColor color) {
    // Lines of background tabs are kept by their views and shown on a tab change.
    if (sender && sender != CurrentHostView()) return;
    Log_->AppendLine(text, color);
}

void TfrmMain::ShowMessage(const QString& text) {
    Questions_->ShowMessage(text);
}

void TfrmMain::SetStatusText(const QString& text) {
    StatusPanels_[0]->setText(text);
}

void TfrmMain::SetApplicationTitle(const QString& title) {
    ApplicationTitle_ = title;
    // The progress shows in the title only while the window is minimised, as a task
    // bar entry would show it.
    if (isMinimized()) setWindowTitle(title);
}

void TfrmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        setWindowTitle(MainTitle(HostPane_->Caption(HostPane_->CurrentIndex())));
    QMainWindow::changeEvent(event);
}

void TfrmMain::RefreshCommandState() {
    UpdateHostCommands();
}

bool TfrmMain::ShowTransferInfoChecked() const {
    return Actions_.ShowTransfers->isChecked();
}

IViewQuestions* TfrmMain::DialogQuestions() const {
    // Dialogs ask through the window's questions only when a test has replaced them.
    return Questions_ == OwnQuestions_.get() ? nullptr : Questions_;
}
