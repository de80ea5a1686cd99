#pragma once

#include "engine/FtpComponent.h"
#include "listing/NameCharset.h"
#include "views/RemotePath.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>

class IViewQuestions;
struct TSettings;

// A shown or cached folder listing. Shared, never changed once shown: whoever shows it
// keeps its own reference, so invalidating or refreshing the cache leaves it intact.
using TListingPtr = std::shared_ptr<const TRemoteItemList>;

// The reason a batch of downloads for local programs runs; 0 when none does.
enum TTransferReason {
    trNone = 0,
    trSendFile = 1,
    trDownloadNow = 2,
    trOpen = 3,
    trView = 4,
    trEdit = 5
};

// Host view state codes, as reported to the main window.
enum THostState {
    hsConnected = 36,
    hsError = 66,
    hsBusy = 128,
    hsIdle = 129,
    hsLoggedIn = 130,
    hsDisconnected = 131,
    hsCantLogIn = 132,
    hsFileArrived = 133,
    hsAllDone = 134,
    hsAborted = 136,
};

struct TLogEntry {
    QString Text;
    TColor Color = 0;
};

// Everything a remote pane does that is not drawing: one session, the folder cache and
// the known folders, navigation, the notification handlers, the path rules, the log,
// the recursive delete and the view batch. The pane draws what this reports.
class THostBrowser : public QObject {
    Q_OBJECT
public:
    explicit THostBrowser(QObject* parent = nullptr);
    ~THostBrowser() override;

    static constexpr int MaxLogEntries = 800;

    TFTPComponent* Session() const { return Session_; }
    void SetSettings(const TSettings* settings) { Settings_ = settings; }
    const TSettings& Settings() const;
    bool UsesFirewall = false;
    // The site's character set for names that are not UTF-8; only their display uses it.
    TNameCharset NameCharset;
    // A server path or name as the pane shows it, read in the site's character set.
    QString PathText(const QByteArray& path) const { return NameCharset.Decode(path); }
    // A path the user typed, as bytes for the server (see TNameCharset::Encode).
    QByteArray PathBytes(const QString& text) const { return NameCharset.Encode(text); }
    // Who is asked about a server certificate nobody vouches for; none: it is refused.
    void SetQuestions(IViewQuestions* questions) { Questions_ = questions; }
    // The trusted-certificates store (see TTrustedCertificates); none: nothing is kept.
    QString CertificatesFile;

    // Navigation. The security's fingerprints are joined by those the store keeps for
    // the host and port.
    void Connect(const QString& host, int port, const QString& selectMasks,
                 const QString& initialFolder, const QByteArray& user, const QByteArray& password,
                 const QByteArray& account, TSessionSecurity security = {});
    void Disconnect();
    void Stop();
    bool Connected() const;
    bool ShowFolder(const QByteArray& path);
    // Shows the folder and waits (processing events) until it is shown or the request
    // fails, is aborted or the connection drops. True when the folder is shown.
    bool ShowFolderAndWait(const QByteArray& path);
    bool GoUp();
    bool Refresh();
    void InvalidateFolder(const QByteArray& path);
    // Lists the folder afresh without showing it and waits for the listing (stored in the
    // cache too). False when it cannot be listed or the connection drops meanwhile.
    bool ListFolderAndWait(const QByteArray& path, TListingPtr& listing);

    // Commands on items of the shown folder (names are raw server bytes).
    void CreateFolder(const QString& name);
    void Rename(const QByteArray& oldName, const QString& newName);
    void ChangeAttributes(const QByteArray& name, uint16_t attributes);
    // Deletes files and links with DELE, and folders (never links) with their contents.
    // False when something could not be listed or the walk was interrupted.
    bool DeleteItems(const TRemoteItemList& items);
    bool Deleting() const { return Deleting_; }
    // Moves the items into another folder of the server (a server path, absolute or below
    // the shown folder), one rename each, then lists the shown folder again. The count of
    // renames queued: none when the destination is the shown folder.
    int MoveItems(const TRemoteItemList& items, const QByteArray& destination);
    // Downloads the items for local programs (reason 2 to 5) into the destination folder,
    // one after another; OnTransferred reports the local names that arrived.
    void ViewFiles(int reason, const QString& destinationFolder, const TRemoteItemList& items);
    // Sends one local file into the shown folder, from its beginning.
    void SendFile(const QString& localFile);
    void AddTransferredItem(const QByteArray& folder, double date, int64_t size,
                            uint16_t attributes, const QByteArray& name);

