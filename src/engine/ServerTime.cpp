// Giving a downloaded file the modification time the server reports (MDTM, RFC 3659).
#include "engine/FtpThread.h"

#include "platform/FileTime.h"

#include <QDateTime>

namespace {

// "213 YYYYMMDDhhmmss[.fff]", always in UTC; invalid when the reply is anything else.
QDateTime ParseServerTime(const QByteArray& reply) {
    if (!reply.startsWith("213 ")) return {};
    const QByteArray text = reply.mid(4).trimmed().left(14);
    if (text.size() != 14) return {};
    for (const char c : text)
        if (c < '0' || c > '9') return {};
    const auto number = [&](int from, int length) { return text.mid(from, length).toInt(); };
    const QDate date(number(0, 4), number(4, 2), number(6, 2));
    const QTime time(number(8, 2), number(10, 2), number(12, 2));
    if (!date.isValid() || !time.isValid()) return {};
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

void TFTPThread::StampWithServerTime(const QByteArray& remoteName, const QString& localFile) {
    SendCommand("MDTM " + remoteName);
    // A server without MDTM, or a file it will not date, keeps the download's own time.
    if (GetReplyClass() != 2) return;
    SetModificationTime(localFile, ParseServerTime(ReplyText));
}
