#include "views/HostBrowser.h"

#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"
#include "settings/SessionLogIn.h"
#include "settings/Settings.h"
#include "settings/TrustedCertificates.h"
#include "views/ViewFormat.h"
#include "views/ViewQuestions.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>

THostBrowser::THostBrowser(QObject* parent) : QObject(parent) {
    DebugLog(QStringLiteral("Creating Host View..."));
    Session_ = new TFTPComponent(this);
    HookSession();
}

THostBrowser::~THostBrowser() {
    // The session's handlers capture this object.
    static_cast<TFTPHandlers&>(*Session_) = TFTPHandlers();
    DebugLog(QStringLiteral("Destroyed Host View"));
}

const TSettings& THostBrowser::Settings() const {
    static const TSettings defaults = DefaultSettings();
    return Settings_ ? *Settings_ : defaults;
}

void THostBrowser::HookSession() {
    TFTPComponent* s = Session_;
    s->OnAbort = [this](TFTPComponent*) {
        SetState(hsAborted);
        EndAwait();
    };
    s->OnCantLogIn = [this](TFTPComponent*) { SetState(hsCantLogIn); };
    s->OnConnect = [this](TFTPComponent*) { SetState(hsConnected); };
    s->OnLoggedIn = [this](TFTPComponent*) { OnLoggedIn(); };
    s->OnFolderReply = [this](TFTPComponent*, const QByteArray& folder, uint8_t type, bool ok) {
        OnFolderReply(folder, type, ok);
    };
    s->OnProcessList = [this](TFTPComponent*, const QByteArray& folder, TRemoteItemList items,
                              const TNotUnderstoodLines& notUnderstood) {
        OnProcessList(folder, std::move(items), notUnderstood);
    };
    s->OnRenameSuccessful = [this](TFTPComponent*, const QByteArray& a, const QByteArray& b) {
        OnRenameSuccessful(a, b);
    };
    s->OnLog = [this](TFTPComponent*, const QString& text, TColor color) { OnLog(text, color); };
    s->OnError = [this](TFTPComponent*, int, const QString& description) {
        SetState(hsIdle);
        SetState(hsError);
        AppendLog(description, EngineSettings().LogColorError);
    };
    s->OnProgress = [this](TFTPComponent*, uint8_t stage, bool isFile, int64_t bytes) {
        OnProgress(stage, isFile, bytes);
    };
    s->OnDisconnect = [this](TFTPComponent*) { OnDisconnect(); };
    s->OnCommandResult = [this](TFTPComponent*, const TCommandCompletedEventData& result) {
        OnCommandResult(result);
    };
    s->OnUntrustedCertificate = [this](TFTPComponent*, const TCertificateInfo& certificate) {
        Certificate_ = certificate;
    };
}

bool THostBrowser::Connected() const {
    return Session_->Connected();
}

QStringList THostBrowser::SplitMasks(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
    return text.trimmed().toLower().split(separators, Qt::SkipEmptyParts);
}

bool THostBrowser::LinkLooksLikeFolder(const QByteArray& name) {
    const QByteArray target = LinkTarget(name);
    for (qsizetype i = target.size() - 1; i >= 0; --i) {
        if (target.at(i) == '.') return false;
        if (target.at(i) == '/') return true;
    }
    return true;
}

void THostBrowser::Connect(const QString& host, int port, const QString& selectMasks,
                           const QString& initialFolder, const QByteArray& user,
                           const QByteArray& password, const QByteArray& account,
                           TSessionSecurity security) {
    // The log of the last connection stays until now, so that the reason it dropped
    // can still be read.
    Log_.clear();
    // A new connection, perhaps to another server: nothing of the last one is shown.
    Cache_.clear();
    Known_.clear();
    NotUnderstood_.clear();
    LoggedNotUnderstood_.clear();
    Shown_.reset();
    Q_EMIT ListCleared();
    Form_ = TRemotePathForm();
    Folder_ = PathBytes(initialFolder);
    if (!Folder_.isEmpty()) Folder_ = Key(Folder_);
    LastGoodFolder_.clear();
    SelectMasks_ = SplitMasks(selectMasks);
    SelectFolder_ = Folder_;
    if (Session_->Connected()) Session_->Disconnect();
    Session_->Host = host;
    Session_->Port = port;
    Session_->User = user;
    Session_->Password = password;
    Session_->Account = account;
    if (!CertificatesFile.isEmpty())
        for (const QByteArray& fingerprint :
             TTrustedCertificates(CertificatesFile).Fingerprints(host, port))
            if (!security.TrustedFingerprints.contains(fingerprint))
                security.TrustedFingerprints.append(fingerprint);
    Session_->Security = security;
    Certificate_.reset();
    ++Connections_;
    Session_->SetServerType(0);
    Session_->SetPassive(Settings().UsePASV);
    QueueLogIn(*Session_, Settings(), UsesFirewall);
    SetState(hsBusy);
}

