#include "engine/FtpThread.h"

#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"

#include <exception>

namespace {
const char TypeLetters[] = {'I', 'A', 'I', 'E', 'L'};

// The path quoted in a 257 reply; a doubled quote inside stands for one.
QByteArray QuotedPath(const QByteArray& reply) {
    const qsizetype open = reply.indexOf('"');
    if (open < 0) return QByteArray();
    QByteArray path;
    for (qsizetype i = open + 1; i < reply.size(); ++i) {
        if (reply.at(i) == '"') {
            if (i + 1 < reply.size() && reply.at(i + 1) == '"') {
                path += '"';
                ++i;
                continue;
            }
            break;
        }
        path += reply.at(i);
    }
    return path;
}

// Everything but connecting, disconnecting and HTTP talks over the control connection.
bool UsesControl(TFTPCommand command) {
    switch (command) {
    case TFTPCommand::None:
    case TFTPCommand::Login:
    case TFTPCommand::FirewallLogin:
    case TFTPCommand::Logout:
    case TFTPCommand::GetHTTP:
        return false;
    default:
        return true;
    }
}
} // namespace

bool TFTPThread::FolderCommand(const QByteArray& command, uint8_t replyType) {
    SendCommand(command);
    int replyClass = GetReplyClass();
    bool success = replyClass == 2;
    if (replyClass == 5 && (ReplyCode == 500 || ReplyCode == 502)) {
        // Old servers know only the X-prefixed forms (XPWD, XCWD, XMKD, XRMD).
        SendCommand("X" + command);
        success = GetReplyClass() == 2;
    }
    const QByteArray folder = replyType == 0 ? QuotedPath(ReplyText) : command.mid(4);
    Notify(TNotificationCode::FolderReply, TFolderEventData{folder, replyType, success});
    return success;
}

bool TFTPThread::DoCommand(TCommandItem& item) {
    Wait.ClearAborted();
    bool success = false;
    if (RepliesNeeded < 0) RepliesNeeded = 0;
    DebugHost("Executing command \"%s\"", CommandDisplayName(item.Command));

    try {
        if (UsesControl(item.Command)) {
            ReopenDeadControl();
            // The drop was reported when it happened (or the new log-on failed and said
            // so): the commands queued behind it fail without a word each.
            if (!ControlSocket.IsOpen() && LastLogin)
                throw EControlSocketException(QString(), WSAENOTCONN_);
        }
        switch (item.Command) {
        case TFTPCommand::None:
            break;
        case TFTPCommand::FirewallLogin:
        case TFTPCommand::Login:
            success = ConnectionStep(item);
            break;
        case TFTPCommand::Logout:
            if (EngineSettings().QuickDisconnect || !Shared->HasOwner) {
                success = true;
            } else {
                SendCommand("QUIT");
                success = GetReplyClass() == 2;
            }
            NotifyDisconnect();
            break;
        case TFTPCommand::GetCurrentFolder:
            success = FolderCommand("PWD", 0);
            break;
        case TFTPCommand::SetCurrentFolder:
            success = FolderCommand("CWD " + item.Param(1), 1);
            if (success) CurrentFolder = item.Param(1);
            break;
        case TFTPCommand::List:
        case TFTPCommand::Download:
        case TFTPCommand::ResumeDownload:
        case TFTPCommand::Upload:
        case TFTPCommand::ResumeUpload:
            success = RunTransferCommand(item);
            break;
        case TFTPCommand::Delete:
            SendCommand("DELE " + item.Param(1));
            success = GetReplyClass() == 2;
            if (success)
                Notify(TNotificationCode::DeleteSuccessful,
                       TDeleteSuccessfulEventData{item.Param(1)});
            break;
        case TFTPCommand::Rename:
            SendCommand("RNFR " + item.Param(1));
            if (GetReplyClass() == 3) {
                SendCommand("RNTO " + item.Param(2));
                success = GetReplyClass() == 2;
            }
            if (success)
                Notify(TNotificationCode::RenameSuccessful,
                       TRenameSuccessfulEventData{item.Param(1), item.Param(2)});
            break;
        case TFTPCommand::CreateFolder:
            success = FolderCommand("MKD " + item.Param(1), 2);
            break;
        case TFTPCommand::RemoveFolder:
            success = FolderCommand("RMD " + item.Param(1), 3);
            break;
        case TFTPCommand::NoOp:
            Quiet = true;
            try {
                SendCommand("NOOP");
                success = GetReplyClass() == 2;
            } catch (...) {
                Quiet = false;
                throw;
            }
            Quiet = false;
            break;
        case TFTPCommand::SetType: {
            const int64_t code = item.NumberParam(1);
            const char letter = code >= 0 && code <= 4 ? TypeLetters[code] : 'I';
            if (letter == TypeLetter) {
                success = true;
            } else {
                SendCommand(QByteArray("TYPE ") + letter);
                success = GetReplyClass() == 2;
                TypeLetter = success ? letter : 0;
            }
            BinaryType = success && (letter == 'I' || letter == 'L');
            if (success) LastTypeLetter = letter;
            // A refused TYPE leaves the server in the type it had.
            if (success) AsciiType = letter == 'A';
            break;
        }
        case TFTPCommand::ChangeAttributes: {
            const QByteArray tail = item.Param(1) + ' ' + item.Param(2);
            SendCommand("SITE CHMOD " + tail);
            success = GetReplyClass() == 2;
            if (!success && ReplyCode >= 500) {
                SendCommand("CHMOD " + tail);
                success = GetReplyClass() == 2;
            }
            break;
        }
        case TFTPCommand::GetHTTP:
            success = GetHTTP(item);
            break;
        }
    } catch (const ESocketException& e) {
        DebugHost("DoCommand.ESocketException");
        success = false;
        const bool control = dynamic_cast<const EControlSocketException*>(&e) != nullptr;
        if (e.ErrorCode == WSAECONNRESET_ && control) {
            if (!e.Message.isEmpty()) LogError(e.Message);
            NotifyDisconnect();
        } else if (control && !Aborted() && e.ErrorCode == WSAETIMEDOUT_) {
            // A time-out would otherwise end the command without a word to the user.
            LogError(e.Message);
        }
        if (item.Command == TFTPCommand::FirewallLogin || item.Command == TFTPCommand::Login)
            Notify(TNotificationCode::CantLogIn);
    } catch (const EStreamError& e) {
        DebugHost("DoCommand.EStreamError");
        success = false;
        LogError(e.Message);
    } catch (const std::exception& e) {
        // Nothing else is expected here; the worker must outlive it all the same.
        DebugHost("DoCommand.Exception %s", e.what());
        success = false;
        LogError(QString::fromUtf8(e.what()));
    }

    if (Aborted()) LogInfo(QStringLiteral("Action aborted by user."));
    NotifyCommandCompleted(item, success, Aborted());
    if (!item.KeepItem) CurrentItem = nullptr;
    return success;
}
