#include "engine/DataReplies.h"

#include <cctype>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A field of at most three digits read as a byte value, else -1.
int ByteField(const QByteArray& field) {
    if (field.isEmpty() || field.size() > 3) return -1;
    const int value = field.toInt();
    return value <= 255 ? value : -1;
}

} // namespace

int PassiveReplyPort(const QByteArray& reply, const QByteArray& hostCommas) {
    qsizetype start = hostCommas.isEmpty() ? -1 : reply.indexOf(hostCommas);
    if (start < 0) {
        start = reply.indexOf(" (");
        if (start < 0) return 0;
        start += 2;
    }
    QByteArray fields[6];
    int field = 0;
    int ended = 0;
    for (qsizetype i = start; i < reply.size(); ++i) {
        const char c = reply.at(i);
        if (IsDigit(c)) {
            fields[field] += c;
        } else if (c == ',') {
            ++ended;
            if (++field == 6) break;
        } else {
            ++ended;
            break;
        }
    }
    // "(10,0,0,1,4,1" with nothing after the last digit has not ended its sixth field.
    if (ended < 6) return 0;
    int values[6];
    for (int i = 0; i < 6; ++i)
        if ((values[i] = ByteField(fields[i])) < 0) return 0;
    return values[4] * 256 + values[5];
}

int ExtendedPassiveReplyPort(const QByteArray& reply) {
    const qsizetype open = reply.indexOf('(');
    if (open < 0 || open + 4 >= reply.size()) return 0;
    const char d = reply.at(open + 1);
    if (d < 33 || d > 126 || IsDigit(d) || reply.at(open + 2) != d || reply.at(open + 3) != d)
        return 0;
    QByteArray digits;
    qsizetype i = open + 4;
    while (i < reply.size() && IsDigit(reply.at(i)) && digits.size() < 6)
        digits += reply.at(i++);
    if (digits.isEmpty() || i >= reply.size() || reply.at(i) != d) return 0;
    const int port = digits.toInt();
    return port >= 1 && port <= 65535 ? port : 0;
}

int64_t AnnouncedSize(const QByteArray& reply, const QByteArray& fileName) {
    QByteArray text = reply.trimmed();
    const QByteArray marker = fileName.toLower() + " (";
    const qsizetype found = text.toLower().indexOf(marker);
    if (found >= 0) text = text.mid(found + marker.size());
    qsizetype digits = 0;
    while (digits < text.size() && IsDigit(text.at(digits)))
        ++digits;
    if (digits == 0 || digits > 18 || digits >= text.size()) return -1;
    const int64_t size = text.left(digits).toLongLong();
    const QByteArray rest = text.mid(digits + 1).trimmed();
    if (!rest.left(5).toLower().startsWith("bytes")) return -1;
    return size;
}
