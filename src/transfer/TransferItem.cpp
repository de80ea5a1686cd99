#include "transfer/TransferItem.h"

#include "engine/EngineSettings.h"
#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"
#include "settings/Settings.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferType.h"
#include "transfer/TransferWindows.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {
// How long a cancelled item may wait for its aborted command to complete.
constexpr int CancelGraceMs = 2000;
} // namespace

int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
    if (c == 0) return -1;
    // The product of two 64-bit sizes needs 128 bits to stay exact.
    __extension__ using TWide = __int128;
    const TWide product = static_cast<TWide>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const TWide magnitude = product < 0 ? -product : product;
    const TWide divisor = c < 0 ? -static_cast<TWide>(c) : static_cast<TWide>(c);
    const TWide rounded = (magnitude + divisor / 2) / divisor;
    return static_cast<int64_t>(negative ? -rounded : rounded);
}

TTransferItem::~TTransferItem() {
    if (Session && !Session->HasOwner() && !(Owner && Owner->Sessions_.contains(Session)) &&
        !(Owner && Owner->Retiring_.contains(Session))) {
        // A private session dies with its item; no handler of it is running now.
        static_cast<TFTPHandlers&>(*Session) = TFTPHandlers();
        delete Session;
        Session = nullptr;
    }
    if (Session) ReleaseSession(Session);
    if (Owner) Owner->Forget(this);
}

void TTransferItem::SetState(TItemState state) {
    if (state == State_) return;
    TTransferItems* queue = Owner;
    // A re-submit into an idle queue starts a new run, as an Add would.
    if (queue && state == isPending) {
        queue->RestartIfIdle();
        queue->PendingFrom_ = 0;
    }
    if (queue) {
        queue->CountActive(*this, State_, state);
        queue->StateCount_[State_] -= 1;
        const int64_t left = Size - StartOffset;
        if (State_ == isPending && state == isCancelled) {
            queue->BytesDone -= StartOffset;
            queue->BytesLeft -= left;
        } else if (State_ == isCancelled && state == isPending) {
            queue->BytesDone += StartOffset;
            queue->BytesLeft += left;
        }
    }
    if (state == isBusy && State_ != isBusy) ErrorText.clear();
    State_ = state;
    if (queue) {
        // Busy on its session from the start on it (StartOn) until now.
        if (state != isBusy)
            queue->BusyOn_.removeIf([this](const auto& entry) { return entry.value() == this; });
        queue->StateCount_[State_] += 1;
        if (queue->OnItemStateChange) queue->OnItemStateChange(queue, this);
    }
}

void TTransferItem::SetURL(const QString& url) {
    URL = url;
    TSplitURL parts;
    SplitURL(url, QString(), parts);
    User = parts.User.toUtf8();
    Password = parts.Password.toUtf8();
    Host = parts.Host;
    Port = parts.Port;
    SourceFolder = parts.FolderPath.toUtf8();
    FileName = parts.FileName.toUtf8();
    const qsizetype nul = FileName.indexOf('\0');
    if (nul >= 0) FileName.truncate(nul);
    DestFileName = FileName;
}

int TTransferItem::Index() const {
    return Owner ? Owner->IndexOf(this) : -1;
}

uint64_t TTransferItem::ElapsedTicks() const {
    return TickCount() - StartTick;
}

int TTransferItem::PercentDone() const {
    return static_cast<int>(std::clamp<int64_t>(MulDiv(100, BytesDone, Size), 0, 100));
}

