#pragma once

#include "engine/EngineSettings.h"
#include "engine/FtpCommand.h"
#include "engine/Tls.h"
#include "listing/RemoteItem.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <variant>

// Notifications travel from a session's worker thread to the thread that owns the
// component, in posting order.
enum class TNotificationCode : int {
    Abort = 1044,
    CantLogIn = 1045,
    CommandCompleted = 1046,
    Connect = 1047,
    DeleteSuccessful = 1048,
    Disconnect = 1049,
    Error = 1050,
    FolderReply = 1051,
    Log = 1052,
    LoggedIn = 1053,
    Progress = 1054,
    ProcessList = 1055,
    RenameSuccessful = 1056,
    UpdateFileSize = 1057,
    // The log-in stopped at a certificate nobody vouches for.
    UntrustedCertificate = 1058,
};

struct TCommandCompletedEventData {
    TFTPCommand Command = TFTPCommand::None;
    bool Success = false;
    bool Aborted = false;
    // The id AddCommand gave the command. A transfer retried with a folder change
    // completes twice; only its last completion is final.
    uint64_t Id = 0;
    bool Final = true;
};

struct TDeleteSuccessfulEventData {
    QByteArray FileName;
};

struct TErrorData {
    int32_t Code = 0;
    QString Description;
};

// Reply type: 0 PWD, 1 CWD, 2 MKD, 3 RMD.
struct TFolderEventData {
    QByteArray Folder;
    uint8_t ReplyType = 0;
    bool Result = false;
};

struct TLogData {
    QString Message;
    TColor Color = 0;
};

struct TProcessListData {
    QByteArray Folder;
    std::shared_ptr<TRemoteItemList> Items;
    TNotUnderstoodLines NotUnderstood;
};

// Stage: 0 start, 1 running, 2 end.
struct TProgressData {
    uint8_t Stage = 0;
    bool IsFile = true;
    int64_t Bytes = 0;
};

struct TRenameSuccessfulEventData {
    QByteArray OldName;
    QByteArray NewName;
};

struct TUpdateFileSizeEventData {
    QString FileName;
    int64_t NewSize = 0;
};

using TNotificationPayload =
    std::variant<std::monostate, TCommandCompletedEventData, TDeleteSuccessfulEventData, TErrorData,
                 TFolderEventData, TLogData, TProcessListData, TProgressData,
                 TRenameSuccessfulEventData, TUpdateFileSizeEventData, TCertificateInfo>;

struct TNotification {
    TNotificationCode Code = TNotificationCode::Abort;
    TNotificationPayload Payload;
};
