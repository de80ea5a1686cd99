#pragma once

#include "engine/FtpComponent.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class TTransferItems;
class ITransferManagerRow;
class ITransferView;

enum TItemState : uint8_t { isPending = 0, isBusy = 1, isDone = 2, isCancelled = 3, isError = 4 };
constexpr int ItemStateCount = 5;

// Transfer type codes handed to the session's set-type step.
enum TTransferType : uint8_t { ttASCII = 1, ttBinary = 2, ttEBCDIC = 3, ttLocal = 4 };

// a * b / c rounded half away from zero, -1 when c is 0; exact for 64-bit sizes.
int64_t MulDiv(int64_t a, int64_t b, int64_t c);

// One file (or one folder to create) to move in one direction. Folder and file names
// are bytes: remote ones exactly as the server sent them, local ones as the file
// system holds them.
class TTransferItem {
public:
    TTransferItem() = default;
    // Leaves its queue; gives a borrowed session its handlers back.
    ~TTransferItem();
    TTransferItem(const TTransferItem&) = delete;
    TTransferItem& operator=(const TTransferItem&) = delete;

    TTransferItems* Owner = nullptr;
    ITransferManagerRow* ListItem = nullptr;
    QString Host;
    int32_t Port = 0;
    QByteArray User, Password, Account;
    // Encryption and the certificates trusted for the host, as the log-in that queued it had.
    TSessionSecurity Security;
    QByteArray SourceFolder; // ends with its separator
    QByteArray DestFolder;   // ends with its separator
    QByteArray FileName;
    QByteArray DestFileName; // FileName when empty at Add
    int64_t Size = 0;
    double Date = 0;
    int64_t StartOffset = 0;
    // An upload that goes on from the length the server has, asked for when it starts.
    bool ResumeAtServer = false;
    bool Upload = false;
    bool IsFolder = false;
    ITransferView* SourceView = nullptr;
    ITransferView* DestView = nullptr;
    TFTPComponent* Session = nullptr;
    uint64_t StartTick = 0;
    // When bytes last arrived (or the item started): a transfer silent for long is stalled.
    uint64_t LastProgressTick = 0;
    int64_t BytesDone = 0;
    // Why the item failed: the first error its current run logged, e.g. the server's 550.
    QString ErrorText;
    bool IsHTTP = false;
    QString URL;
    bool UseFirewall = false;
    // The server keeps text with LF line ends: text files go as they are (TransferTypeFor).
    bool ServerKeepsLF = false;

    TItemState State() const { return State_; }
    // Every state change goes through here so that the queue's counters stay exact.
    void SetState(TItemState state);

    // Fills the connection and the source from an ftp:// or http:// URL.
    void SetURL(const QString& url);
    int Index() const;
    uint64_t ElapsedTicks() const;
    int PercentDone() const;
    // Aborts the session's command of a busy item; its completion sets the state.
    void Cancel();

    // The local file of the item, as a path.
    QString LocalPath() const;

private:
    friend class TTransferItems;

    void StartOn(TFTPComponent* session);
    void ReleaseSession(TFTPComponent* session);

    void ftpCommandCompleted(TFTPComponent* sender, TFTPCommand command, bool success,
                             bool aborted);
    // Passes on the completions of the commands this run of the item queued.
    void ftpCommandResult(TFTPComponent* sender, const TCommandCompletedEventData& result);
    void ftpConnect(TFTPComponent* sender);
    void ftpDisconnect(TFTPComponent* sender);
    void ftpError(TFTPComponent* sender, int code, const QString& message);
    void ftpLog(TFTPComponent* sender, const QString& message, TColor color);
    void ftpLoggedIn(TFTPComponent* sender);
    void ftpProgress(TFTPComponent* sender, uint8_t stage, bool isFile, int64_t bytes);
    void ftpFileSize(TFTPComponent* sender, const QString& localPath, int64_t size);
    void Finish(TFTPComponent* sender, TFTPCommand command, bool success, bool aborted);
    // A download that broke after bytes arrived goes on from the local length on the
    // same session (logging on again when the connection went); false when it may not.
    bool RetryWithResume(TFTPComponent* sender);

    TItemState State_ = isPending;
    // What the queue counted this item under while it is pending or busy.
    QByteArray ActiveKey_;
    // The handlers of a borrowed session as they were before this item first took it.
    TFTPHandlers SavedHandlers_;
    bool HasSavedHandlers_ = false;
    // The type step failed on a borrowed session; the transfer queued behind it still
    // runs there, and its completion ends the item.
    bool TypeFailed_ = false;
    // Resumes after broken connections so far, for this run of the item.
    int ResumeRetries_ = 0;
    // The session's id of the first command of the item's latest start.
    uint64_t FirstCommandId_ = 0;
};