void THostBrowser::Disconnect() {
    Session_->Disconnect();
}

void THostBrowser::Stop() {
    EndAwait();
    BatchQueue_.clear();
    DeleteStopped_ = true;
    Session_->Abort();
    // The pane waits for nothing any more (the abort drops what was queued), so it stops
    // looking busy now, back on the folder it showed, rather than when, or whether, a
    // reply for the aborted command comes.
    if (const TListingPtr shown = CachedListing(Folder_); shown && Session_->Connected())
        ShowCached(Folder_, shown);
    else
        SetState(hsIdle);
}

QByteArray THostBrowser::ToServerPath(const QByteArray& viewPath) const {
    return ::ToServerPath(viewPath, Form_);
}

QByteArray THostBrowser::ItemPath(const QByteArray& name) const {
    return ToServerPath(Folder_) + name;
}

QString THostBrowser::ItemURL(const QByteArray& name) const {
    return ServerPathURL(ItemPath(name));
}

QString THostBrowser::ServerPathURL(const QByteArray& serverPath) const {
    return ComposeItemURL(Session_->Host, Session_->Port, QString::fromUtf8(Session_->User),
                          QString::fromUtf8(Session_->Password), serverPath);
}

TListingPtr THostBrowser::CachedListing(const QByteArray& path) const {
    const auto it = Cache_.find(Key(path));
    return it == Cache_.end() ? nullptr : it->second;
}

bool THostBrowser::IsCached(const QByteArray& path) const {
    return Cache_.count(Key(path)) > 0;
}

QString THostBrowser::GetMask() const {
    return Masks_.isEmpty() ? QStringLiteral("*.*") : Masks_.join(QLatin1Char(';'));
}

void THostBrowser::SetMask(const QString& text) {
    if (text.trimmed().toLower() == GetMask()) return;
    const QString mask = text.trimmed().toLower();
    Masks_ = mask == QLatin1String("*.*") ? QStringList() : SplitMasks(mask);
    Q_EMIT MaskChanged();
}

QStringList THostBrowser::TakeSelectMasks() {
    QStringList masks;
    if (!SelectMasks_.isEmpty() && SelectFolder_ == Folder_) masks = SelectMasks_;
    SelectMasks_.clear();
    SelectFolder_.clear();
    return masks;
}

void THostBrowser::SetState(int state) {
    Q_EMIT StateChanged(state);
}

void THostBrowser::AppendLog(const QString& text, TColor color) {
    Log_.push_back({text, color});
    while (Log_.size() > MaxLogEntries)
        Log_.pop_front();
    Q_EMIT LogLine(text, color);
}

void THostBrowser::OnLog(const QString& text, TColor color) {
    AppendLog(text, color);
}

void THostBrowser::Await(uint64_t commandId) {
    Awaiting_ = commandId != 0;
    AwaitedId_ = commandId;
}

void THostBrowser::EndAwait() {
    Awaiting_ = false;
    AwaitedId_ = 0;
    Q_EMIT WaitChanged();
}

void THostBrowser::OnLoggedIn() {
    SetState(hsLoggedIn);
    Q_EMIT ListCleared();
    Q_EMIT ListEnabled(true);
    if (Folder_.isEmpty()) {
        Await(Session_->GetCurrentFolder());
    } else {
        Requested_ = Folder_;
        Await(Session_->SetCurrentFolder(ToServerPath(Folder_)));
    }
}

void THostBrowser::OnFolderReply(const QByteArray& folder, uint8_t replyType, bool result) {
    if (replyType == 3) {
        if (result) InvalidateFolder(folder);
        return;
    }
    if (!Awaiting_ || replyType > 1) return;
    if (!result) {
        FolderRequestFailed(replyType == 0 ? TFTPCommand::GetCurrentFolder
                                           : TFTPCommand::SetCurrentFolder);
        return;
    }
    if (replyType == 1) {
        LastGoodFolder_ = Requested_;
        Await(Session_->GetCurrentFolder());
        return;
    }
    EndAwait();
    const QByteArray path = ViewPathFromFolderReply(folder, Form_);
    Folder_ = path;
    LastGoodFolder_ = path;
    if (SelectFolder_.isEmpty()) SelectFolder_ = path;
    Cache_.try_emplace(path, nullptr);
    ShowFolder(path);
}

