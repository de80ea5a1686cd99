#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// The HTTP side of the GetHTTP command that knows nothing of sockets: the request
// text, the response head and the framing of the body.

// A hostile server must not make the client buffer or log without limit.
constexpr qsizetype MaxHttpHeadBytes = 64 * 1024;
constexpr int MaxHttpHeadLines = 256;

struct THttpRequest {
    QByteArray Host; // as given to the name lookup
    int Port = 80;
    QList<QByteArray> Lines; // request lines without line ends, the empty last line left out
    QByteArray Text() const;
};

enum class THttpRequestResult { Ok, NotSplit, NotHttp };

// Builds the GET request for an http:// URL (http:// is assumed when no scheme is given).
THttpRequestResult BuildHttpRequest(const QString& url, THttpRequest& out);

// The position just after the empty line that ends a response head (a line feed
// followed by a line feed, or by a carriage return and a line feed); -1 while incomplete.
qsizetype HttpHeadEnd(const QByteArray& bytes);

struct THttpField {
    QByteArray Name;  // lower case
    QByteArray Value; // blanks around it removed
};

struct THttpResponseHead {
    int StatusCode = 0; // 0 when the first line is no status line
    QByteArray Reason;
    QList<QByteArray> Lines; // without line ends; the empty line that ends the head left out
    QList<THttpField> Fields;
};

THttpResponseHead ParseHttpHead(const QByteArray& head);

// A Content-Length value as a number; -1 when it is not a non-negative decimal number
// (a list of equal values, as proxies may join them, counts as one).
int64_t HttpContentLength(const QByteArray& value);

enum class THttpBodyKind { None, Length, Chunked, UntilClose, Invalid };

struct THttpBodyFraming {
    THttpBodyKind Kind = THttpBodyKind::UntilClose;
    int64_t Length = 0;
};

// How the body of a response ends (RFC 9112 section 6.3).
THttpBodyFraming HttpBodyFraming(const THttpResponseHead& head);

// Undoes "Transfer-Encoding: chunked" as the bytes arrive.
class THttpChunkedDecoder {
public:
    // Appends the body bytes found in the input to out; false when the framing is
    // broken. Input after the last chunk and its trailer is ignored.
    bool Feed(const char* data, qsizetype length, QByteArray& out);
    bool Done() const { return State_ == State::Done; }

private:
    enum class State { Size, Data, DataEnd, Trailer, Done, Error };
    bool TakeLine(const char*& data, const char* end, QByteArray& line);
    bool SizeLine(const QByteArray& line);

    State State_ = State::Size;
    int64_t Left_ = 0;
    QByteArray Line_;
    qsizetype TrailerBytes_ = 0;
};
