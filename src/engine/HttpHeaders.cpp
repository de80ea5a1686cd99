#include "engine/HttpHeaders.h"

#include "listing/FtpUtils.h"

#include <QUrl>

#include <algorithm>
#include <cctype>

namespace {

constexpr char UserAgent[] = "Tolvar/1.10a";
// A chunk-size line (with extensions) or a trailer line longer than this is hostile.
constexpr qsizetype MaxChunkLine = 4096;

// Bytes a request line must not carry as they are: a decoded "%0D%0A" in the URL
// would otherwise start a header of the server's choosing.
QByteArray EscapeUnsafe(const QByteArray& text) {
    QByteArray out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f)
            out += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else
            out += c;
    }
    return out;
}

bool IsDecimal(const QByteArray& text) {
    if (text.isEmpty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

} // namespace

QByteArray THttpRequest::Text() const {
    QByteArray text;
    for (const QByteArray& line : Lines)
        text += line + "\r\n";
    return text + "\r\n";
}

THttpRequestResult BuildHttpRequest(const QString& url, THttpRequest& out) {
    QString full = url.trimmed();
    if (!full.contains(QStringLiteral("://"))) full.prepend(QStringLiteral("http://"));
    if (full.left(full.indexOf(QStringLiteral("://"))).toLower() != QStringLiteral("http"))
        return THttpRequestResult::NotHttp;
    TSplitURL parts;
    if (!SplitURL(full, QString(), parts)) return THttpRequestResult::NotSplit;

    QByteArray target =
        QUrl::toPercentEncoding(parts.FolderPath + parts.FileName, "/!$&'()*+,;=:@~");
    if (!target.startsWith('/')) target.prepend('/');
    const QUrl parsed(full, QUrl::TolerantMode);
    if (parsed.hasQuery()) target += '?' + parsed.query(QUrl::FullyEncoded).toLatin1();

    const bool ipv6 = parts.Host.contains(QLatin1Char(':'));
    out.Host = ipv6 ? parts.Host.toLatin1() : QUrl::toAce(parts.Host);
    if (out.Host.isEmpty()) out.Host = parts.Host.toUtf8();
    out.Port = parts.Port;
    QByteArray hostField = ipv6 ? '[' + out.Host + ']' : out.Host;
    // RFC 9110 section 7.2: the port belongs in Host unless it is the scheme's default.
    if (out.Port != 80) hostField += ':' + QByteArray::number(out.Port);

    out.Lines = {"GET " + EscapeUnsafe(target) + " HTTP/1.1", "Host: " + EscapeUnsafe(hostField),
                 QByteArray("User-Agent: ") + UserAgent,
                 // Without it a keep-alive server holds the connection open after the body.
                 "Connection: close"};
    return THttpRequestResult::Ok;
}

qsizetype HttpHeadEnd(const QByteArray& bytes) {
    for (qsizetype lf = bytes.indexOf('\n'); lf >= 0 && lf + 1 < bytes.size();
         lf = bytes.indexOf('\n', lf + 1)) {
        if (bytes.at(lf + 1) == '\n') return lf + 2;
        if (bytes.at(lf + 1) == '\r' && lf + 2 < bytes.size() && bytes.at(lf + 2) == '\n')
            return lf + 3;
    }
    return -1;
}

THttpResponseHead ParseHttpHead(const QByteArray& head) {
    THttpResponseHead result;
    QByteArray rest = head;
    while (!rest.isEmpty()) {
        const QByteArray line = ExtractFirstLine(rest);
        if (line.isEmpty()) break;
        result.Lines << line;
        if (result.Lines.size() == 1) {
            // "HTTP/1.1 200 OK": the code is the three digits after the version.
            const qsizetype blank = line.indexOf(' ');
            const QByteArray code = blank > 0 ? line.mid(blank + 1, 3) : QByteArray();
            if (line.startsWith("HTTP/") && code.size() == 3 && IsDecimal(code) &&
                (line.size() == blank + 4 || line.at(blank + 4) == ' ')) {
                result.StatusCode = code.toInt();
                result.Reason = line.mid(blank + 5);
            }
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        // The blank after the colon is optional ("Content-Length:5000").
        result.Fields << THttpField{line.left(colon).trimmed().toLower(),
                                    line.mid(colon + 1).trimmed()};
    }
    return result;
}

int64_t HttpContentLength(const QByteArray& value) {
    int64_t length = -1;
    for (const QByteArray& part : value.split(',')) {
        const QByteArray digits = part.trimmed();
        bool ok = false;
        const qlonglong n = digits.toLongLong(&ok);
        if (!IsDecimal(digits) || !ok || (length >= 0 && n != length)) return -1;
        length = n;
    }
    return length;
}

THttpBodyFraming HttpBodyFraming(const THttpResponseHead& head) {
    const int code = head.StatusCode;
    if (code / 100 == 1 || code == 204 || code == 304) return {THttpBodyKind::None, 0};
    QByteArray encoding;
    QList<QByteArray> lengths;
    for (const THttpField& field : head.Fields) {
        if (field.Name == "transfer-encoding")
            encoding += (encoding.isEmpty() ? "" : ",") + field.Value;
        else if (field.Name == "content-length")
            lengths << field.Value;
    }
    if (!encoding.isEmpty()) {
        // Chunked must be the last coding; any other leaves only the close to end the body.
        const QList<QByteArray> codings = encoding.toLower().split(',');
        return codings.last().trimmed() == "chunked"
                   ? THttpBodyFraming{THttpBodyKind::Chunked, 0}
                   : THttpBodyFraming{THttpBodyKind::UntilClose, 0};
    }
    if (lengths.isEmpty()) return {THttpBodyKind::UntilClose, 0};
    const int64_t length = HttpContentLength(lengths.join(','));
    if (length < 0) return {THttpBodyKind::Invalid, 0};
    return {THttpBodyKind::Length, length};
}

bool THttpChunkedDecoder::TakeLine(const char*& data, const char* end, QByteArray& line) {
    while (data < end) {
        const char c = *data++;
        if (c == '\n') {
            if (Line_.endsWith('\r')) Line_.chop(1);
            line = Line_;
            Line_.clear();
            return true;
        }
        Line_ += c;
        if (Line_.size() > MaxChunkLine) {
            State_ = State::Error;
            return false;
        }
    }
    return false;
}

bool THttpChunkedDecoder::SizeLine(const QByteArray& line) {
    const qsizetype semicolon = line.indexOf(';');
    const QByteArray hex = (semicolon < 0 ? line : line.left(semicolon)).trimmed();
    // Hex digits only (no sign, no "0x"); 15 of them keep the size within 64 bits.
    if (hex.isEmpty() || hex.size() > 15) return false;
    for (const char c : hex)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    const qlonglong size = hex.toLongLong(nullptr, 16);
    Left_ = size;
    State_ = size == 0 ? State::Trailer : State::Data;
    return true;
}

bool THttpChunkedDecoder::Feed(const char* data, qsizetype length, QByteArray& out) {
    const char* end = data + length;
    QByteArray line;
    while (data < end && State_ != State::Done && State_ != State::Error) {
        switch (State_) {
        case State::Size:
            if (TakeLine(data, end, line) && !SizeLine(line)) State_ = State::Error;
            break;
        case State::Data: {
            const qsizetype n = static_cast<qsizetype>(std::min<int64_t>(Left_, end - data));
            out.append(data, n);
            data += n;
            Left_ -= n;
            if (Left_ == 0) State_ = State::DataEnd;
            break;
        }
        case State::DataEnd:
            if (TakeLine(data, end, line)) State_ = line.isEmpty() ? State::Size : State::Error;
            break;
        case State::Trailer:
            if (TakeLine(data, end, line)) {
                TrailerBytes_ += line.size();
                if (line.isEmpty())
                    State_ = State::Done;
                else if (TrailerBytes_ > MaxHttpHeadBytes)
                    State_ = State::Error;
            }
            break;
        case State::Done:
        case State::Error:
            break;
        }
    }
    return State_ != State::Error;
}
