#pragma once

#include "engine/FtpCommand.h"
#include "engine/Notifications.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class TFTPComponent;
struct TSessionShared;
class QSocketNotifier;
class QTimer;

// The session's notifications. Each fires only when assigned; an object that borrows
// a session copies this block and gives it back afterwards.
struct TFTPHandlers {
    std::function<void(TFTPComponent*)> OnAbort;
    std::function<void(TFTPComponent*)> OnCantLogIn;
    std::function<void(TFTPComponent*, TFTPCommand, bool success, bool aborted)> OnCommandCompleted;
    // The same completion with the command's identity; fired right after OnCommandCompleted.
    std::function<void(TFTPComponent*, const TCommandCompletedEventData&)> OnCommandResult;
    std::function<void(TFTPComponent*)> OnConnect;
    std::function<void(TFTPComponent*, const QByteArray& fileName)> OnDeleteSuccessful;
    std::function<void(TFTPComponent*)> OnDisconnect;
    std::function<void(TFTPComponent*, int code, const QString& description)> OnError;
    std::function<void(TFTPComponent*, const QByteArray& folder, uint8_t replyType, bool result)>
        OnFolderReply;
    std::function<void(TFTPComponent*, const QString& message, TColor color)> OnLog;
    std::function<void(TFTPComponent*)> OnLoggedIn;
    std::function<void(TFTPComponent*, uint8_t stage, bool isFile, int64_t bytes)> OnProgress;
    // The handler takes the list over. Beside it, the listing's lines that no parser
    // understood (the first hundred, and their count).
    std::function<void(TFTPComponent*, const QByteArray& folder, TRemoteItemList items,
                       const TNotUnderstoodLines& notUnderstood)>
        OnProcessList;
    std::function<void(TFTPComponent*, const QByteArray& oldName, const QByteArray& newName)>
        OnRenameSuccessful;
    std::function<void(TFTPComponent*, const QString& fileName, int64_t newSize)> OnUpdateFileSize;
    // The log-in was refused at the server's certificate; trusting its fingerprint and
    // logging in again gets past it.
    std::function<void(TFTPComponent*, const TCertificateInfo& certificate)> OnUntrustedCertificate;
};

// One FTP session. Lives on the thread that creates it; every operation only queues
// a command for the session's worker thread and returns at once. Outcomes come back
// as notifications on this thread, in the order the worker posted them.
class TFTPComponent : public QObject, public TFTPHandlers {
    Q_OBJECT
public:
    // A session without an owner (the transfer queue's) skips "QUIT" and the resume probe.
    explicit TFTPComponent(QObject* owner = nullptr);
    ~TFTPComponent() override;

    // Connection parameters, read when a log-in command is queued.
    QString Host;
    int Port = 0;
    QByteArray User, Password, Account;
    uint8_t FirewallType = 0;
    QString FirewallHost;
    int FirewallPort = 0;
    QByteArray FirewallUser, FirewallPassword;
    TSessionSecurity Security;

    // Read and written by the worker during commands too.
    bool Passive() const;
    void SetPassive(bool on);
    bool ResumeSupported() const;
    void SetResumeSupported(bool on);
    uint8_t ServerType() const;
    void SetServerType(uint8_t type);

    bool LoggedIn() const { return LoggedIn_; }
    bool Connected() const;
    bool Busy() const;
    bool HasOwner() const;

    void Login();
    void FirewallLogin();
    void Disconnect();
    // Stops the running command; the queued ones complete as aborted without running.
    void Abort();
    // Each queuing operation returns the id of its main command (0 when nothing was
    // queued), as OnCommandResult reports it.
    uint64_t GetCurrentFolder();
    uint64_t SetCurrentFolder(const QByteArray& folder);
    // Lists into OnProcessList under `folder`. With a server folder, the session changes
    // there first (unless it is already there), so the listing is that folder's.
    uint64_t List(const QByteArray& folder, const QByteArray& listingArgument,
                  const QByteArray& serverFolder = QByteArray());
    uint64_t Download(const QByteArray& remoteFolder, const QByteArray& remoteName,
                      const QString& localFile, int transferType);
    uint64_t Upload(const QString& localFile, const QByteArray& remoteFolder,
                    const QByteArray& remoteName, int transferType, int64_t resume);
    // With serverTime, a finished download takes the server's MDTM time (for a file
    // whose date the caller does not know).
    uint64_t ResumeDownload(const QByteArray& remoteFolder, const QByteArray& remoteName,
                            const QString& localFile, int transferType, int64_t knownSize,
                            int64_t resume, bool serverTime = false);
    uint64_t ResumeUpload(const QString& localFile, const QByteArray& remoteFolder,
                          const QByteArray& remoteName, int transferType, int64_t resume);
    uint64_t Delete(const QByteArray& name);
    uint64_t Rename(const QByteArray& oldName, const QByteArray& newName);
    uint64_t CreateFolder(const QByteArray& name);
    uint64_t RemoveFolder(const QByteArray& name);
    void NoOp();
    uint64_t GetHTTP(const QString& url, const QString& localFile);
    // Permission bits of a remote item's attributes become the mode digits ("755").
    uint64_t ChangeAttributes(const QByteArray& remoteName, uint16_t attributes);
    static QByteArray ModeDigits(uint16_t attributes);

    uint64_t AddCommand(TFTPCommand command, const QList<QByteArray>& params);
    // The id the next queued command gets: completions below it are of earlier commands.
    uint64_t NextCommandId() const { return NextCommandId_ + 1; }

    int IdleSeconds() const { return IdleSeconds_; }
    static const QList<TFTPComponent*>& LiveComponents();
    // The keep-alive timer's period (10 s); tests shorten it.
    static void SetKeepAliveInterval(int ms);
    // Waits (bounded) until every worker thread has ended; for orderly program exit.
    static bool WaitForWorkers(int timeoutMs);

private:
    void DeliverPending();
    void Deliver(TNotification& notification);
    static void KeepAliveTick();
    void StartKeepAliveTimer();

    std::shared_ptr<TSessionShared> Shared_;
    QSocketNotifier* Notifier_ = nullptr;
    bool LoggedIn_ = false;
    int IdleSeconds_ = 0;
    bool Delivering_ = false;
    uint64_t NextCommandId_ = 0;
    std::shared_ptr<bool> Alive_;
};
