#include "engine/FtpComponent.h"

#include "engine/EngineSettings.h"
#include "engine/FtpThread.h"
#include "engine/SessionShared.h"
#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"

#include <QDebug>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <exception>

namespace {
QList<TFTPComponent*> gComponents; // window thread only, in order of creation
QTimer* gKeepAliveTimer = nullptr;
int gKeepAliveInterval = 10000;

QByteArray Number(int64_t value) {
    return QByteArray::number(static_cast<qlonglong>(value));
}
QByteArray LocalName(const QString& path) {
    return QFile::encodeName(path);
}
} // namespace

TFTPComponent::TFTPComponent(QObject* owner)
    : QObject(owner), Shared_(std::make_shared<TSessionShared>(owner != nullptr)),
      Alive_(std::make_shared<bool>(true)) {
    DebugLog(QStringLiteral("Adding new FTP Component..."));
    Notifier_ = new QSocketNotifier(Shared_->Channel.Fd(), QSocketNotifier::Read);
    connect(Notifier_, &QSocketNotifier::activated, this, [this] { DeliverPending(); });
    TFTPThread::Start(Shared_);
    gComponents.append(this);
    if (gComponents.size() == 1) StartKeepAliveTimer();
    DebugLogFmt("Added new FTP Component, Count = %d", static_cast<int>(gComponents.size()));
}

TFTPComponent::~TFTPComponent() {
    DebugLog(QStringLiteral("Destroying FTP Component..."));
    *Alive_ = false;
    const bool wasFirst = !gComponents.isEmpty() && gComponents.first() == this;
    if (wasFirst && gKeepAliveTimer) {
        delete gKeepAliveTimer;
        gKeepAliveTimer = nullptr;
    }
    // The worker leaves after the command it runs, which is aborted so that a silent
    // server cannot keep the thread and its sockets for a whole time-out; nothing it
    // posts from now on arrives.
    Shared_->Queue.Terminate();
    Shared_->Aborted = true;
    Shared_->Waker.Wake();
    Shared_->Channel.Close();
    if (Delivering_) {
        Notifier_->setEnabled(false);
        Notifier_->deleteLater();
    } else {
        delete Notifier_;
    }
    gComponents.removeOne(this);
    if (!gComponents.isEmpty()) {
        DebugLogFmt("Destroyed FTP Component, Count = %d", static_cast<int>(gComponents.size()));
        if (wasFirst) gComponents.first()->StartKeepAliveTimer();
    } else {
        DebugLog(QStringLiteral("Destroyed FTP Component, Count = 0"));
    }
}

void TFTPComponent::StartKeepAliveTimer() {
    gKeepAliveTimer = new QTimer(this);
    gKeepAliveTimer->setInterval(gKeepAliveInterval);
    QObject::connect(gKeepAliveTimer, &QTimer::timeout, &TFTPComponent::KeepAliveTick);
    gKeepAliveTimer->start();
}

void TFTPComponent::SetKeepAliveInterval(int ms) {
    gKeepAliveInterval = ms;
    if (gKeepAliveTimer) gKeepAliveTimer->setInterval(ms);
}

void TFTPComponent::KeepAliveTick() {
    if (!EngineSettings().KeepAlive) return;
    const QList<TFTPComponent*> components = gComponents;
    for (TFTPComponent* c : components) {
        c->IdleSeconds_ += 10;
        if (c->IdleSeconds_ > 30 && c->Connected() && c->LoggedIn() && !c->Busy()) c->NoOp();
    }
}

const QList<TFTPComponent*>& TFTPComponent::LiveComponents() {
    return gComponents;
}

bool TFTPComponent::WaitForWorkers(int timeoutMs) {
    return TFTPThread::WaitForAll(timeoutMs);
}

bool TFTPComponent::Passive() const {
    return Shared_->Passive;
}
void TFTPComponent::SetPassive(bool on) {
    Shared_->Passive = on;
}
bool TFTPComponent::ResumeSupported() const {
    return Shared_->ResumeSupported;
}
void TFTPComponent::SetResumeSupported(bool on) {
    Shared_->ResumeSupported = on;
}
uint8_t TFTPComponent::ServerType() const {
    return Shared_->ServerType;
}
void TFTPComponent::SetServerType(uint8_t type) {
    Shared_->ServerType = type;
}
bool TFTPComponent::HasOwner() const {
    return Shared_->HasOwner;
}

bool TFTPComponent::Connected() const {
    return Shared_->ThreadRunning && Shared_->ControlOpen;
}
bool TFTPComponent::Busy() const {
    return Shared_->ThreadRunning && Shared_->Busy;
}

