// List, Download, Upload and their resumed forms: the steps around the transfer step.
#include "engine/FtpThread.h"

#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"
#include "listing/ListingParser.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

bool TFTPThread::RunTransferCommand(TCommandItem& item) {
    switch (item.Command) {
    case TFTPCommand::List:
        return ListCommand(item);
    case TFTPCommand::Download:
    case TFTPCommand::ResumeDownload:
        return DownloadCommand(item);
    case TFTPCommand::Upload:
    case TFTPCommand::ResumeUpload:
        return UploadCommand(item);
    default:
        return false;
    }
}

bool TFTPThread::ListCommand(TCommandItem& item) {
    ProgressIsFile = false;
    AnnouncedFileSize = -1;
    QByteArray argument = item.Param(2);
    if (argument == "*.*") argument.clear();
    TMemoryStream listing;
    bool success = false;
    try {
        // The listing is stored under the folder it names, so it must come from there.
        const QByteArray serverFolder = item.Param(3);
        if (!serverFolder.isEmpty() && serverFolder != CurrentFolder) {
            SendCommand("CWD " + serverFolder);
            if (GetReplyClass() != 2) {
                ProgressIsFile = true;
                return false;
            }
            CurrentFolder = serverFolder;
        }
        if (TransferData(("LIST " + argument).trimmed(), true, 0, listing)) {
            const int serverType = Shared->ServerType;
            if (ServerTypeHasParser(serverType)) {
                auto items = std::make_shared<TRemoteItemList>(
                    ParseListing(serverType, listing.Data, QDate::currentDate(), Shared->Host()));
                Notify(TNotificationCode::ProcessList, TProcessListData{item.Param(1), items});
                success = true;
            }
        }
    } catch (...) {
        ProgressIsFile = true;
        throw;
    }
    ProgressIsFile = true;
    return success;
}

bool TFTPThread::FileTransfer(const QByteArray& verb, const QString& localFile,
                              QByteArray remoteFolder, int64_t resume, bool receive, TFileMode mode,
                              QByteArray remoteName) {
    if (!remoteFolder.isEmpty()) {
        if (remoteName.startsWith(remoteFolder)) remoteName.remove(0, remoteFolder.size());
        if (remoteFolder != CurrentFolder) {
            SendCommand("CWD " + remoteFolder);
            if (GetReplyClass() != 2) return false;
            CurrentFolder = remoteFolder;
        }
    }
    TFileStream file(localFile, mode);
    return TransferData(verb + ' ' + remoteName, receive, resume, file);
}

// Only a refused transfer command is worth the second run with a folder change: a
// transfer that started and broke would be repeated from the start over the partial file.
static bool WantsFolderFallBack(const TFTPThread& thread, bool success, bool hadFolderChange) {
    return !success && !thread.Aborted() && !hadFolderChange && thread.TransferRefused &&
           thread.ControlSocket.IsOpen();
}

bool TFTPThread::DownloadCommand(TCommandItem& item) {
    const bool hadFolderChange = UseFolderChange;
    const QByteArray folder = UseFolderChange ? item.Param(3) : QByteArray();
    const int64_t knownSize = item.NumberParam(4);
    const int64_t resume =
        item.Params.size() >= 5 && Shared->ResumeSupported ? item.NumberParam(5) : 0;
    const TFileMode mode = resume > 0 ? TFileMode::OpenWrite : TFileMode::Create;
    const QString localFile = QFile::decodeName(item.Param(1));
    LocalFileName = localFile;
    // A size the caller knew (from an older listing) may be stale: only the server's
    // own announcement here decides whether the download came up short.
    AnnouncedFileSize = -1;
    TransferRefused = false;

    bool success = false;
    try {
        if (knownSize == 0) {
            SendCommand("SIZE " + item.Param(2));
            if (GetReplyClass() == 2) {
                const int64_t size = ReplyText.mid(4).trimmed().toLongLong();
                if (size > 0) {
                    AnnouncedFileSize = size;
                    Notify(TNotificationCode::UpdateFileSize,
                           TUpdateFileSizeEventData{localFile, size});
                }
            }
        }
        const QString localFolder = QFileInfo(localFile).path();
        if (!localFolder.isEmpty()) QDir().mkpath(localFolder);
        success = FileTransfer("RETR", localFile, folder, resume, true, mode, item.Param(2));
        // Asked for when the caller knows no date of the file (Param 6).
        if (success && item.Param(6) == "1") {
            QByteArray name = item.Param(2);
            if (!folder.isEmpty() && name.startsWith(folder)) name.remove(0, folder.size());
            StampWithServerTime(name, localFile);
        }
    } catch (...) {
        LocalFileName.clear();
        throw;
    }
    LocalFileName.clear();

    if (WantsFolderFallBack(*this, success, hadFolderChange)) {
        UseFolderChange = true;
        item.KeepItem = true;
        success = DoCommand(item);
        item.KeepItem = false;
    }
    return success;
}

bool TFTPThread::UploadCommand(TCommandItem& item) {
    const bool hadFolderChange = UseFolderChange;
    const QByteArray folder = UseFolderChange ? item.Param(3) : QByteArray();
    const int64_t resume =
        item.Params.size() >= 4 && Shared->ResumeSupported ? item.NumberParam(4) : 0;
    TransferRefused = false;
    const bool success = FileTransfer("STOR", QFile::decodeName(item.Param(1)), folder, resume,
                                      false, TFileMode::OpenRead, item.Param(2));
    if (WantsFolderFallBack(*this, success, hadFolderChange)) {
        UseFolderChange = true;
        item.KeepItem = true;
        const bool second = DoCommand(item);
        item.KeepItem = false;
        return second;
    }
    return success;
}
