#include "engine/FtpThread.h"

#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>

void TFTPThread::CloseControl() {
    ControlSocket.CloseGraceful();
    Shared->ControlOpen = false;
}

void TFTPThread::CloseSocketGraceful(TSocket& socket) {
    if (&socket == &ControlSocket)
        CloseControl();
    else
        socket.CloseGraceful();
}

bool TFTPThread::ConnectControl(const QByteArray& host, const QByteArray& portText,
                                bool clearAbort) {
    if (clearAbort) Wait.ClearAborted();
    CloseControl();

    bool ok = false;
    int port = portText.trimmed().toInt(&ok);
    if (!ok) port = 21;
    // A port past 65535 would wrap to another service and receive the password there.
    if (port < 1 || port > 65535) {
        LastError = WSAEINVAL_;
        ReportWSAError();
        return false;
    }

    // A text that cannot be a host name is never sent to the resolver.
    const bool plausible = !host.isEmpty() && std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-._:%[]", c) != nullptr;
    });
    if (!plausible) {
        LastError = WSAHOST_NOT_FOUND_;
        ReportWSAError();
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const int gai = ::getaddrinfo(host.constData(), nullptr, &hints, &found);
    if (gai != 0 || found == nullptr) {
        LastError = WSAErrorFromAddrInfo(gai != 0 ? gai : EAI_NONAME);
        ReportWSAError();
        return false;
    }
    // Every address of the name is tried in turn: "localhost" may name ::1 first while
    // the server listens on 127.0.0.1 only.
    bool connected = false;
    for (addrinfo* a = found; a != nullptr && !connected; a = a->ai_next) {
        if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
        sockaddr_storage address{};
        std::memcpy(&address, a->ai_addr, a->ai_addrlen);
        HostAddress = address;
        HostAddressKnown = true;
        connected = OpenSocket(ControlSocket, address, port);
        if (Aborted()) break;
    }
    ::freeaddrinfo(found);
    Shared->ControlOpen = connected;
    return connected;
}

bool TFTPThread::OpenSocket(TSocket& socket, const sockaddr_storage& address, int port) {
    sockaddr_storage target = address;
    socklen_t length = 0;
    if (target.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in&>(target).sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof(sockaddr_in);
    } else {
        reinterpret_cast<sockaddr_in6&>(target).sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof(sockaddr_in6);
    }
    DebugHost("Opening Socket to %s:%d", AddressText(address).constData(), port);
    StartTimeOut();
    const int error = socket.Connect(reinterpret_cast<const sockaddr*>(&target), length, Wait);
    StopTimeOut();
    if (error != 0) {
        LastError = error;
        ReportWSAError();
        return false;
    }
    return true;
}

void TFTPThread::SendCommand(const QByteArray& text) {
    // A name such as "a\r\nDELE b" must never become a second command.
    if (text.contains('\r') || text.contains('\n') || text.contains('\0')) {
        LogError(QStringLiteral("Command not sent: \"%1\" holds a line break or NUL, which no "
                                "FTP command can carry.")
                     .arg(NameText(text)));
        LastError = WSAEINVAL_;
        throw EControlSocketException(QString(), WSAEINVAL_);
    }
    Log(DisplayText(text), EngineSettings().LogColorCommand);
    // Passwords stay out of the debug log.
    DebugHost("Sending command \"%s\", RepliesNeeded = %d",
              text.startsWith("PASS") ? "PASS xxxxx" : DisplayText(text).toUtf8().constData(),
              RepliesNeeded);
    QByteArray pending = text + "\r\n";
    FlushControlSocket();
    Wait.ClearAborted();
    if (!ControlSocket.IsOpen()) DoErrorControl();
    for (;;) {
        StartTimeOut();
        const TWaitControl::Result result = Wait.Wait(ControlSocket.Fd(), POLLOUT);
        if (result != TWaitControl::Result::Ready) {
            LastError = WaitError(result);
            DoErrorControl();
        }
        const ssize_t sent =
            ControlSocket.Send(pending.constData(), static_cast<size_t>(pending.size()));
        if (sent < 0) {
            LastError = WSAErrorFromErrno(errno);
            DoErrorControl();
        }
        pending.remove(0, sent);
        if (pending.isEmpty()) {
            ++RepliesNeeded;
            StopTimeOut();
            return;
        }
    }
}

void TFTPThread::FlushControlSocket() {
    DebugHost("FlushControlSocket, RepliesNeeded = %d", RepliesNeeded);
    while (RepliesNeeded >= 1) {
        const int before = RepliesNeeded;
        GetReply(false);
        if (RepliesNeeded == before) break;
    }
}