uint64_t TFTPComponent::AddCommand(TFTPCommand command, const QList<QByteArray>& params) {
    IdleSeconds_ = 0;
    if (!Shared_->ThreadRunning) return 0;
    Shared_->SetHost(Host);
    auto item = std::make_unique<TCommandItem>();
    item->Command = command;
    item->Id = ++NextCommandId_;
    if (!(params.size() == 1 && params.first().isEmpty())) item->Params = params;
    if (DebugLogEnabled()) {
        QByteArray shown = "<none>";
        if (!item->Params.isEmpty()) {
            QList<QByteArray> masked = item->Params;
            // Passwords stay out of the debug log.
            if (command == TFTPCommand::Login && masked.size() >= 4) masked[3] = "<pass>";
            if (command == TFTPCommand::FirewallLogin) {
                if (masked.size() >= 5) masked[4] = "<fwpass>";
                if (masked.size() >= 9) masked[8] = "<pass>";
            }
            shown = DisplayText(masked.join(',')).toUtf8();
        }
        DebugLogFmt("Host %s: Adding Command \"%s\", Parameters = %s", Host.toUtf8().constData(),
                    CommandDisplayName(command), shown.constData());
    }
    const uint64_t id = item->Id;
    Shared_->Queue.Push(std::move(item));
    return id;
}

void TFTPComponent::Login() {
    AddCommand(TFTPCommand::Login,
               {Host.toUtf8(), Number(Port), User, Password, Account,
                Number(static_cast<int>(Security.Encryption)),
                Security.TrustedFingerprints.join(' '), Security.AcceptAnyCertificate ? "1" : ""});
}

void TFTPComponent::FirewallLogin() {
    AddCommand(TFTPCommand::FirewallLogin,
               {FirewallHost.toUtf8(), Number(FirewallPort), Number(FirewallType), FirewallUser,
                FirewallPassword, Host.toUtf8(), Number(Port), User, Password, Account,
                Number(static_cast<int>(Security.Encryption))});
}

void TFTPComponent::Disconnect() {
    if (!Shared_->ThreadRunning) return;
    Shared_->Queue.Clear();
    if (Busy()) Abort();
    // The logged-in flag follows the worker's notifications and may lag behind it: a
    // connection still open is closed too, or it would outlive the disconnect.
    if (LoggedIn() || Connected()) AddCommand(TFTPCommand::Logout, {});
}

void TFTPComponent::Abort() {
    if (!Shared_->ThreadRunning) return;
    DebugLogFmt("Host %s: Abort", Host.toUtf8().constData());
    Shared_->Queue.DropAll();
    Shared_->Aborted = true;
    Shared_->Waker.Wake();
}

uint64_t TFTPComponent::GetCurrentFolder() {
    return AddCommand(TFTPCommand::GetCurrentFolder, {});
}
uint64_t TFTPComponent::SetCurrentFolder(const QByteArray& folder) {
    return AddCommand(TFTPCommand::SetCurrentFolder, {folder});
}
uint64_t TFTPComponent::List(const QByteArray& folder, const QByteArray& listingArgument,
                             const QByteArray& serverFolder) {
    QList<QByteArray> params{folder, listingArgument};
    if (!serverFolder.isEmpty()) params << serverFolder;
    return AddCommand(TFTPCommand::List, params);
}

uint64_t TFTPComponent::Download(const QByteArray& remoteFolder, const QByteArray& remoteName,
                                 const QString& localFile, int transferType) {
    AddCommand(TFTPCommand::SetType, {Number(transferType)});
    return AddCommand(TFTPCommand::Download, {LocalName(localFile), remoteName, remoteFolder});
}

uint64_t TFTPComponent::Upload(const QString& localFile, const QByteArray& remoteFolder,
                               const QByteArray& remoteName, int transferType, int64_t resume) {
    AddCommand(TFTPCommand::SetType, {Number(transferType)});
    return AddCommand(TFTPCommand::Upload,
                      {LocalName(localFile), remoteName, remoteFolder, Number(resume)});
}

uint64_t TFTPComponent::ResumeDownload(const QByteArray& remoteFolder, const QByteArray& remoteName,
                                       const QString& localFile, int transferType,
                                       int64_t knownSize, int64_t resume, bool serverTime) {
    AddCommand(TFTPCommand::SetType, {Number(transferType)});
    QList<QByteArray> params{LocalName(localFile), remoteName, remoteFolder, Number(knownSize),
                             Number(resume)};
    if (serverTime) params << "1";
    return AddCommand(TFTPCommand::ResumeDownload, params);
}

uint64_t TFTPComponent::ResumeUpload(const QString& localFile, const QByteArray& remoteFolder,
                                     const QByteArray& remoteName, int transferType,
                                     int64_t resume) {
    AddCommand(TFTPCommand::SetType, {Number(transferType)});
    return AddCommand(TFTPCommand::ResumeUpload,
                      {LocalName(localFile), remoteName, remoteFolder, Number(resume)});
}

