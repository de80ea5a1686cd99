// The sessions of a queue: choosing, pooling and retiring them, and routing their
// notifications to the item they carry.
#include "transfer/TransferItems.h"

#include "engine/EngineSettings.h"
#include "settings/Settings.h"

namespace {

bool SameLogIn(const TFTPComponent& session, const TTransferItem& item) {
    return session.Host == item.Host && session.Port == item.Port && session.User == item.User &&
           session.Password == item.Password && session.Account == item.Account &&
           session.Security == item.Security;
}

} // namespace

TFTPComponent* TTransferItems::ChooseSession(const TTransferItem& item) {
    if (HostView && Settings().SingleConnectionsOnly) {
        TFTPComponent* own = HostView->OwnSession();
        if (own) HostView->SetTransfersBusy(true);
        return own;
    }
    int same = 0;
    bool sameLoggedIn = false, otherCarrying = false;
    for (TFTPComponent* session : std::as_const(Sessions_)) {
        const bool carrying = BusyOn_.contains(session);
        // Only the very same log-in may be reused: another user's session would hand
        // this item that user's access. A session busy here without an item runs a
        // keep-alive NOOP, which the next commands simply follow.
        if (!SameLogIn(*session, item)) {
            otherCarrying = otherCarrying || carrying;
            continue;
        }
        if (!carrying) return session;
        ++same;
        sameLoggedIn = sameLoggedIn || session->LoggedIn();
    }
    // Items of another log-in still run on the pool: this one waits for them to end.
    if (otherCarrying) return nullptr;
    // While the first session of a log-in is still logging on, no other tries: a log-on
    // that fails would otherwise fail once per session at the same time.
    if (same > 0 && !sameLoggedIn) return nullptr;
    for (TFTPComponent* session : QList<TFTPComponent*>(Sessions_))
        if (!SameLogIn(*session, item)) RetireSession(session);
    return CreateSession(item);
}

bool TTransferItems::RefusedAnotherSession(const TFTPComponent* session,
                                           const TTransferItem& item) {
    if (!Sessions_.contains(session)) return false;
    int loggedIn = 0;
    for (const TFTPComponent* other : std::as_const(Sessions_))
        if (other != session && other->LoggedIn() && SameLogIn(*other, item)) ++loggedIn;
    if (loggedIn == 0) return false;
    SessionCap_ = loggedIn;
    QueueLog(nullptr,
             QStringLiteral("The server refused another session; going on with %1.").arg(loggedIn),
             EngineSettings().LogColorInfo);
    RetireSession(const_cast<TFTPComponent*>(session));
    return true;
}

TFTPComponent* TTransferItems::CreateSession(const TTransferItem& item) {
    auto* session = new TFTPComponent();
    session->Host = item.Host;
    session->Port = item.Port;
    session->User = item.User;
    session->Password = item.Password;
    session->Account = item.Account;
    session->Security = item.Security;
    session->SetPassive(Settings().UsePASV);
    AttachHandlers(session);
    Sessions_.append(session);
    return session;
}

void TTransferItems::DisconnectSessions() {
    // The item running on a session let go ends now, as cancelled: the commands it still
    // waits for go with the session's queue, and the session itself is freed soon after.
    for (TTransferItem* item : BusyOn_.values())
        if (Sessions_.contains(item->Session) && item->State() == isBusy)
            item->Finish(item->Session, TFTPCommand::None, false, true);
    while (!Sessions_.isEmpty())
        RetireSession(Sessions_.takeLast());
}

void TTransferItems::RetireSession(TFTPComponent* session) {
    Sessions_.removeOne(session);
    SessionType_.remove(session);
    const bool waitForLogout = session->LoggedIn() || session->Busy();
    session->Disconnect();
    if (waitForLogout) {
        Retiring_.append(session);
        return;
    }
    static_cast<TFTPHandlers&>(*session) = TFTPHandlers();
    session->deleteLater();
}

