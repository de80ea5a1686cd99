#include "RemoteFolderSource.h"

#include "engine/EngineSettings.h"
#include "listing/FtpUtils.h"
#include "settings/SessionLogIn.h"
#include "views/HostBrowser.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {

// Longer than any wait the engine itself allows, so that the engine's own time-out
// reports first; capped because "no limit" must not hold a command line for ever.
int WaitLimitMs(bool logIn) {
    const TEngineSettings& engine = EngineSettings();
    const int64_t timeOut = engine.TimeOut.load() > 0 ? engine.TimeOut.load() : 600000;
    const int64_t attempts = logIn ? std::max<int64_t>(engine.RetryCount.load(), 1) : 1;
    const int64_t limit = attempts * (timeOut + int64_t(engine.RetryDelay.load()) * 1000) + 15000;
    return static_cast<int>(std::min<int64_t>(limit, 30 * 60 * 1000));
}

} // namespace

TWalkEntry WalkEntryFromListing(const TRemoteListEntry& e) {
    TWalkEntry entry;
    entry.IsLink = e.Item.Attributes & raLink;
    entry.Name = entry.IsLink ? LinkName(e.Name) : e.Name;
    entry.IsFolder = (e.Item.Attributes & raFolder) ||
                     (entry.IsLink && THostBrowser::LinkLooksLikeFolder(e.Name));
    entry.Size = entry.IsFolder ? 0 : e.Item.Size;
    entry.Date = e.Item.Date;
    return entry;
}

TRemoteFolderSource::TRemoteFolderSource(const TSplitURL& url, const TToolContext& context,
                                         const TSessionSecurity& security, bool passive,
                                         bool listHidden)
    // An owned session, as a pane's: it probes whether the server resumes.
    : Ftp_(std::make_unique<TFTPComponent>(&Owner_)), UseFirewall_(context.UseFirewall),
      ListArgument_(listHidden ? QByteArray("-latr") : QByteArray()) {
    Ftp_->Host = url.Host;
    Ftp_->Port = url.Port;
    Ftp_->User = url.User.toUtf8();
    Ftp_->Password = url.Password.toUtf8();
    Ftp_->Security = security;
    if (UseFirewall_) SetFirewallFields(*Ftp_, context.Settings);
    Ftp_->SetPassive(passive);
    Ftp_->SetServerType(0);
    Ftp_->OnProcessList = [this](TFTPComponent*, const QByteArray&, TRemoteItemList items,
                                 const TNotUnderstoodLines&) { Items_ = std::move(items); };
    Ftp_->OnError = [this](TFTPComponent*, int code, const QString& description) {
        Problem_ = QStringLiteral("%1 [%2]").arg(description).arg(code);
    };
    Ftp_->OnCommandResult = [this](TFTPComponent*, const TCommandCompletedEventData& result) {
        const bool awaited = AwaitedId_ != 0 ? result.Id == AwaitedId_ && result.Final
                                             : result.Command == AwaitedCommand_;
        if (!awaited || Done_) return;
        Done_ = true;
        Ok_ = result.Success && !result.Aborted;
    };
    Ftp_->OnDisconnect = [this](TFTPComponent*) { Done_ = true; };
    Ftp_->OnUntrustedCertificate = [this](TFTPComponent*, const TCertificateInfo& certificate) {
        CertificateProblem_ = UntrustedCertificateText(certificate);
    };
    Ftp_->OnLog = [this](TFTPComponent*, const QString& line, TColor) {
        if (OnLog) OnLog(line);
    };
}

TRemoteFolderSource::~TRemoteFolderSource() {
    LogOut();
    static_cast<TFTPHandlers&>(*Ftp_) = TFTPHandlers();
}

void TRemoteFolderSource::Wait(const bool& done) {
    QEventLoop loop;
    QTimer poll;
    // Notifications arrive through the event loop; a short poll sees each of them.
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done) loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(5);
    limit.start(WaitLimitMs(AwaitedCommand_ != TFTPCommand::List));
    if (!done) loop.exec();
}

QString TRemoteFolderSource::LogIn() {
    AwaitedCommand_ = UseFirewall_ ? TFTPCommand::FirewallLogin : TFTPCommand::Login;
    AwaitedId_ = 0;
    Done_ = Ok_ = false;
    Problem_.clear();
    if (UseFirewall_)
        Ftp_->FirewallLogin();
    else
        Ftp_->Login();
    Wait(Done_);
    if (Ok_ && Ftp_->LoggedIn()) return QString();
    if (!CertificateProblem_.isEmpty()) return CertificateProblem_;
    return Problem_.isEmpty() ? QStringLiteral("could not log in to ") + Ftp_->Host : Problem_;
}

void TRemoteFolderSource::LogOut() {
    if (!Ftp_->LoggedIn()) return;
    AwaitedCommand_ = TFTPCommand::Logout;
    AwaitedId_ = 0;
    Done_ = false;
    Ftp_->Disconnect();
    Wait(Done_);
}

bool TRemoteFolderSource::List(const QByteArray& folder, std::vector<TWalkEntry>& entries) {
    if (!Ftp_->LoggedIn()) return false;
    AwaitedCommand_ = TFTPCommand::List;
    Done_ = Ok_ = false;
    Items_.clear();
    AwaitedId_ = Ftp_->List(folder, ListArgument_, folder);
    if (AwaitedId_ == 0) return false;
    Wait(Done_);
    AwaitedId_ = 0;
    if (!Ok_) return false;
    entries.clear();
    for (const TRemoteListEntry& item : Items_) {
        const TWalkEntry entry = WalkEntryFromListing(item);
        // A listing names only what lies inside; anything else would lead outside it.
        if (entry.Name.isEmpty() || entry.Name == "." || entry.Name == ".." ||
            entry.Name.contains('/'))
            continue;
        entries.push_back(entry);
    }
    return true;
}
