#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

#include <sys/types.h>

class TWaitControl;
struct ssl_st;
struct TTlsSessionPool;

// How a session encrypts. Stored as these numbers in the site list.
enum class TEncryption : uint8_t {
    None = 0,
    // AUTH TLS when the server offers it; a plain session when it refuses AUTH.
    ExplicitIfOffered = 1,
    ExplicitRequired = 2,
    // TLS from the first byte (port 990).
    Implicit = 3,
};

// How one connection encrypts and which certificates it takes beyond those the
// system's authorities vouch for. Copied to every session of the same log-in.
struct TSessionSecurity {
    TEncryption Encryption = TEncryption::None;
    // SHA-256 fingerprints ("AB:CD:…") of certificates the user trusts for this host.
    QList<QByteArray> TrustedFingerprints;
    // Takes any certificate (the command line's --insecure); never a default.
    bool AcceptAnyCertificate = false;
    bool operator==(const TSessionSecurity&) const = default;
};

// What the user is shown of a server's certificate before trusting it.
struct TCertificateInfo {
    QString Host; // as the session named it, with ":port" unless 21
    QString Subject;
    QString Issuer;
    QString ValidFrom;
    QString ValidUntil;
    QByteArray Fingerprint; // SHA-256, "AB:CD:..."
    // Why the system's authorities do not vouch for it for this host; empty when they do.
    QString Problem;
    // The user trusted another certificate for this host before.
    bool Changed = false;
};

// "ab cd:EF…" (any case, colons or blanks optional) as "AB:CD:EF:…"; empty unless it
// is 32 bytes of hex.
QByteArray NormalizedFingerprint(const QByteArray& text);

// One TLS connection over a connected non-blocking descriptor, client side, TLS 1.2
// at least. Every wait goes through the session's wait control, so an abort or a
// time-out ends a handshake as it ends any other wait.
class TTlsConnection {
public:
    ~TTlsConnection();
    TTlsConnection(const TTlsConnection&) = delete;
    TTlsConnection& operator=(const TTlsConnection&) = delete;

    // hostName is checked against the certificate (an address text against its IP
    // entries). With resumeFrom, the handshake offers that connection's session: FTP
    // servers take a data connection that resumes the control connection's session as
    // coming from the same client.
    static std::unique_ptr<TTlsConnection> Create(int fd, const QByteArray& hostName,
                                                  const TTlsConnection* resumeFrom);

    // 0, or a WinSock-style error with ErrorText saying why.
    int Handshake(int fd, TWaitControl& wait);
    // As send and recv on a non-blocking socket: -1 with errno EAGAIN when it would
    // block; 0 from Receive at the peer's close.
    ssize_t Send(const char* data, size_t length);
    ssize_t Receive(char* data, size_t length);
    // Decrypted bytes already read from the socket, which a poll does not see.
    bool Pending() const;
    // Sends close_notify once, without waiting.
    void SendCloseNotify();
    TCertificateInfo Certificate() const;
    bool SameCertificate(const TTlsConnection& other) const;
    bool Resumed() const;
    // "TLSv1.3, TLS_AES_256_GCM_SHA384"
    QString Description() const;
    QString ErrorText;

private:
    explicit TTlsConnection(ssl_st* ssl) : Ssl_(ssl) {}
    ssl_st* Ssl_ = nullptr;
    // Shared by a control connection and the data connections that resume its session.
    std::shared_ptr<TTlsSessionPool> Pool_;
    bool CloseNotifySent_ = false;
};
