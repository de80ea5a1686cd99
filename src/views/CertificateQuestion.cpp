#include "views/CertificateQuestion.h"

QStringList FingerprintRows(const QByteArray& fingerprint) {
    const QStringList bytes = QString::fromLatin1(fingerprint).split(QLatin1Char(':'));
    QStringList rows;
    for (qsizetype i = 0; i < bytes.size(); i += 8)
        rows << bytes.mid(i, 8).join(QLatin1Char(':'));
    return rows;
}

QString CertificateQuestionHeadline(const TCertificateInfo& certificate) {
    return QStringLiteral("The certificate of %1 is not trusted: %2.")
        .arg(certificate.Host, certificate.Problem);
}

QString CertificateChangedText(const TCertificateInfo& certificate,
                               const QList<QByteArray>& trustedBefore, const QString& storeFile) {
    const auto indented = [](const QByteArray& fingerprint) {
        return QStringLiteral("    ") + FingerprintRows(fingerprint).join(QStringLiteral("\n    "));
    };
    QStringList before;
    for (const QByteArray& fingerprint : trustedBefore)
        before << indented(fingerprint);
    QString text = QStringLiteral("WARNING: THE CERTIFICATE OF %1 HAS CHANGED!\n\n"
                                  "You trusted this server's certificate before, with the SHA-256 "
                                  "fingerprint\n%2\n\nbut it now shows another one (%3):\n%4\n\n"
                                  "Someone may be listening in on the connection, or the server's "
                                  "certificate was replaced. The connection was refused.")
                       .arg(certificate.Host, before.join(QStringLiteral("\n\n")),
                            certificate.Problem, indented(certificate.Fingerprint));
    if (!storeFile.isEmpty())
        text += QStringLiteral("\n\nIf the server's administrator says the new certificate is "
                               "right, remove the server's line from %1 and connect again.")
                    .arg(storeFile);
    return text;
}
