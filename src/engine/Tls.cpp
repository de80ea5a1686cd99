#include "engine/Tls.h"

#include "engine/Socket.h"
#include "engine/SocketErrors.h"

#include <QDateTime>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <deque>
#include <mutex>

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

// The sessions a server handed out on one control connection and its data connections.
// Under TLS 1.3 a server may take each ticket only once, so every data connection
// offers one not used yet; under TLS 1.2 (or when none is left) the last one again.
struct TTlsSessionPool {
    std::deque<SSL_SESSION*> Unused;
    SSL_SESSION* LastUsed = nullptr;

    ~TTlsSessionPool() {
        for (SSL_SESSION* session : Unused)
            SSL_SESSION_free(session);
        SSL_SESSION_free(LastUsed);
    }
    void Add(SSL_SESSION* session) {
        Unused.push_back(session);
        if (Unused.size() > 8) {
            SSL_SESSION_free(Unused.front());
            Unused.pop_front();
        }
    }
    SSL_SESSION* Take() {
        if (!Unused.empty()) {
            SSL_SESSION_free(LastUsed);
            LastUsed = Unused.back();
            Unused.pop_back();
        }
        return LastUsed;
    }
};

namespace {

// Every new session goes to the pool of its connection; the pool keeps the reference.
int KeepNewSession(SSL* ssl, SSL_SESSION* session) {
    auto* pool = static_cast<TTlsSessionPool*>(SSL_get_app_data(ssl));
    if (pool == nullptr) return 0;
    pool->Add(session);
    return 1;
}

// Made once and kept for the program's life: sessions on every worker share it.
SSL_CTX* Context = nullptr;

SSL_CTX* ClientContext() {
    static std::once_flag once;
    std::call_once(once, [] {
        // OpenSSL writes with plain send(): a peer that closed first must not end the
        // program with SIGPIPE.
        struct sigaction current {};
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            std::signal(SIGPIPE, SIG_IGN);
        SSL_CTX* context = SSL_CTX_new(TLS_client_method());
        if (context == nullptr) return;
        Context = context;
        SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
        SSL_CTX_set_default_verify_paths(context);
        // Many FTP servers close data connections without close_notify; the size checks
        // of the transfer catch a cut file.
        SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
        SSL_CTX_set_mode(context,
                         SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        SSL_CTX_set_session_cache_mode(context,
                                       SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
        SSL_CTX_sess_set_new_cb(context, KeepNewSession);
    });
    return Context;
}

QString OpenSslError() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return QString();
    char text[256] = {};
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromUtf8(text);
}

QString NameText(X509_NAME* name) {
    if (name == nullptr) return QString();
    BIO* bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    QString text = QString::fromUtf8(data, static_cast<qsizetype>(length));
    BIO_free(bio);
    return text;
}

QString TimeText(const ASN1_TIME* time) {
    tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) return QString();
    const QDateTime utc(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                        QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
    return utc.toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
}

bool IsAddress(const QByteArray& host) {
    in6_addr any{};
    return ::inet_pton(AF_INET, host.constData(), &any) == 1 ||
           ::inet_pton(AF_INET6, host.constData(), &any) == 1;
}

} // namespace

QByteArray NormalizedFingerprint(const QByteArray& text) {
    QByteArray hex;
    for (const char c : text) {
        if (c == ':' || c == ' ') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return QByteArray();
        hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (hex.size() != 64) return QByteArray();
    QByteArray out;
    for (int i = 0; i < hex.size(); i += 2) {
        if (i > 0) out += ':';
        out += hex.mid(i, 2);
    }
    return out;
}

TTlsConnection::~TTlsConnection() {
    SSL_free(Ssl_);
}

std::unique_ptr<TTlsConnection> TTlsConnection::Create(int fd, const QByteArray& hostName,
                                                       const TTlsConnection* resumeFrom) {
    SSL_CTX* context = ClientContext();
    SSL* ssl = context != nullptr ? SSL_new(context) : nullptr;
    if (ssl == nullptr) return nullptr;
    std::unique_ptr<TTlsConnection> connection(new TTlsConnection(ssl));
    SSL_set_fd(ssl, fd);
    // The handshake always completes; whether the certificate is trusted is decided
    // afterwards, from the verify result, the user's trusted fingerprints and the question.
    SSL_set_verify(ssl, SSL_VERIFY_NONE, nullptr);
    QByteArray host = hostName;
    if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
    if (IsAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.constData());
    } else if (!host.isEmpty()) {
        SSL_set_tlsext_host_name(ssl, host.constData());
        SSL_set1_host(ssl, host.constData());
    }
    connection->Pool_ =
        resumeFrom != nullptr ? resumeFrom->Pool_ : std::make_shared<TTlsSessionPool>();
    SSL_set_app_data(ssl, connection->Pool_.get());
    if (resumeFrom != nullptr) {
        if (SSL_SESSION* session = connection->Pool_->Take()) SSL_set_session(ssl, session);
    }
    return connection;
}

int TTlsConnection::Handshake(int fd, TWaitControl& wait) {
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int result = SSL_connect(Ssl_);
        if (result == 1) return 0;
        const int error = SSL_get_error(Ssl_, result);
        short events = 0;
        if (error == SSL_ERROR_WANT_READ) {
            events = POLLIN;
        } else if (error == SSL_ERROR_WANT_WRITE) {
            events = POLLOUT;
        } else {
            ErrorText = OpenSslError();
            if (ErrorText.isEmpty())
                ErrorText = QStringLiteral("the server closed the connection during the TLS "
                                           "handshake");
            return WSAECONNABORTED_;
        }
        const TWaitControl::Result waited = wait.Wait(fd, events);
        if (waited != TWaitControl::Result::Ready) {
            ErrorText = WSAErrorText(WaitError(waited));
            return WaitError(waited);
        }
    }
}