void TTransferItem::Cancel() {
    if (State_ != isBusy || !Session) return;
    TFTPComponent* session = Session;
    session->Abort();
    // The abort may reach no command at all once the type step has failed.
    if (TypeFailed_) {
        Finish(session, TFTPCommand::SetType, false, true);
        return;
    }
    // The abort's completions normally end the item. One that finds the session idle and
    // nothing completed (or the session gone) ends it here, and a pooled session is dropped.
    TTransferItems* queue = Owner;
    QTimer::singleShot(CancelGraceMs, queue->Context_.get(),
                       [queue, item = this, session, alive = QPointer<TFTPComponent>(session)] {
                           if (queue->BusyItemOn(session) != item) return;
                           if (!alive) {
                               // The queues were disconnected meanwhile (quitting) and the session
                               // is gone.
                               item->Session = nullptr;
                               item->Finish(nullptr, TFTPCommand::None, false, true);
                               return;
                           }
                           if (session->Busy()) return;
                           if (queue->Sessions_.contains(session)) queue->RetireSession(session);
                           item->Finish(session, TFTPCommand::None, false, true);
                       });
}

QString TTransferItem::LocalPath() const {
    // Downloads land under the destination name, which is the source name unless the
    // caller chose another.
    return QFile::decodeName(Upload ? SourceFolder + FileName : DestFolder + DestFileName);
}

void TTransferItem::ftpCommandCompleted(TFTPComponent* sender, TFTPCommand command, bool success,
                                        bool aborted) {
    DebugLogFmt("TTransferItem.ftpCommandCompleted. FileName = %s, Command = %s, Success = %d, "
                "Aborted = %d",
                FileName.constData(), CommandDisplayName(command), success ? 1 : 0,
                aborted ? 1 : 0);
    if (!Owner || State_ != isBusy) return;
    using C = TFTPCommand;
    switch (command) {
    case C::Login:
    case C::FirewallLogin:
        // A log-on that failed for good ends the item; otherwise it would stay busy and
        // stop the queue. A successful one is followed by the logged-in notification.
        if (success && !aborted) return;
        if (!aborted && Owner->RefusedAnotherSession(sender, *this)) {
            // Not this file's fault: it waits for a session the server lets in.
            Session = nullptr;
            SetState(isPending);
            Owner->ScheduleProcessNext();
            return;
        }
        if (!aborted)
            ftpLog(sender,
                   QStringLiteral("Could not log on to %1; \"%2\" was not transferred.")
                       .arg(Host, DisplayText(FileName)),
                   EngineSettings().LogColorError);
        break;
    case C::SetType:
        if (success && !aborted) return;
        Owner->SessionType_.remove(sender);
        if (!aborted) {
            // The transfer queued behind the type step would run and be taken for the next
            // item's. A pooled session is dropped, which clears its queue; a borrowed one
            // cannot be, so the item waits for that transfer to end.
            if (Owner->Sessions_.contains(sender))
                Owner->RetireSession(sender);
            else if (!IsFolder) {
                TypeFailed_ = true;
                return;
            }
        }
        break;
    case C::Download:
    case C::Upload:
    case C::ResumeDownload:
    case C::ResumeUpload:
        if (TypeFailed_) {
            success = false;
        } else if (!success && !aborted && !Upload && StartOffset > 0 &&
                   !sender->ResumeSupported()) {
            // The server ignored the restart: the next attempt fetches the whole file, and
            // so do the downloads queued later from the view.
            StartOffset = 0;
            if (Owner->HostView)
                if (TFTPComponent* own = Owner->HostView->OwnSession())
                    own->SetResumeSupported(false);
        } else if (!success && !aborted && RetryWithResume(sender)) {
            return;
        }
        break;
    case C::Logout:
    case C::CreateFolder:
    case C::RemoveFolder:
    case C::GetHTTP:
        break;
    default:
        return;
    }
    Finish(sender, command, success, aborted);
}

