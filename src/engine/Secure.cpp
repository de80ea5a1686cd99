// Encrypted sessions (explicit and implicit FTPS) and the server's FEAT list.
#include "engine/FtpThread.h"

#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"

namespace {

QString HostText(const QByteArray& host, const QByteArray& port) {
    bool ok = false;
    const int number = port.trimmed().toInt(&ok);
    return !ok || number == 21 ? QString::fromUtf8(host)
                               : QString::fromUtf8(host) + ':' + QString::number(number);
}

} // namespace

void TFTPThread::StartControlTls() {
    LogInfo(QStringLiteral("Starting TLS..."));
    QString why;
    StartTimeOut();
    const int error = ControlSocket.StartTls(LoginHost, nullptr, Wait, why);
    StopTimeOut();
    if (error != 0) {
        Shared->ControlOpen = false;
        LastError = error;
        // An abort or a time-out ends the wait as it ends any other.
        if (error == WSAEINTR_ || error == WSAETIMEDOUT_) DoErrorControl();
        LoginFinal = true;
        throw EControlSocketException(QStringLiteral("TLS handshake failed: %1").arg(why), 0);
    }
    TCertificateInfo certificate = ControlSocket.Tls()->Certificate();
    certificate.Host = HostText(LoginHost, LoginPort);
    const bool known = TrustedFingerprints.contains(certificate.Fingerprint);
    if (certificate.Problem.isEmpty() || known || AcceptAnyCertificate) {
        if (!certificate.Problem.isEmpty() && !known)
            LogError(QStringLiteral("The certificate was not checked (%1): SHA-256 %2")
                         .arg(certificate.Problem, QString::fromLatin1(certificate.Fingerprint)));
        LogInfo(QStringLiteral("TLS connection established (%1)")
                    .arg(ControlSocket.Tls()->Description()));
        return;
    }
    certificate.Changed = !TrustedFingerprints.isEmpty();
    LogError(certificate.Changed
                 ? QStringLiteral("The certificate of %1 has changed since it was trusted (%2; "
                                  "SHA-256 now %3): the connection is refused")
                       .arg(certificate.Host, certificate.Problem,
                            QString::fromLatin1(certificate.Fingerprint))
                 : QStringLiteral("The certificate of %1 is not trusted (%2): SHA-256 %3")
                       .arg(certificate.Host, certificate.Problem,
                            QString::fromLatin1(certificate.Fingerprint)));
    Notify(TNotificationCode::UntrustedCertificate, certificate);
    CloseSocketGraceful(ControlSocket);
    LoginFinal = true;
    throw EControlSocketException(QString(), WSAENOTSOCK_);
}

void TFTPThread::NegotiateExplicitTls() {
    SendCommand("AUTH TLS");
    if (GetReplyClass() == 2) {
        StartControlTls();
        return;
    }
    if (Encryption == TEncryption::ExplicitRequired) {
        LoginFinal = true;
        throw EControlSocketException(
            QStringLiteral("The server does not offer encryption (AUTH TLS), which this "
                           "connection requires"),
            0);
    }
    LogInfo(QStringLiteral("The server does not offer encryption; the session is not encrypted"));
}

void TFTPThread::ProtectDataConnections() {
    SendCommand("PBSZ 0");
    GetReplyClass();
    SendCommand("PROT P");
    if (GetReplyClass() == 2) {
        DataTls = true;
        return;
    }
    if (Encryption != TEncryption::ExplicitIfOffered) {
        LoginFinal = true;
        throw EControlSocketException(
            QStringLiteral("The server refused to encrypt listings and files (PROT P)"), 0);
    }
    LogInfo(QStringLiteral("The server does not encrypt listings and files"));
}

bool TFTPThread::StartDataTls() {
    QString why;
    StartTimeOut();
    int error = DataSocket.StartTls(QByteArray(), &ControlSocket, Wait, why);
    StopTimeOut();
    // Only the server the control connection checked may deliver the data.
    if (error == 0 && !DataSocket.Tls()->SameCertificate(*ControlSocket.Tls())) {
        why = QStringLiteral("the data connection showed another certificate");
        error = WSAECONNABORTED_;
        DataSocket.Close();
    }
    if (error == 0) return true;
    LastError = error;
    if (error != WSAEINTR_)
        LogError(QStringLiteral("TLS on the data connection failed: %1").arg(why));
    return false;
}

void TFTPThread::ReadFeatures() {
    Features.clear();
    FactsRefused = false;
    ExtendedPassive = false;
    // Quiet, as the resume probe: a server without FEAT answers it with an error that
    // is no failure of the user's.
    Quiet = true;
    CapturedLines.emplace();
    try {
        SendCommand("FEAT");
        if (GetReplyClass() == 2) {
            // Feature lines start with a blank, between "211-" and "211 End".
            for (const QByteArray& line : *CapturedLines)
                if (line.startsWith(' ')) Features.append(line.trimmed());
        }
        CapturedLines.reset();
        if (HasFeature("UTF8")) {
            SendCommand("OPTS UTF8 ON");
            GetReplyClass();
        }
    } catch (...) {
        Quiet = false;
        CapturedLines.reset();
        throw;
    }
    Quiet = false;
}

bool TFTPThread::HasFeature(const QByteArray& name) const {
    for (const QByteArray& feature : Features) {
        const qsizetype blank = feature.indexOf(' ');
        if (feature.left(blank < 0 ? feature.size() : blank).compare(name, Qt::CaseInsensitive) ==
            0)
            return true;
    }
    return false;
}
