#include "engine/FtpThread.h"

#include "engine/HttpHeaders.h"
#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <vector>

#include <poll.h>

namespace {

constexpr uint64_t ProgressIntervalMs = 700;

// One GetHTTP run on the worker: request and response both travel on the control
// connection, which is closed again when the run ends.
class THttpDownload {
public:
    THttpDownload(TFTPThread& thread, const QString& localFile) : T(thread), LocalFile(localFile) {}

    bool Exchange(const THttpRequest& request);

private:
    void SendRequest(const THttpRequest& request);
    QByteArray ReadHead();
    bool ReceiveBody(const THttpBodyFraming& framing, QByteArray body);
    void Write(QFile& file, const QByteArray& bytes);
    void Progress(uint8_t stage) {
        T.Notify(TNotificationCode::Progress, TProgressData{stage, T.ProgressIsFile, Written});
    }

    TFTPThread& T;
    const QString LocalFile;
    int64_t Written = 0;
};

void THttpDownload::SendRequest(const THttpRequest& request) {
    for (const QByteArray& line : request.Lines)
        T.Log(DisplayText(line), EngineSettings().LogColorCommand);
    T.DebugHost("Sending HTTP request \"%s\"",
                DisplayText(request.Lines.value(0)).toUtf8().constData());
    QByteArray pending = request.Text();
    T.Wait.ClearAborted();
    while (!pending.isEmpty()) {
        T.StartTimeOut();
        const TWaitControl::Result waited = T.Wait.Wait(T.ControlSocket.Fd(), POLLOUT);
        if (waited != TWaitControl::Result::Ready) {
            T.LastError = WaitError(waited);
            T.DoErrorControl();
        }
        const ssize_t sent =
            T.ControlSocket.Send(pending.constData(), static_cast<size_t>(pending.size()));
        if (sent < 0) {
            T.LastError = WSAErrorFromErrno(errno);
            T.DoErrorControl();
        }
        pending.remove(0, sent);
    }
    T.StopTimeOut();
}

// Reads up to and including the empty line that ends the response head; what follows
// it (the start of the body) stays at the end of the returned bytes.
QByteArray THttpDownload::ReadHead() {
    T.DebugHost("TransferSocketLines");
    QByteArray buffer;
    while (HttpHeadEnd(buffer) < 0) {
        // An endless head is the server's fault; the connection is dropped.
        if (buffer.size() > MaxHttpHeadBytes) {
            T.LogError(
                QStringLiteral("Response header from server too long, closing the connection"));
            T.CloseSocketGraceful(T.ControlSocket);
            T.LastError = WSAECONNRESET_;
            T.DoErrorControl();
        }
        T.Wait.ClearAborted();
        T.StartTimeOut();
        const TWaitControl::Result waited = T.Wait.Wait(T.ControlSocket.Fd(), POLLIN);
        if (waited != TWaitControl::Result::Ready) {
            T.LastError = WaitError(waited);
            T.DoErrorControl();
        }
        char chunk[ControlReceiveChunk];
        const ssize_t received = T.ControlSocket.Receive(chunk, sizeof chunk);
        if (received > 0) {
            buffer.append(chunk, received);
            continue;
        }
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        const int error = received == 0 ? WSAECONNRESET_ : WSAErrorFromErrno(errno);
        if (error == WSAECONNRESET_) {
            T.CloseSocketGraceful(T.ControlSocket);
            T.DebugHost("Host closed Control Connection");
        }
        T.LastError = error;
        T.DoErrorControl();
    }
    T.StopTimeOut();
    return buffer;
}

void THttpDownload::Write(QFile& file, const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    if (file.write(bytes) != bytes.size())
        throw EStreamError(QStringLiteral("Unable to write to file \"%1\": %2")
                               .arg(LocalFile, file.errorString()));
    Written += bytes.size();
}

// The body loop: ends when the framing says the body is complete or the server
// closes; progress at most every 700 ms, and the time-out restarts with every receive.
bool THttpDownload::ReceiveBody(const THttpBodyFraming& framing, QByteArray body) {
    QFile file(LocalFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw EStreamError(
            QStringLiteral("Unable to create file \"%1\": %2").arg(LocalFile, file.errorString()));

    THttpChunkedDecoder chunked;
    int64_t received = 0; // body bytes off the wire, chunk framing included
    const auto take = [&](const char* data, qsizetype length) {
        if (framing.Kind == THttpBodyKind::Chunked) {
            QByteArray decoded;
            if (!chunked.Feed(data, length, decoded)) {
                T.LogError(QStringLiteral("Malformed chunked body from server"));
                return false;
            }
            Write(file, decoded);
        } else {
            Write(file, QByteArray::fromRawData(data, length));
        }
        received += length;
        return true;
    };
    const auto complete = [&] {
        return framing.Kind == THttpBodyKind::None ||
               (framing.Kind == THttpBodyKind::Length && received >= framing.Length) ||
               (framing.Kind == THttpBodyKind::Chunked && chunked.Done());
    };

    if (framing.Kind == THttpBodyKind::Length)
        body.truncate(static_cast<qsizetype>(std::min<int64_t>(body.size(), framing.Length)));
    if (framing.Kind != THttpBodyKind::None && !take(body.constData(), body.size())) return false;
    T.DebugHost("TransferSocketData. StreamPos = %lld, Receive = 1",
                static_cast<long long>(Written));
    Progress(0);

    const size_t chunkSize =
        std::clamp<uint32_t>(EngineSettings().ReceiveBufferSize.load(), 4096, 1024 * 1024);
    std::vector<char> chunk(chunkSize);
    bool closed = false;
    uint64_t lastReport = TickCount();
    T.StartTimeOut();
    while (!complete()) {
        const TWaitControl::Result waited = T.Wait.Wait(T.ControlSocket.Fd(), POLLIN);
        if (waited != TWaitControl::Result::Ready) {
            T.DebugHost("Select Failed. Aborted = %d, TimedOut = %d", T.Aborted(), T.TimedOut());
            T.LastError = WaitError(waited);
            T.DoErrorAborted();
        }
        size_t want = chunk.size();
        // Bytes past the announced length are not part of this file.
        if (framing.Kind == THttpBodyKind::Length)
            want = static_cast<size_t>(
                std::min<int64_t>(static_cast<int64_t>(want), framing.Length - received));
        const ssize_t n = T.ControlSocket.Receive(chunk.data(), want);
        if (n > 0) {
            if (!take(chunk.data(), n)) return false;
            T.StartTimeOut();
            const uint64_t now = TickCount();
            if (now - lastReport >= ProgressIntervalMs) {
                lastReport = now;
                Progress(1);
            }
        } else if (n == 0 || errno == ECONNRESET) {
            closed = true;
            break;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            T.LastError = WSAErrorFromErrno(errno);
            T.DoErrorAborted();
        }
    }
    T.StopTimeOut();
    T.CloseSocketGraceful(T.ControlSocket);
    file.close();
    Progress(2);

    if (!closed || complete() || framing.Kind == THttpBodyKind::UntilClose) return true;
    // A body cut short is a failure, not a smaller file; what arrived stays on disk.
    if (framing.Kind == THttpBodyKind::Length)
        T.LogError(QStringLiteral("Connection closed after %1 of %2 bytes")
                       .arg(received)
                       .arg(framing.Length));
    else
        T.LogError(QStringLiteral("Connection closed before the last chunk of the body"));
    return false;
}

bool THttpDownload::Exchange(const THttpRequest& request) {
    SendRequest(request);
    QByteArray bytes = ReadHead();
    const qsizetype bodyOffset = HttpHeadEnd(bytes);
    const QByteArray body = bytes.mid(bodyOffset);
    bytes.truncate(bodyOffset);

    const THttpResponseHead head = ParseHttpHead(bytes);
    if (head.Lines.size() > MaxHttpHeadLines) {
        T.LogError(QStringLiteral("Response header from server too long, closing the connection"));
        return false;
    }
    T.ReplyCode = head.StatusCode;
    T.ReplyText = head.Lines.value(0);
    const TColor color = head.StatusCode >= 400 ? EngineSettings().LogColorError.load()
                                                : EngineSettings().LogColorReply.load();
    for (const QByteArray& line : head.Lines)
        T.Log(DisplayText(line), color);
    for (const THttpField& field : head.Fields)
        if (field.Name == "content-length")
            T.Notify(TNotificationCode::UpdateFileSize,
                     TUpdateFileSizeEventData{
                         LocalFile, std::max<int64_t>(HttpContentLength(field.Value), 0)});

    if (head.StatusCode >= 400)
        T.Notify(TNotificationCode::Error, TErrorData{head.StatusCode, DisplayText(head.Reason)});
    if (head.StatusCode / 100 != 2) return true;
    const THttpBodyFraming framing = HttpBodyFraming(head);
    if (framing.Kind == THttpBodyKind::Invalid) {
        T.LogError(QStringLiteral("Invalid Content-Length in the response from the server"));
        return false;
    }
    return ReceiveBody(framing, body);
}

} // namespace

bool TFTPThread::GetHTTP(TCommandItem& item) {
    const QString url = QString::fromUtf8(item.Param(1));
    const QString localFile = QFile::decodeName(item.Param(2));
    THttpRequest request;
    switch (BuildHttpRequest(url, request)) {
    case THttpRequestResult::Ok:
        break;
    case THttpRequestResult::NotSplit:
        return false;
    case THttpRequestResult::NotHttp:
        LogError(QStringLiteral("Only http:// URLs can be downloaded this way: %1").arg(url));
        return false;
    }

    if (!ConnectControl(request.Host, QByteArray::number(request.Port))) {
        NotifyDisconnect();
        Notify(TNotificationCode::CantLogIn);
        return false;
    }
    Notify(TNotificationCode::Connect);
    THttpDownload download(*this, localFile);
    bool success = false;
    try {
        success = download.Exchange(request);
    } catch (const ESocketException& e) {
        // The command frame already posts the disconnect for a closed control connection.
        if (!(e.ErrorCode == WSAECONNRESET_ && dynamic_cast<const EControlSocketException*>(&e)))
            NotifyDisconnect();
        throw;
    } catch (...) {
        NotifyDisconnect();
        throw;
    }
    NotifyDisconnect();
    return success;
}