// A refused or failed CWD or PWD: end up showing where the server really is, without
// ever asking the same question in a loop.
void THostBrowser::FolderRequestFailed(TFTPCommand command) {
    if (command == TFTPCommand::SetCurrentFolder) {
        const TListingPtr cached = CachedListing(Folder_);
        if (cached) {
            EndAwait();
            ShowFolder(Folder_);
        } else {
            Await(Session_->GetCurrentFolder());
            if (!Awaiting_) SetState(hsIdle);
        }
        return;
    }
    EndAwait();
    const QByteArray fallback = !LastGoodFolder_.isEmpty() ? LastGoodFolder_ : Folder_;
    if (!fallback.isEmpty() && Session_->Connected()) {
        Folder_ = fallback;
        Cache_.try_emplace(fallback, nullptr);
        ShowFolder(fallback);
    } else {
        SetState(hsIdle);
    }
}

bool THostBrowser::ShowFolder(const QByteArray& path) {
    if (!Session_->Connected() || Awaiting_ || Deleting_) {
        Q_EMIT TreeChanged();
        return false;
    }
    const QByteArray key = Key(path);
    const auto it = Cache_.find(key);
    if (it == Cache_.end()) {
        if (TransfersBusy) {
            Q_EMIT TreeChanged();
            return false;
        }
        Q_EMIT ListCleared();
        SetState(hsBusy);
        Requested_ = key;
        Await(Session_->SetCurrentFolder(ToServerPath(key)));
    } else if (!it->second) {
        if (TransfersBusy) {
            Q_EMIT TreeChanged();
            return false;
        }
        Folder_ = key;
        if (ListId_ == 0 || ListKey_ != key) QueueList(key);
    } else {
        ShowCached(key, it->second);
    }
    Q_EMIT TreeChanged();
    return true;
}

void THostBrowser::QueueList(const QByteArray& key) {
    SetState(hsBusy);
    ListKey_ = key;
    ListId_ = Session_->List(key, Settings().ListHidden ? QByteArray("-latr") : QByteArray(),
                             ToServerPath(key));
}

void THostBrowser::ShowCached(const QByteArray& key, const TListingPtr& listing) {
    Folder_ = key;
    Shown_ = listing;
    for (const TRemoteListEntry& entry : *listing)
        if (entry.Item.Attributes & raFolder)
            Known_.insert(key + LinkName(entry.Name) + Form_.Separator);
    Known_.insert(key);
    Q_EMIT FolderShown(key, listing);
    SetState(hsIdle);
    Q_EMIT WaitChanged();
}

bool THostBrowser::ShowFolderAndWait(const QByteArray& path) {
    const QByteArray key = Key(path);
    if (!ShowFolder(path)) return false;
    QEventLoop loop;
    const auto wake = connect(this, &THostBrowser::WaitChanged, &loop, &QEventLoop::quit);
    auto shown = [&] {
        const auto it = Cache_.find(key);
        return Folder_ == key && it != Cache_.end() && it->second && Shown_ == it->second;
    };
    while (!shown() && Session_->Connected() && (Awaiting_ || ListId_ != 0))
        loop.exec();
    disconnect(wake);
    // The worker may drop the connection before its notification arrives: the wait ends
    // here, not when the notification comes.
    if (!Session_->Connected() && Awaiting_) EndAwait();
    return shown();
}

bool THostBrowser::GoUp() {
    QByteArray path = Folder_;
    if (Form_.IsVms()) {
        // ".A.B." -> ".A."
        if (path.size() < 2) return false;
        const qsizetype at = path.lastIndexOf('.', path.size() - 2);
        if (at < 0) return false;
        path.truncate(at + 1);
    } else if (!StripLastFolder(path)) {
        return false;
    }
    return ShowFolder(path);
}

bool THostBrowser::Refresh() {
    InvalidateFolder(Folder_);
    return ShowFolder(Folder_);
}