    // State.
    QByteArray Folder() const { return Folder_; }
    QChar Separator() const { return QLatin1Char(Form_.Separator); }
    const TRemotePathForm& PathForm() const { return Form_; }
    QByteArray ToServerPath(const QByteArray& viewPath) const;
    QByteArray ItemPath(const QByteArray& name) const;
    QString ItemURL(const QByteArray& name) const;
    QString ServerPathURL(const QByteArray& serverPath) const;
    bool AwaitingFolder() const { return Awaiting_; }
    bool TransfersBusy = false;
    // The listing of a cached folder (null when unknown or not listed yet).
    TListingPtr CachedListing(const QByteArray& path) const;
    bool IsCached(const QByteArray& path) const;
    TListingPtr ShownListing() const { return Shown_; }
    QStringList MaskList() const { return Masks_; }
    QString GetMask() const;
    void SetMask(const QString& text);
    // The select-after-list masks that apply to the folder just shown (taken once).
    QStringList TakeSelectMasks();
    const std::set<QByteArray>& KnownFolders() const { return Known_; }
    const std::deque<TLogEntry>& LogEntries() const { return Log_; }
    // How many lines of the folder's last listing no parser understood.
    int64_t NotUnderstoodCount(const QByteArray& path) const;
    int BatchReason() const { return BatchReason_; }

    // Splits mask text at ";", commas, blanks and line breaks, lower case.
    static QStringList SplitMasks(const QString& text);
    // Whether a link shows as a folder: its target's last "." or "/" is not a ".".
    static bool LinkLooksLikeFolder(const QByteArray& name);

Q_SIGNALS:
    // The pane adds its selected count.
    void StateChanged(int state);
    void LogLine(const QString& text, TColor color);
    // A folder's listing is to be shown (the pane filters by the masks and sorts).
    void FolderShown(const QByteArray& folder, TListingPtr listing);
    void ListCleared();
    // The shown folder's display changed without a new listing (a mask was set).
    void MaskChanged();
    void ListEnabled(bool enabled);
    void TreeChanged();
    void ProgressText(const QString& text);
    void FileChanging(const QString& location);
    void Transferred(const QStringList& fileNames, int reason);
    // Something a wait in progress may be waiting for has happened.
    void WaitChanged();

private:
    void HookSession();
    void OnLoggedIn();
    void OnFolderReply(const QByteArray& folder, uint8_t replyType, bool result);
    void OnProcessList(const QByteArray& folder, TRemoteItemList items,
                       const TNotUnderstoodLines& notUnderstood);
    void OnRenameSuccessful(const QByteArray& oldName, const QByteArray& newName);
    void OnLog(const QString& text, TColor color);
    void OnProgress(uint8_t stage, bool isFile, int64_t bytes);
    void OnDisconnect();
    // After a log-in refused at the certificate: asks, and logs in again when trusted.
    void AskCertificate(const TCertificateInfo& certificate);
    void OnCommandResult(const TCommandCompletedEventData& result);
    void FolderRequestFailed(TFTPCommand command);
    void SetState(int state);
    void AppendLog(const QString& text, TColor color);
    void Await(uint64_t commandId);
    void EndAwait();
    void ShowCached(const QByteArray& path, const TListingPtr& listing);
    void QueueList(const QByteArray& path);
    bool DeleteFolderTree(const QByteArray& parentServer, const QByteArray& name, int depth);
    void StartNextBatchFile();
    void BatchFileDone(bool success);
    void RenameCachedFolders(const QByteArray& oldKey, const QByteArray& newKey);
    std::shared_ptr<TRemoteItemList> EditableListing(const QByteArray& key);
    QByteArray Key(const QByteArray& path) const { return FolderKey(path, Form_); }

    TFTPComponent* Session_ = nullptr;
    const TSettings* Settings_ = nullptr;
    IViewQuestions* Questions_ = nullptr;
    // Reported during the log-in; asked about once the log-in has ended.
    std::optional<TCertificateInfo> Certificate_;
    uint64_t Connections_ = 0;
    std::map<QByteArray, TListingPtr> Cache_; // null: known, not listed
    std::set<QByteArray> Known_;
    std::map<QByteArray, int64_t> NotUnderstood_;
    // Lines not understood that the log has shown in this connection: a listing read again
    // does not repeat them.
    std::set<QByteArray> LoggedNotUnderstood_;
    QByteArray Folder_;
    QByteArray LastGoodFolder_;
    TRemotePathForm Form_;
    TListingPtr Shown_;
    bool Awaiting_ = false;
    uint64_t AwaitedId_ = 0;
    QByteArray Requested_;
    uint64_t ListId_ = 0;
    QByteArray ListKey_;
    // The delete walk's own listing, awaited apart from navigation.
    uint64_t WalkListId_ = 0;
    bool WalkListDone_ = false;
    bool WalkListOk_ = false;
    bool Deleting_ = false;
    bool DeleteStopped_ = false;
    // Single-file sends, so a finished one is added to the cache.
    struct TSentFile {
        QByteArray FolderKey, Name;
        QString LocalFile;
    };
    std::map<uint64_t, TSentFile> Sent_;
    QStringList Masks_;
    QStringList SelectMasks_;
    QByteArray SelectFolder_;
    std::deque<TLogEntry> Log_;
    bool ClearLogAtConnect_ = false;
    // View batch.
    int BatchReason_ = 0;
    QStringList BatchFiles_;
    struct TBatchFile {
        QByteArray ServerFolder, Name;
        QString LocalPath;
        int Type = 2;
    };
    std::deque<TBatchFile> BatchQueue_;
    uint64_t BatchId_ = 0;
    QString BatchLocal_;
};
