#pragma once

#include "engine/Tls.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What the user answers to a server certificate nobody vouches for.
enum class TCertificateTrust {
    Refuse,
    // For this connection only.
    Once,
    // Remembered in the trusted-certificates store for the host and port.
    Always,
};

// A fingerprint "AB:CD:…" in rows of eight bytes, to be compared group by group with
// what the server's administrator gives.
QStringList FingerprintRows(const QByteArray& fingerprint);

// The first line of the question: whose certificate and why it is not trusted.
QString CertificateQuestionHeadline(const TCertificateInfo& certificate);

// The error shown instead of a question when a host whose certificate was trusted shows
// another one: both fingerprints, and how to trust the new one if it is expected.
QString CertificateChangedText(const TCertificateInfo& certificate,
                               const QList<QByteArray>& trustedBefore, const QString& storeFile);