void THostBrowser::InvalidateFolder(const QByteArray& path) {
    const QByteArray key = Key(path);
    if (key.isEmpty()) return;
    // The folder's subfolders go too: a removed or renamed folder takes them along.
    for (auto it = Cache_.lower_bound(key); it != Cache_.end() && FolderHolds(key, it->first);)
        it = Cache_.erase(it);
    bool known = false;
    for (auto it = Known_.lower_bound(key); it != Known_.end() && FolderHolds(key, *it);) {
        it = Known_.erase(it);
        known = true;
    }
    if (known) Q_EMIT TreeChanged();
}

int64_t THostBrowser::NotUnderstoodCount(const QByteArray& path) const {
    const auto it = NotUnderstood_.find(Key(path));
    return it == NotUnderstood_.end() ? 0 : it->second;
}

void THostBrowser::OnProcessList(const QByteArray& folder, TRemoteItemList items,
                                 const TNotUnderstoodLines& notUnderstood) {
    const QByteArray key = Key(folder);
    if (notUnderstood.Count > 0)
        NotUnderstood_[key] = notUnderstood.Count;
    else
        NotUnderstood_.erase(key);
    constexpr size_t kMaxLoggedLines = 1000;
    for (const QByteArray& line : notUnderstood.Lines) {
        if (LoggedNotUnderstood_.size() >= kMaxLoggedLines ||
            !LoggedNotUnderstood_.insert(line).second)
            continue;
        AppendLog(QStringLiteral("Listing line not understood: ") + NameText(line, NameCharset),
                  EngineSettings().LogColorError);
    }
    for (TRemoteListEntry& entry : items)
        if ((entry.Item.Attributes & raLink) && LinkLooksLikeFolder(entry.Name))
            entry.Item.Attributes |= raFolder;
    auto listing = std::make_shared<const TRemoteItemList>(std::move(items));
    Cache_[key] = listing;
    Known_.insert(key);
    if (key == Folder_ && !Awaiting_ && !Deleting_) ShowCached(key, listing);
}

void THostBrowser::OnRenameSuccessful(const QByteArray& oldName, const QByteArray& newName) {
    QByteArray oldFolder, oldItem, newFolder, newItem;
    SplitItemPath(oldName, Form_, oldFolder, oldItem);
    SplitItemPath(newName, Form_, newFolder, newItem);
    std::shared_ptr<TRemoteItemList> from = EditableListing(oldFolder);
    if (!from) return;
    std::optional<TRemoteListEntry> record;
    for (auto it = from->begin(); it != from->end(); ++it) {
        if (LinkName(it->Name) == oldItem) {
            record = *it;
            from->erase(it);
            break;
        }
    }
    Cache_[oldFolder] = from;
    if (record && (record->Item.Attributes & raFolder) && !(record->Item.Attributes & raLink)) {
        RenameCachedFolders(oldFolder + oldItem + Form_.Separator,
                            newFolder + newItem + Form_.Separator);
        Q_EMIT TreeChanged();
    }
    if (record) {
        const QByteArray target = LinkTarget(record->Name);
        record->Name = target.isEmpty() ? newItem : newItem + " -> " + target;
        if (std::shared_ptr<TRemoteItemList> to = EditableListing(newFolder)) {
            const bool clash = std::any_of(to->begin(), to->end(), [&](const TRemoteListEntry& e) {
                return LinkName(e.Name) == newItem;
            });
            if (clash) {
                InvalidateFolder(newFolder);
            } else {
                to->push_back(*record);
                Cache_[newFolder] = to;
            }
        }
    }
    if (oldFolder == Folder_ || newFolder == Folder_) {
        if (CachedListing(Folder_))
            ShowCached(Folder_, CachedListing(Folder_));
        else
            ShowFolder(Folder_);
    }
}

std::shared_ptr<TRemoteItemList> THostBrowser::EditableListing(const QByteArray& key) {
    const auto it = Cache_.find(key);
    if (it == Cache_.end() || !it->second) return nullptr;
    // Shown lists are never changed under their viewer: edit a copy.
    return std::make_shared<TRemoteItemList>(*it->second);
}

