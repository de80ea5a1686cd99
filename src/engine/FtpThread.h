#pragma once

#include "engine/Notifications.h"
#include "engine/ReplyReader.h"
#include "engine/SessionShared.h"
#include "engine/Socket.h"
#include "engine/TransferStream.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

#include <sys/socket.h>

class QIODevice;

// The worker of one session: takes commands off the queue one at a time and does
// all of the session's socket work. Lives on its own thread; talks to the component
// only through the shared block.
class TFTPThread {
public:
    // Starts the worker on a new detached thread; it ends itself once the queue is
    // terminated.
    static void Start(std::shared_ptr<TSessionShared> shared);
    // Worker threads still running (the program waits for them before it exits).
    static int RunningCount();
    static bool WaitForAll(int timeoutMs);

    explicit TFTPThread(std::shared_ptr<TSessionShared> shared);
    ~TFTPThread();
    void Run();

    // --- notifications (Notify.cpp) ---
    void Notify(TNotificationCode code, TNotificationPayload payload = {});
    void Log(const QString& message, TColor color);
    void LogInfo(const QString& message);
    void LogError(const QString& message);
    void NotifyDisconnect();
    void NotifyCommandCompleted(const TCommandItem& item, bool success, bool aborted);

    // --- control connection (ControlConnection.cpp) ---
    // The retry loop keeps an abort that arrives between attempts (clearAbort false):
    // with unlimited retries it would otherwise be lost and the loop go on for ever.
    bool ConnectControl(const QByteArray& host, const QByteArray& portText, bool clearAbort = true);
    bool OpenSocket(TSocket& socket, const sockaddr_storage& address, int port);
    void CloseSocketGraceful(TSocket& socket);
    void SendCommand(const QByteArray& text);
    int GetReply(bool wait);
    int GetReplyClass() { return GetReply(true); }
    void FlushControlSocket();
    void ReportWSAError();
    [[noreturn]] void DoErrorControl();
    [[noreturn]] void DoErrorAborted();
    void StartTimeOut() { Wait.StartTimeOut(); }
    void StopTimeOut() { Wait.StopTimeOut(); }
    bool TimedOut() const { return Wait.TimedOut(); }
    bool Aborted() const { return Wait.Aborted(); }
    void DebugHost(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // --- command execution (Commands.cpp) ---
    bool DoCommand(TCommandItem& item);
    bool FolderCommand(const QByteArray& command, uint8_t replyType);

    // --- log-in (Login.cpp) ---
    // again: the connection is made anew for the same log-in, which the session's
    // owners still take as the one they had (no notice of it, no server-type probe).
    bool ConnectionStep(TCommandItem& item, bool again = false);
    // A server that closed the connection while the session was idle (restarted, timed
    // out) is logged on to again before the next command, which then runs as if nothing
    // happened. False when the connection is fine or could not be made again.
    bool ReopenDeadControl();
    bool ControlClosedByPeer();
    bool HostLogin(const QByteArray& user, const QByteArray& password, const QByteArray& account,
                   bool readGreeting);
    bool FirewallLoginSteps(int firewallType, const QByteArray& firewallUser,
                            const QByteArray& firewallPassword, const QByteArray& host,
                            const QByteArray& portText, const QByteArray& user,
                            const QByteArray& password, const QByteArray& account);
    void DetectServerType();
    void LoggedInSteps();
    void SendPassword(const QByteArray& password);

    // --- encryption and the server's features (Secure.cpp) ---
    // The control connection's handshake and the check of the server's certificate.
    // Throws, as a refusal that another attempt would not change, when either fails.
    void StartControlTls();
    // AUTH TLS after the greeting. Where encryption is only wanted if offered, a server
    // that refuses AUTH gets a plain session; once it accepted, nothing goes out
    // unencrypted.
    void NegotiateExplicitTls();
    // PBSZ 0 and PROT P after the log-in, so listings and files are encrypted too.
    void ProtectDataConnections();
    // After the transfer command's preliminary reply, when PROT P holds.
    bool StartDataTls();
    void ReadFeatures();
    // FEAT named it (the first word of a feature line, in any case).
    bool HasFeature(const QByteArray& name) const;

    // --- data connections (DataConnection.cpp) ---
    bool PreparePassive();
    bool PrepareActive();
    bool AcceptData();

    // --- the transfer step and the data loop (DataTransfer.cpp) ---
    bool TransferData(const QByteArray& command, bool receive, int64_t resume,
                      TTransferStream& stream);
    // Moves bytes until the peer closes; returns the final position, counted in bytes on
    // the wire. Receiving with a limit that is not negative, nothing past it is written:
    // a peer that would send more sets PassedLimit and ends the loop.
    // Raises EDataSocketException on abort, time-out or a socket error.
    int64_t TransferSocketData(TSocket& socket, TTransferStream& stream, bool receive,
                               int64_t limit = -1);
    // After a failed transfer: reads the completion reply the server still owes,
    // keeping an abort that was requested.
    void ReadPendingReply();

    // --- List, Download, Upload and their resumed forms (Transfers.cpp) ---
    bool RunTransferCommand(TCommandItem& item);
    bool ListCommand(TCommandItem& item);
    bool DownloadCommand(TCommandItem& item);
    bool UploadCommand(TCommandItem& item);
    bool FileTransfer(const QByteArray& verb, const QString& localFile, QByteArray remoteFolder,
                      int64_t resume, bool receive, TFileMode mode, QByteArray remoteName);
    // After a download: the local file takes the server's MDTM time, when it has one
    // (ServerTime.cpp).
    void StampWithServerTime(const QByteArray& remoteName, const QString& localFile);
    // After a binary upload: false, with a red line, when the server's SIZE differs.
    bool UploadedSizeMatches(const QByteArray& remoteName, int64_t localSize);

    // --- HTTP download (HttpDownload.cpp) ---
    bool GetHTTP(TCommandItem& item);

    std::shared_ptr<TSessionShared> Shared;
    TCommandItem* CurrentItem = nullptr;
    TSocket ControlSocket;
    TSocket DataSocket;
    // Active mode's listening socket, from PORT until the server connects.
    TSocket ListenSocket;
    sockaddr_storage HostAddress{};
    bool HostAddressKnown = false;
    TReplyReader Reader;
    int RepliesNeeded = 0;
    int ReplyCode = 0;
    QByteArray ReplyText;
    std::optional<QList<QByteArray>> CapturedLines;
    bool Quiet = false;
    TWaitControl Wait;
    int LastError = 0;
    QString LocalFileName;
    bool ProgressIsFile = true;
    QByteArray CurrentFolder;
    bool UseFolderChange = false;
    // Set by a successful TYPE: only binary uploads can be checked against the server's SIZE.
    bool BinaryType = false;
    // Set by a successful TYPE A: files get the local line ends and are never resumed.
    bool AsciiType = false;
    // The type this connection was last set to (0: unknown, e.g. a new connection): a
    // queue of small files would otherwise send the same TYPE before every file.
    char TypeLetter = 0;
    // Size the running download should reach (SIZE, the 150 reply or the caller's
    // listing), or -1.
    int64_t AnnouncedFileSize = -1;
    // The last receive went on past its limit (a server that ignored REST).
    bool PassedLimit = false;
    // The server answered the last transfer command with a refusal, not a preliminary reply.
    bool TransferRefused = false;
    QByteArray DataBuffer;
    // The log-in that opened the control connection, and the last type the server took.
    std::optional<TCommandItem> LastLogin;
    char LastTypeLetter = 0;
    // Where the log-in connects, as the command named it (for the certificate's host).
    QByteArray LoginHost, LoginPort;
    TEncryption Encryption = TEncryption::None;
    QList<QByteArray> TrustedFingerprints;
    bool AcceptAnyCertificate = false;
    // PROT P holds: every data connection is encrypted.
    bool DataTls = false;
    // The log-in failed in a way another attempt would not change (a certificate, a
    // server without encryption for a site that requires it).
    bool LoginFinal = false;
    // The lines of the FEAT reply, trimmed; empty when the server has no FEAT.
    QList<QByteArray> Features;
    // Learnt from refusals since the last FEAT: MLSD refused although offered (LIST
    // lists), PASV refused and EPSV taken instead (asked for at once).
    bool FactsRefused = false;
    bool ExtendedPassive = false;

private:
    void CloseControl();
};