bool TTransferItem::RetryWithResume(TFTPComponent* sender) {
    TTransferItems* queue = Owner;
    if (Upload || IsFolder || IsHTTP || sender != Session || !queue) return false;
    const TSettings& settings = queue->Settings();
    // Only a binary file can go on where it stopped: a text transfer's local length is
    // not the server's.
    if (settings.TryToResume <= 0 || TransferTypeFor(FileName, settings, ServerKeepsLF) != ttBinary)
        return false;
    const int limit = EngineSettings().RetryCount;
    if (limit > 0 && ResumeRetries_ >= limit) return false;
    const int64_t local = QFileInfo(LocalPath()).size();
    // Nothing arrived (a refusal, a server that ignored the restart and was cut back) or
    // everything did: going on would gain nothing.
    if (local <= StartOffset || (Size > 0 && local >= Size)) return false;
    ++ResumeRetries_;
    ftpLog(sender,
           QStringLiteral("The connection broke after %1 bytes of \"%2\"; resuming from there.")
               .arg(local)
               .arg(DisplayText(FileName)),
           EngineSettings().LogColorInfo);
    ftpProgress(sender, 1, true, local);
    StartOffset = local;
    StartOn(sender);
    return true;
}

void TTransferItem::Finish(TFTPComponent* sender, TFTPCommand command, bool success, bool aborted) {
    ResumeRetries_ = 0;
    TTransferItems* queue = Owner;
    const TTransferWindows windows = queue->Windows();
    using C = TFTPCommand;
    if (!success && (command == C::Upload || command == C::ResumeUpload) &&
        DestFileName.contains(' ') && windows.Main) {
        windows.Main->ShowMessage(
            QStringLiteral("There was a problem uploading \"%1\", which may be due to the fact "
                           "that the filename contains spaces.\r\n\r\nTolvar offers advanced "
                           "conversion options available under Options->General Preferences.")
                .arg(DisplayText(DestFileName)));
    }
    if (success && command != C::Logout && command != C::SetType && DestView)
        DestView->AddTransferredItem(*this, DestFolder, Date, Size,
                                     IsFolder ? uint16_t(raFolder) : uint16_t(0), DestFileName);
    else if (DestView)
        DestView->TransferEnded(DestFolder);
    if (!success && !aborted) {
        // The server's refusal scrolls away among the other lines: the item's own line says
        // which file it cost (a failed log-on has said so already).
        const QString reason = ErrorText;
        if (command != C::Login && command != C::FirewallLogin)
            ftpLog(sender,
                   ErrorText.isEmpty()
                       ? QStringLiteral("\"%1\" was not transferred.").arg(DisplayText(FileName))
                       : QStringLiteral("\"%1\" was not transferred: %2")
                             .arg(DisplayText(FileName), ErrorText),
                   EngineSettings().LogColorError);
        ErrorText = reason;
        queue->FailedCount += 1;
    }
    if (aborted) {
        // A cancelled item leaves the totals, as a cancelled pending one does, so that a
        // re-submit counts it afresh rather than twice.
        queue->BytesDone -= BytesDone;
        queue->BytesLeft -= Size - BytesDone;
        BytesDone = StartOffset;
    } else {
        ftpProgress(sender, 2, true, Size);
    }
    queue->CompletedCount += 1;
    SetState(aborted ? isCancelled : success ? isDone : isError);
    // Here rather than in a window's handler: every queue's downloads get the date,
    // whoever watches it.
    if (command == C::Download || command == C::ResumeDownload)
        PreserveTimeStamp(*this, queue->Settings());
    if (queue->OnItemFinished) queue->OnItemFinished(queue, this);
    TypeFailed_ = false;
    if (Session) ReleaseSession(Session);
    queue->ScheduleProcessNext();
}

void TTransferItem::ReleaseSession(TFTPComponent* session) {
    Session = nullptr;
    TTransferItems* queue = Owner;
    if (queue && queue->Sessions_.contains(session))
        return; // stays pooled and logged in for the next item
    if (queue && queue->Retiring_.contains(session))
        return; // the queue frees it once its logout is over
    if (!session->HasOwner()) {
        // A private session (HTTP). Freed later: this may run inside its own handler.
        static_cast<TFTPHandlers&>(*session) = TFTPHandlers();
        session->Abort();
        session->deleteLater();
        return;
    }
    // A host view's own session: its handlers come back as they were before.
    static_cast<TFTPHandlers&>(*session) = SavedHandlers_;
    SavedHandlers_ = TFTPHandlers();
    HasSavedHandlers_ = false;
    if (queue && queue->HostView) {
        queue->HostView->SetTransfersBusy(queue->StateCount(isPending) > 0);
        if (const TTransferWindows windows = queue->Windows(); windows.Main)
            windows.Main->RefreshCommandState();
    }
}

