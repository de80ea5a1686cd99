#include "engine/FtpThread.h"

#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"

#include <cstdarg>

namespace {
QByteArray Text(const QByteArray& bytes) {
    return DisplayText(bytes).toUtf8();
}
} // namespace

void TFTPThread::DebugHost(const char* format, ...) {
    if (!DebugLogEnabled()) return;
    char buffer[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    DebugLogFmt("Host %s: %s", Shared->HostForLog().constData(), buffer);
}

void TFTPThread::Notify(TNotificationCode code, TNotificationPayload payload) {
    using C = TNotificationCode;
    if (DebugLogEnabled()) {
        switch (code) {
        case C::Abort:
            DebugHost("Notify Abort");
            break;
        case C::CantLogIn:
            DebugHost("Notify CantLogIn");
            break;
        case C::Connect:
            DebugHost("Notify Connect");
            break;
        case C::Disconnect:
            DebugHost("Notify Disconnect");
            break;
        case C::LoggedIn:
            DebugHost("Notify LoggedIn");
            break;
        case C::Progress:
            break;
        case C::CommandCompleted: {
            const auto& d = std::get<TCommandCompletedEventData>(payload);
            DebugHost("Notify CommandCompleted. Command = %s, Success = %d, Aborted = %d",
                      CommandDisplayName(d.Command), d.Success, d.Aborted);
            break;
        }
        case C::DeleteSuccessful:
            DebugHost("Notify DeleteSuccessful. FileName = \"%s\"",
                      Text(std::get<TDeleteSuccessfulEventData>(payload).FileName).constData());
            break;
        case C::Error: {
            const auto& d = std::get<TErrorData>(payload);
            DebugHost("Notify Error. Code = %d, Desc = \"%s\"", d.Code,
                      d.Description.toUtf8().constData());
            break;
        }
        case C::FolderReply: {
            const auto& d = std::get<TFolderEventData>(payload);
            DebugHost("Notify FolderReply. Folder = \"%s\", ReplyType = %d, Result = %d",
                      Text(d.Folder).constData(), d.ReplyType, d.Result);
            break;
        }
        case C::Log: {
            const auto& d = std::get<TLogData>(payload);
            if (!(Quiet && d.Message.startsWith(QLatin1String("PASS"))))
                DebugHost("Notify Log. Message = \"%s\"", d.Message.toUtf8().constData());
            break;
        }
        case C::ProcessList:
            DebugHost("Notify ProcessList. Folder = \"%s\"",
                      Text(std::get<TProcessListData>(payload).Folder).constData());
            break;
        case C::RenameSuccessful: {
            const auto& d = std::get<TRenameSuccessfulEventData>(payload);
            DebugHost("Notify RenameSuccessful. OldName = \"%s\", NewName = \"%s\"",
                      Text(d.OldName).constData(), Text(d.NewName).constData());
            break;
        }
        case C::UntrustedCertificate:
            DebugHost("Notify UntrustedCertificate. Fingerprint = %s",
                      std::get<TCertificateInfo>(payload).Fingerprint.constData());
            break;
        case C::UpdateFileSize:
            DebugHost("Notify UpdateFileSize. NewSize = %lld",
                      static_cast<long long>(std::get<TUpdateFileSizeEventData>(payload).NewSize));
            break;
        }
    }
    // Keep-alive traffic never reaches the log pane.
    if (code == C::Log && Quiet) return;
    Shared->Channel.Post(TNotification{code, std::move(payload)});
}

void TFTPThread::Log(const QString& message, TColor color) {
    Notify(TNotificationCode::Log, TLogData{message, color});
}

void TFTPThread::LogInfo(const QString& message) {
    Log(message, EngineSettings().LogColorInfo);
}

void TFTPThread::LogError(const QString& message) {
    Log(message, EngineSettings().LogColorError);
}

void TFTPThread::NotifyDisconnect() {
    CloseSocketGraceful(DataSocket);
    CloseSocketGraceful(ControlSocket);
    HostAddressKnown = false;
    // Assigned rather than cleared: the folder's bytes may be shared with the window
    // thread, and clear() releases them inside Qt, where ThreadSanitizer cannot see it.
    CurrentFolder = QByteArray();
    TypeLetter = 0;
    Notify(TNotificationCode::Disconnect);
}

void TFTPThread::NotifyCommandCompleted(const TCommandItem& item, bool success, bool aborted) {
    Notify(TNotificationCode::CommandCompleted,
           TCommandCompletedEventData{item.Command, success, aborted, item.Id, !item.KeepItem});
}