ssize_t TTlsConnection::Send(const char* data, size_t length) {
    ERR_clear_error();
    size_t written = 0;
    if (SSL_write_ex(Ssl_, data, length, &written) == 1) return static_cast<ssize_t>(written);
    const int error = SSL_get_error(Ssl_, 0);
    if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ) return 0;
    if (error != SSL_ERROR_SYSCALL || errno == 0) errno = ECONNABORTED;
    ErrorText = OpenSslError();
    return -1;
}

ssize_t TTlsConnection::Receive(char* data, size_t length) {
    ERR_clear_error();
    size_t read = 0;
    if (SSL_read_ex(Ssl_, data, length, &read) == 1) return static_cast<ssize_t>(read);
    const int error = SSL_get_error(Ssl_, 0);
    if (error == SSL_ERROR_ZERO_RETURN) return 0;
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        errno = EAGAIN;
        return -1;
    }
    if (error == SSL_ERROR_SYSCALL && errno == 0) return 0;
    if (error != SSL_ERROR_SYSCALL) errno = ECONNABORTED;
    ErrorText = OpenSslError();
    return -1;
}

bool TTlsConnection::Pending() const {
    return SSL_pending(Ssl_) > 0;
}

void TTlsConnection::SendCloseNotify() {
    if (CloseNotifySent_) return;
    CloseNotifySent_ = true;
    ERR_clear_error();
    SSL_shutdown(Ssl_);
    ERR_clear_error();
}

TCertificateInfo TTlsConnection::Certificate() const {
    TCertificateInfo info;
    X509* certificate = SSL_get0_peer_certificate(Ssl_);
    if (certificate == nullptr) {
        info.Problem = QStringLiteral("the server sent no certificate");
        return info;
    }
    info.Subject = NameText(X509_get_subject_name(certificate));
    info.Issuer = NameText(X509_get_issuer_name(certificate));
    info.ValidFrom = TimeText(X509_get0_notBefore(certificate));
    info.ValidUntil = TimeText(X509_get0_notAfter(certificate));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) == 1)
        info.Fingerprint = NormalizedFingerprint(
            QByteArray(reinterpret_cast<const char*>(digest), static_cast<int>(length)).toHex());
    const long verified = SSL_get_verify_result(Ssl_);
    if (verified != X509_V_OK)
        info.Problem = QString::fromUtf8(X509_verify_cert_error_string(verified));
    return info;
}

bool TTlsConnection::SameCertificate(const TTlsConnection& other) const {
    X509* mine = SSL_get0_peer_certificate(Ssl_);
    X509* theirs = SSL_get0_peer_certificate(other.Ssl_);
    return mine != nullptr && theirs != nullptr && X509_cmp(mine, theirs) == 0;
}

QString TTlsConnection::Description() const {
    return QStringLiteral("%1, %2").arg(QString::fromLatin1(SSL_get_version(Ssl_)),
                                        QString::fromLatin1(SSL_get_cipher_name(Ssl_)));
}

bool TTlsConnection::Resumed() const {
    return SSL_session_reused(Ssl_) == 1;
}
