// List, Download, Upload and their resumed forms: the steps around the transfer step.
#include "engine/FtpThread.h"

#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"
#include "listing/FactsListing.h"
#include "listing/ListingParser.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

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
        // A machine listing reads the same on every server and shows every entry, so it
        // takes no options of ls; a server that offered it and then refuses it is not
        // asked again.
        bool facts = HasFeature("MLST") && !FactsRefused;
        if (facts) {
            const bool option =
                argument.startsWith('-') || argument.contains('*') || argument.contains('?');
            if (!TransferData(option ? QByteArray("MLSD") : ("MLSD " + argument).trimmed(), true, 0,
                              listing)) {
                if (!TransferRefused || ReplyCode / 100 != 5 || Aborted()) {
                    ProgressIsFile = true;
                    return false;
                }
                FactsRefused = true;
                facts = false;
                LogInfo(QStringLiteral("The server refused MLSD; listing with LIST instead"));
            }
        }
        if (facts || TransferData(("LIST " + argument).trimmed(), true, 0, listing)) {
            const int serverType = Shared->ServerType;
            if (ServerTypeHasParser(serverType)) {
                TListingOutcome outcome =
                    facts
                        ? TListingOutcome{ParseFactsListing(listing.Data, Shared->Host()), {}, 0, 0}
                        : ReadListing(ListingParserFor(serverType), listing.Data,
                                      QDate::currentDate(), Shared->Host());
                auto items = std::make_shared<TRemoteItemList>(std::move(outcome.Items));
                // LIST hides dot files unless asked with -a; MLSD shows every entry.
                if (facts && !(argument.startsWith('-') && argument.contains('a')))
                    std::erase_if(*items, [](const TRemoteListEntry& entry) {
                        return entry.Name.startsWith('.');
                    });
                Notify(TNotificationCode::ProcessList,
                       TProcessListData{
                           item.Param(1),
                           items,
                           {std::move(outcome.NotUnderstood), outcome.NotUnderstoodCount}});
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
    if (!TransferData(verb + ' ' + remoteName, receive, resume, file)) return false;
    return receive || !BinaryType || UploadedSizeMatches(remoteName, file.Size());
}

bool TFTPThread::UploadedSizeMatches(const QByteArray& remoteName, int64_t localSize) {
    SendCommand("SIZE " + remoteName);
    // A server without SIZE says nothing either way.
    if (GetReplyClass() != 2) return true;
    bool number = false;
    const int64_t size = ReplyText.mid(4).trimmed().toLongLong(&number);
    if (!number || size == localSize) return true;
    LogError(QStringLiteral("The server holds %1 bytes of \"%2\" after the upload, not %3")
                 .arg(size)
                 .arg(QString::fromUtf8(remoteName))
                 .arg(localSize));
    return false;
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
    // Text arrives with other line ends than the file on disk has, so no offset in the
    // local file matches one on the server: a text download always starts afresh.
    const int64_t resume =
        item.Params.size() >= 5 && Shared->ResumeSupported && !AsciiType ? item.NumberParam(5) : 0;
    const TFileMode mode = resume > 0 ? TFileMode::OpenWrite : TFileMode::Create;
    const QString localFile = QFile::decodeName(item.Param(1));
    LocalFileName = localFile;
    AnnouncedFileSize = -1;
    TransferRefused = false;

    bool success = false;
    try {
        // A resume asks even when the caller knew a size: a listing may be old, and the
        // size is what tells a server that ignores the restart.
        if (knownSize == 0 || resume > 0) {
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
        // Without the server's word the listing's size tells a short download.
        if (AnnouncedFileSize < 0 && knownSize > 0) AnnouncedFileSize = knownSize;
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
    int64_t resume =
        item.Params.size() >= 4 && Shared->ResumeSupported && !AsciiType ? item.NumberParam(4) : 0;
    if (resume < 0) {
        // Goes on from what the server already has (an upload cut short by a crash).
        resume = 0;
        SendCommand("SIZE " + item.Param(2));
        if (GetReplyClass() == 2)
            resume = std::max<int64_t>(ReplyText.mid(4).trimmed().toLongLong(), 0);
    }
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
