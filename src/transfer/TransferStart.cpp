// Starting an item on the session chosen for it.
#include "transfer/TransferItem.h"

#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"
#include "settings/SessionLogIn.h"
#include "settings/Settings.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferType.h"

#include <QDir>
#include <QFile>

void TTransferItem::StartOn(TFTPComponent* session) {
    TTransferItems* queue = Owner;
    DebugLogFmt("Processing Transfer Item. Name = \"%s\"", FileName.constData());
    SetState(isBusy);
    // A second start after the log-on must not save the queue's own handlers: the view
    // gets back what it had before the item first took its session.
    if (session->HasOwner() && !HasSavedHandlers_) {
        SavedHandlers_ = *session;
        HasSavedHandlers_ = true;
    }
    queue->AttachHandlers(session);
    Session = session;
    queue->BusyOn_.insert(session, this);
    StartTick = LastProgressTick = TickCount();
    BytesDone = StartOffset;
    if (queue->OnItemStart) queue->OnItemStart(queue, this);
    if (State_ != isBusy || Session != session)
        return; // a handler of the start event cancelled or finished it
    FirstCommandId_ = session->NextCommandId();

    if (IsHTTP) {
        session->GetHTTP(URL, LocalPath());
        return;
    }
    const TSettings& settings = queue->Settings();
    if (!session->LoggedIn()) {
        if (const TTransferWindows windows = queue->Windows(); windows.Main)
            windows.Main->SetStatusText(QStringLiteral("Logging on to %1...").arg(Host));
        session->Host = Host;
        session->Port = Port;
        session->User = User;
        session->Password = Password;
        session->Account = Account;
        session->Security = Security;
        // Index 1, "Not Relevant": transfer sessions make no server-type probe. A host
        // view's own session (logged on again after its connection broke) detects the
        // type and probes for resuming, as the view's own log-on does: it lists again.
        session->SetServerType(session->HasOwner() ? 0 : 1);
        QueueLogIn(*session, settings, UseFirewall);
        return; // the logged-in notification starts the item again
    }

    // Sessions of the queue skip the log-on's resume probe; an offset was only chosen
    // because the view's own session found that the server resumes.
    if ((StartOffset > 0 || ResumeAtServer) && !session->HasOwner())
        session->SetResumeSupported(true);
    const int64_t offset = Upload && ResumeAtServer ? -1 : StartOffset;
    const int type = TransferTypeFor(FileName, settings, ServerKeepsLF);
    // A pooled session carries only this queue's commands, so the type it was last given
    // still holds and need not be sent again for every file.
    const bool pooled = queue->Sessions_.contains(session);
    const bool typeHolds = pooled && queue->SessionType_.value(session, 0) == type;
    if (pooled) queue->SessionType_[session] = type;
    if (Upload) {
        if (IsFolder)
            session->CreateFolder(DestFolder + DestFileName);
        else if (typeHolds)
            session->AddCommand(TFTPCommand::ResumeUpload,
                                {QFile::encodeName(LocalPath()), DestFolder + DestFileName,
                                 DestFolder, QByteArray::number(qint64(offset))});
        else
            session->ResumeUpload(LocalPath(), DestFolder, DestFolder + DestFileName, type, offset);
        return;
    }
    if (IsFolder) {
        // One level only: an existing folder is an error, as a server's MKD would be.
        const bool created = QDir().mkdir(LocalPath());
        ftpCommandCompleted(session, TFTPCommand::CreateFolder, created, false);
        return;
    }
    // Without a date from a listing, the server's own time is asked for after the file.
    const bool serverTime = settings.PreserveTimeStamp && Date == 0;
    if (typeHolds) {
        QList<QByteArray> params{QFile::encodeName(LocalPath()), SourceFolder + FileName,
                                 SourceFolder, QByteArray::number(qint64(Size)),
                                 QByteArray::number(qint64(StartOffset))};
        if (serverTime) params << "1";
        session->AddCommand(TFTPCommand::ResumeDownload, params);
    } else {
        session->ResumeDownload(SourceFolder, SourceFolder + FileName, LocalPath(), type, Size,
                                StartOffset, serverTime);
    }
}