void THostBrowser::RenameCachedFolders(const QByteArray& oldKey, const QByteArray& newKey) {
    auto move = [&](const QByteArray& path) { return newKey + path.mid(oldKey.size()); };
    std::map<QByteArray, TListingPtr> moved;
    for (auto it = Cache_.lower_bound(oldKey);
         it != Cache_.end() && FolderHolds(oldKey, it->first);) {
        moved.emplace(move(it->first), it->second);
        it = Cache_.erase(it);
    }
    Cache_.merge(moved);
    std::set<QByteArray> known;
    for (auto it = Known_.lower_bound(oldKey); it != Known_.end() && FolderHolds(oldKey, *it);) {
        known.insert(move(*it));
        it = Known_.erase(it);
    }
    Known_.merge(known);
    if (FolderHolds(oldKey, Folder_)) Folder_ = move(Folder_);
}

void THostBrowser::OnDisconnect() {
    Q_EMIT ListEnabled(false);
    Q_EMIT ListCleared();
    Cache_.clear();
    Known_.clear();
    Shown_.reset();
    BatchQueue_.clear();
    BatchReason_ = trNone;
    ListId_ = 0;
    WalkListId_ = 0;
    WalkListDone_ = true;
    Sent_.clear();
    Q_EMIT ProgressText(QString());
    EndAwait();
    Q_EMIT TreeChanged();
    SetState(hsDisconnected);
}

void THostBrowser::AskCertificate(const TCertificateInfo& certificate) {
    if (!Questions_ || Session_->Connected()) return;
    if (certificate.Changed) {
        Questions_->ShowError(CertificateChangedText(
            certificate, Session_->Security.TrustedFingerprints, CertificatesFile));
        return;
    }
    const TCertificateTrust trust = Questions_->AskCertificateTrust(certificate);
    if (trust == TCertificateTrust::Refuse) return;
    if (trust == TCertificateTrust::Always && !CertificatesFile.isEmpty()) {
        QString error;
        if (!TTrustedCertificates(CertificatesFile)
                 .Remember(Session_->Host, Session_->Port, certificate.Fingerprint, &error))
            AppendLog(error, EngineSettings().LogColorError);
    }
    Session_->Security.TrustedFingerprints.append(certificate.Fingerprint);
    QueueLogIn(*Session_, Settings(), UsesFirewall);
    SetState(hsBusy);
}

void THostBrowser::OnCommandResult(const TCommandCompletedEventData& result) {
    if (result.Command == TFTPCommand::Login && Certificate_) {
        const TCertificateInfo certificate = *Certificate_;
        Certificate_.reset();
        // Asked once the failed log-in's notifications are all delivered, not from
        // within their delivery.
        // A connection begun meanwhile makes the question moot.
        if (!result.Success && !result.Aborted)
            QMetaObject::invokeMethod(
                this,
                [this, certificate, connection = Connections_] {
                    if (connection == Connections_) AskCertificate(certificate);
                },
                Qt::QueuedConnection);
    }
    if (!result.Final) return;
    // A transfer that failed or was stopped sends no last progress: its bytes go too.
    if (!result.Success) Q_EMIT ProgressText(QString());
    if (result.Id == AwaitedId_ && !result.Success) {
        if (result.Aborted || !Session_->Connected()) {
            EndAwait();
            SetState(hsIdle);
        } else {
            FolderRequestFailed(result.Command);
        }
    }
    if (result.Id == ListId_) {
        ListId_ = 0;
        if (!result.Success) {
            // The next visit checks the folder again with a CWD before listing it.
            Cache_.erase(ListKey_);
            SetState(hsIdle);
        }
        Q_EMIT WaitChanged();
    }
    if (result.Id == WalkListId_) {
        WalkListId_ = 0;
        WalkListDone_ = true;
        WalkListOk_ = result.Success;
        Q_EMIT WaitChanged();
    }
    const auto sent = Sent_.find(result.Id);
    if (sent != Sent_.end()) {
        const TSentFile file = sent->second;
        Sent_.erase(sent);
        if (result.Success) {
            const QFileInfo info(file.LocalFile);
            AddTransferredItem(file.FolderKey, DayNumberFromDateTime(info.lastModified()),
                               info.size(), 0, file.Name);
        }
        if (Sent_.empty() && BatchReason_ == trSendFile) BatchReason_ = trNone;
    }
    if (result.Id == BatchId_ && BatchId_ != 0) BatchFileDone(result.Success);
}

void THostBrowser::OnProgress(uint8_t stage, bool, int64_t bytes) {
    if (stage == 2) {
        Q_EMIT ProgressText(QString());
        SetState(hsIdle);
        return;
    }
    Q_EMIT ProgressText(FormatThousands(QString::number(stage == 0 ? 0 : bytes)) +
                        QStringLiteral(" Bytes"));
}