void TTransferItem::ftpCommandResult(TFTPComponent* sender,
                                     const TCommandCompletedEventData& result) {
    // A borrowed session's view still learns how its own commands ended.
    if (HasSavedHandlers_ && SavedHandlers_.OnCommandResult) {
        const auto viewHandler = SavedHandlers_.OnCommandResult;
        viewHandler(sender, result);
    }
    // A command that an abort dropped completes after the item it belonged to has ended,
    // perhaps once the next item runs on the session: only this start's own count.
    if (!result.Final || result.Id < FirstCommandId_) return;
    ftpCommandCompleted(sender, result.Command, result.Success, result.Aborted);
}

void TTransferItem::ftpConnect(TFTPComponent* sender) {
    if (Owner && Owner->OnConnect) Owner->OnConnect(sender);
    if (SavedHandlers_.OnConnect) SavedHandlers_.OnConnect(sender);
}

void TTransferItem::ftpDisconnect(TFTPComponent* sender) {
    DebugLogFmt("TTransferItem.ftpDisconnect. FileName = %s", FileName.constData());
    if (Owner && Owner->OnDisconnect) Owner->OnDisconnect(sender);
    if (SavedHandlers_.OnDisconnect) SavedHandlers_.OnDisconnect(sender);
}

void TTransferItem::ftpError(TFTPComponent* sender, int code, const QString& message) {
    DebugLogFmt("TTransferItem.ftpError. FileName = %s", FileName.constData());
    if (State_ == isBusy && ErrorText.isEmpty()) ErrorText = message.trimmed();
    if (Owner && Owner->OnError) {
        Owner->OnError(sender, code, message);
        return;
    }
    ftpLog(sender, message, EngineSettings().LogColorError);
}

void TTransferItem::ftpLog(TFTPComponent* sender, const QString& message, TColor color) {
    if (State_ == isBusy && ErrorText.isEmpty() && color == EngineSettings().LogColorError)
        ErrorText = message.trimmed();
    if (Owner) Owner->QueueLog(sender, message, color);
    if (SavedHandlers_.OnLog) SavedHandlers_.OnLog(sender, message, color);
}

void TTransferItem::ftpLoggedIn(TFTPComponent* sender) {
    // A borrowed session's view learns that it is connected again, as it learnt of the
    // disconnection.
    if (HasSavedHandlers_ && SavedHandlers_.OnLoggedIn) SavedHandlers_.OnLoggedIn(sender);
    if (sender == Session && State_ == isBusy) StartOn(sender);
}

void TTransferItem::ftpProgress(TFTPComponent* sender, uint8_t stage, bool isFile, int64_t bytes) {
    const int64_t delta = std::max<int64_t>(bytes - BytesDone, 0);
    BytesDone = std::max(bytes, BytesDone);
    if (delta > 0) LastProgressTick = TickCount();
    if (TTransferItems* queue = Owner) {
        queue->BytesDone += delta;
        queue->BytesLeft -= delta;
        queue->BytesMoved += delta;
        if (queue->OnItemProgress) queue->OnItemProgress(queue, this);
    }
    if (SavedHandlers_.OnProgress) SavedHandlers_.OnProgress(sender, stage, isFile, bytes);
}

void TTransferItem::ftpFileSize(TFTPComponent*, const QString& localPath, int64_t size) {
    if (Upload || Size == size || localPath != LocalPath()) return;
    if (Owner) Owner->BytesLeft += size - Size;
    Size = size;
    if (ListItem) ListItem->SetSizeText(QString::number(size));
}