int TFTPThread::GetReply(bool wait) {
    ReplyCode = 0;
    ReplyText.clear();
    if (CapturedLines) CapturedLines->clear();
    if (!ControlSocket.IsOpen()) DoErrorControl();
    if (RepliesNeeded < 1) return 0;
    DebugHost("Getting return code..., RepliesNeeded = %d", RepliesNeeded);

    // Past a cap the server is treated as gone: the connection is dropped.
    const auto replyTooLong = [this] {
        LogError(QStringLiteral("Reply from server too long, closing the connection"));
        CloseControl();
        Reader.Clear();
        LastError = WSAECONNRESET_;
        DoErrorControl();
    };

    int result = 0;
    int lines = 0;
    qsizetype bytes = 0;
    for (;;) {
        while (result == 0 && Reader.HasLine()) {
            const QByteArray line = Reader.TakeLine();
            ++lines;
            bytes += line.size();
            if (line.size() > TReplyReader::MaxLineLength || bytes > TReplyReader::MaxReplyBytes ||
                lines > TReplyReader::MaxReplyLines)
                replyTooLong();
            ReplyText = line;
            if (CapturedLines) CapturedLines->append(line);
            ReplyCode = TReplyReader::LineCode(line);
            Log(DisplayText(line), ReplyCode < 400 ? EngineSettings().LogColorReply.load()
                                                   : EngineSettings().LogColorError.load());
            if (TReplyReader::IsFinal(line)) result = ReplyCode / 100;
        }
        if (result == 0 && wait) {
            if (Reader.PendingLineTooLong() || Reader.Buffered() > TReplyReader::MaxReplyBytes)
                replyTooLong();
            Wait.ClearAborted();
            StartTimeOut();
            // Decrypted bytes already read are not seen by a poll.
            const TWaitControl::Result waited = ControlSocket.HasPending()
                                                    ? TWaitControl::Result::Ready
                                                    : Wait.Wait(ControlSocket.Fd(), POLLIN);
            if (waited != TWaitControl::Result::Ready) {
                LastError = WaitError(waited);
                DoErrorControl();
            }
            char chunk[ControlReceiveChunk];
            const ssize_t received = ControlSocket.Receive(chunk, sizeof chunk);
            if (received > 0) {
                Reader.Append(chunk, received);
            } else {
                const int error = received == 0 ? 0 : WSAErrorFromErrno(errno);
                if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;
                ReplyCode = 0;
                ReplyText.clear();
                if (CapturedLines) CapturedLines->clear();
                if (received == 0 || error == WSAECONNRESET_) {
                    --RepliesNeeded;
                    CloseControl();
                    Reader.Clear();
                    DebugHost("Host closed Control Connection");
                    LastError = WSAECONNRESET_;
                } else {
                    LastError = error;
                }
                DoErrorControl();
            }
        }
        if (result > 0 || !wait) break;
    }
    StopTimeOut();
    if (result > 0) --RepliesNeeded;
    DebugHost("Got return code = %d", ReplyCode);
    return result;
}

void TFTPThread::ReportWSAError() {
    if (LastError != 0 && LastError != WSAENOTSOCK_)
        Notify(TNotificationCode::Error, TErrorData{LastError, WSAErrorText(LastError)});
}

void TFTPThread::DoErrorControl() {
    if (Aborted()) {
        LastError = WSAEINTR_;
        Notify(TNotificationCode::Abort);
    } else if (TimedOut()) {
        LastError = WSAETIMEDOUT_;
    } else if (!ControlSocket.IsOpen()) {
        LastError = WSAECONNRESET_;
    }
    const bool timedOut = TimedOut();
    StopTimeOut();
    DebugHost("DoErrorControl. LastError = %08x, Aborted = %d, TimedOut = %d", LastError, Aborted(),
              timedOut);
    throw EControlSocketException(WSAErrorText(LastError), LastError);
}

void TFTPThread::DoErrorAborted() {
    if (Aborted()) {
        LastError = WSAEINTR_;
        Notify(TNotificationCode::Abort);
    } else if (TimedOut()) {
        LastError = WSAETIMEDOUT_;
        ReportWSAError();
    }
    const bool timedOut = TimedOut();
    StopTimeOut();
    DebugHost("DoErrorAborted. LastError = %08x, Aborted = %d, TimedOut = %d", LastError, Aborted(),
              timedOut);
    throw EDataSocketException(WSAErrorText(LastError), LastError);
}