uint64_t TFTPComponent::Delete(const QByteArray& name) {
    return AddCommand(TFTPCommand::Delete, {name});
}
uint64_t TFTPComponent::Rename(const QByteArray& oldName, const QByteArray& newName) {
    return AddCommand(TFTPCommand::Rename, {oldName, newName});
}
uint64_t TFTPComponent::CreateFolder(const QByteArray& name) {
    return AddCommand(TFTPCommand::CreateFolder, {name});
}
uint64_t TFTPComponent::RemoveFolder(const QByteArray& name) {
    return AddCommand(TFTPCommand::RemoveFolder, {name});
}
void TFTPComponent::NoOp() {
    AddCommand(TFTPCommand::NoOp, {});
}
uint64_t TFTPComponent::GetHTTP(const QString& url, const QString& localFile) {
    return AddCommand(TFTPCommand::GetHTTP, {url.toUtf8(), LocalName(localFile)});
}

QByteArray TFTPComponent::ModeDigits(uint16_t attributes) {
    // Bits 2..10 are owner rwx, group rwx, others rwx.
    static const int Values[9] = {400, 200, 100, 40, 20, 10, 4, 2, 1};
    int mode = 0;
    for (int bit = 0; bit < 9; ++bit)
        if (attributes & (1u << (bit + 2))) mode += Values[bit];
    return QByteArray::number(mode);
}

uint64_t TFTPComponent::ChangeAttributes(const QByteArray& remoteName, uint16_t attributes) {
    return AddCommand(TFTPCommand::ChangeAttributes, {ModeDigits(attributes), remoteName});
}

void TFTPComponent::DeliverPending() {
    const std::shared_ptr<bool> alive = Alive_;
    Delivering_ = true;
    TNotification notification;
    // One at a time: a handler may run a nested event loop, which then goes on with
    // the next notification in order.
    while (*alive && Shared_->Channel.Take(notification)) {
        Deliver(notification);
        notification = TNotification();
    }
    if (*alive) Delivering_ = false;
}

void TFTPComponent::Deliver(TNotification& n) {
    using C = TNotificationCode;
    if (n.Code == C::LoggedIn)
        LoggedIn_ = true;
    else if (n.Code == C::Disconnect)
        LoggedIn_ = false;
    try {
        switch (n.Code) {
        case C::Abort:
            if (OnAbort) OnAbort(this);
            break;
        case C::CantLogIn:
            if (OnCantLogIn) OnCantLogIn(this);
            break;
        case C::Connect:
            if (OnConnect) OnConnect(this);
            break;
        case C::Disconnect:
            if (OnDisconnect) OnDisconnect(this);
            break;
        case C::LoggedIn:
            if (OnLoggedIn) OnLoggedIn(this);
            break;
        case C::CommandCompleted: {
            const auto& d = std::get<TCommandCompletedEventData>(n.Payload);
            // The first handler may destroy the component.
            const std::shared_ptr<bool> alive = Alive_;
            if (OnCommandCompleted) OnCommandCompleted(this, d.Command, d.Success, d.Aborted);
            if (*alive && OnCommandResult) OnCommandResult(this, d);
            break;
        }
        case C::DeleteSuccessful:
            if (OnDeleteSuccessful)
                OnDeleteSuccessful(this, std::get<TDeleteSuccessfulEventData>(n.Payload).FileName);
            break;
        case C::Error: {
            const auto& d = std::get<TErrorData>(n.Payload);
            if (OnError) OnError(this, d.Code, d.Description);
            break;
        }
        case C::FolderReply: {
            const auto& d = std::get<TFolderEventData>(n.Payload);
            if (OnFolderReply) OnFolderReply(this, d.Folder, d.ReplyType, d.Result);
            break;
        }
        case C::Log: {
            const auto& d = std::get<TLogData>(n.Payload);
            if (OnLog) OnLog(this, d.Message, d.Color);
            break;
        }
        case C::Progress: {
            const auto& d = std::get<TProgressData>(n.Payload);
            if (OnProgress) OnProgress(this, d.Stage, d.IsFile, d.Bytes);
            break;
        }
        case C::ProcessList: {
            auto& d = std::get<TProcessListData>(n.Payload);
            if (OnProcessList)
                OnProcessList(this, d.Folder, d.Items ? std::move(*d.Items) : TRemoteItemList(),
                              d.NotUnderstood);
            break;
        }
        case C::RenameSuccessful: {
            const auto& d = std::get<TRenameSuccessfulEventData>(n.Payload);
            if (OnRenameSuccessful) OnRenameSuccessful(this, d.OldName, d.NewName);
            break;
        }
        case C::UntrustedCertificate:
            if (OnUntrustedCertificate)
                OnUntrustedCertificate(this, std::get<TCertificateInfo>(n.Payload));
            break;
        case C::UpdateFileSize: {
            const auto& d = std::get<TUpdateFileSizeEventData>(n.Payload);
            if (OnUpdateFileSize) OnUpdateFileSize(this, d.FileName, d.NewSize);
            break;
        }
        }
    } catch (const std::exception& e) {
        qWarning("Unhandled exception in a session handler: %s", e.what());
    }
}