void TTransferItems::SessionEnded(TFTPComponent* session, TFTPCommand command, bool closed) {
    // Never freed under an item that still runs there: its own completion comes first.
    if (!Retiring_.contains(session) || BusyItemOn(session)) return;
    // Freed once its logout is over, or once it is no longer logged on at all.
    if (!closed && command != TFTPCommand::Logout && session->LoggedIn()) return;
    Retiring_.removeOne(session);
    static_cast<TFTPHandlers&>(*session) = TFTPHandlers();
    session->deleteLater();
}

TTransferItem* TTransferItems::BusyItemOn(const TFTPComponent* session) const {
    return BusyOn_.value(session, nullptr);
}

void TTransferItems::KeepLogLine(const QString& message, TColor color) {
    LogLines.append({message, color});
    // Trimmed in steps, so that dropping the oldest lines stays cheap per line.
    if (LogLines.size() > MaxLogLines + MaxLogLines / 4)
        LogLines.remove(0, LogLines.size() - MaxLogLines);
}

void TTransferItems::QueueLog(TFTPComponent* sender, const QString& message, TColor color) {
    KeepLogLine(message, color);
    if (OnLog) OnLog(sender, message, color);
}

void TTransferItems::QueueError(TFTPComponent* sender, int code, const QString& message) {
    if (OnError)
        OnError(sender, code, message);
    else
        QueueLog(sender, message, EngineSettings().LogColorError);
}

void TTransferItems::AttachHandlers(TFTPComponent* session) {
    // Each handler copies what it needs before calling into the item: finishing an item
    // may replace this very handler (a borrowed session gets its own back).
    TFTPHandlers& h = *session;
    h.OnCommandCompleted = nullptr;
    // With the command's id: a completion is the busy item's only if the item queued it.
    h.OnCommandResult = [this](TFTPComponent* s, const TCommandCompletedEventData& result) {
        TTransferItems* queue = this;
        const TFTPCommand command = result.Command;
        if (TTransferItem* item = queue->BusyItemOn(s)) item->ftpCommandResult(s, result);
        queue->SessionEnded(s, command, false);
    };
    h.OnConnect = [this](TFTPComponent* s) {
        if (TTransferItem* item = BusyItemOn(s))
            item->ftpConnect(s);
        else if (OnConnect)
            OnConnect(s);
    };
    h.OnDisconnect = [this](TFTPComponent* s) {
        TTransferItems* queue = this;
        queue->SessionType_.remove(s);
        if (TTransferItem* item = queue->BusyItemOn(s))
            item->ftpDisconnect(s);
        else if (queue->OnDisconnect)
            queue->OnDisconnect(s);
        queue->SessionEnded(s, TFTPCommand::None, true);
    };
    h.OnError = [this](TFTPComponent* s, int code, const QString& message) {
        if (TTransferItem* item = BusyItemOn(s))
            item->ftpError(s, code, message);
        else
            QueueError(s, code, message);
    };
    h.OnLog = [this](TFTPComponent* s, const QString& message, TColor color) {
        if (TTransferItem* item = BusyItemOn(s))
            item->ftpLog(s, message, color);
        else
            QueueLog(s, message, color);
    };
    h.OnLoggedIn = [this](TFTPComponent* s) {
        SessionType_.remove(s); // a new log-in starts from the server's default type
        if (TTransferItem* item = BusyItemOn(s)) item->ftpLoggedIn(s);
        // The first session of a log-in is in: the items waiting for it may start theirs.
        if (ParallelLimit() > 1) ScheduleProcessNext();
    };
    h.OnProgress = [this](TFTPComponent* s, uint8_t stage, bool isFile, int64_t bytes) {
        if (TTransferItem* item = BusyItemOn(s)) item->ftpProgress(s, stage, isFile, bytes);
    };
    h.OnUpdateFileSize = [this](TFTPComponent* s, const QString& path, int64_t size) {
        if (TTransferItem* item = BusyItemOn(s)) item->ftpFileSize(s, path, size);
    };
    h.OnCantLogIn = nullptr;
}
