#include "engine/Socket.h"

#include "engine/EngineSettings.h"
#include "engine/SocketErrors.h"
#include "engine/Tls.h"
#include "listing/DebugLog.h"

#include <algorithm>
#include <cerrno>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

QByteArray AddressText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text,
                    sizeof text);
    else
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text,
                    sizeof text);
    return QByteArray(text);
}

TWaker::TWaker() : Fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TWaker::~TWaker() {
    if (Fd_ >= 0) ::close(Fd_);
}

void TWaker::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(Fd_, &one, sizeof one);
}

void TWaker::Drain() {
    uint64_t value = 0;
    while (::read(Fd_, &value, sizeof value) > 0) {
    }
}

void TWaitControl::ClearAborted() {
    Aborted_.store(false);
    Waker_.Drain();
}

void TWaitControl::StartTimeOut() {
    TimeOutStart_ = TickCount();
    if (TimeOutStart_ == 0) TimeOutStart_ = 1;
}

bool TWaitControl::TimedOut() const {
    if (TimeOutStart_ == 0) return false;
    return TickCount() - TimeOutStart_ > EngineSettings().TimeOut.load();
}

TWaitControl::Result TWaitControl::Wait(int fd, short events) {
    for (;;) {
        if (Aborted()) return Result::Aborted;
        if (TimedOut()) return Result::TimedOut;
        int slice = 1000;
        if (TimeOutStart_ != 0) {
            const uint64_t elapsed = TickCount() - TimeOutStart_;
            const uint64_t limit = EngineSettings().TimeOut.load();
            const uint64_t left = elapsed >= limit ? 0 : limit - elapsed;
            slice = static_cast<int>(std::min<uint64_t>(left + 1, 1000));
        }
        pollfd fds[2] = {{fd, events, 0}, {Waker_.Fd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, slice);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Result::Failed;
        }
        if (fds[1].revents & POLLIN) {
            Waker_.Drain();
            if (Aborted()) return Result::Aborted;
        }
        if (fds[0].revents & (events | POLLERR | POLLHUP)) return Result::Ready;
        if (fds[0].revents & POLLNVAL) return Result::Failed;
    }
}

int WaitError(TWaitControl::Result result) {
    switch (result) {
    case TWaitControl::Result::Aborted:
        return WSAEINTR_;
    case TWaitControl::Result::TimedOut:
        return WSAETIMEDOUT_;
    default:
        return WSAErrorFromErrno(errno);
    }
}

bool TWaitControl::SleepAbortable(int ms) {
    if (Aborted()) return true;
    pollfd fd = {Waker_.Fd(), POLLIN, 0};
    ::poll(&fd, 1, ms);
    return Aborted();
}

TSocket::~TSocket() {
    Close();
}

int TSocket::Connect(const sockaddr* address, socklen_t length, TWaitControl& wait) {
    Close();
    Fd_ = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (Fd_ < 0) return WSAErrorFromErrno(errno);
    const int one = 1;
    ::setsockopt(Fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(Fd_, address, length) == 0) return 0;
    if (errno != EINPROGRESS) {
        const int error = WSAErrorFromErrno(errno);
        Close();
        return error;
    }
    const TWaitControl::Result result = wait.Wait(Fd_, POLLOUT);
    int error = 0;
    if (result == TWaitControl::Result::Aborted) {
        error = WSAEINTR_;
    } else if (result == TWaitControl::Result::TimedOut) {
        error = WSAETIMEDOUT_;
    } else {
        int soError = 0;
        socklen_t len = sizeof soError;
        if (::getsockopt(Fd_, SOL_SOCKET, SO_ERROR, &soError, &len) < 0) soError = errno;
        error = WSAErrorFromErrno(soError);
    }
    if (error != 0) Close();
    return error;
}

int TSocket::Listen(const sockaddr* localAddress, socklen_t length) {
    Close();
    Fd_ =
        ::socket(localAddress->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (Fd_ < 0) return WSAErrorFromErrno(errno);
    sockaddr_storage local{};
    std::copy_n(reinterpret_cast<const char*>(localAddress), length,
                reinterpret_cast<char*>(&local));
    if (local.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in&>(local).sin_port = 0;
    else if (local.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6&>(local).sin6_port = 0;
    if (::bind(Fd_, reinterpret_cast<sockaddr*>(&local), length) < 0 || ::listen(Fd_, 1) < 0) {
        const int error = WSAErrorFromErrno(errno);
        Close();
        return error;
    }
    return 0;
}

int TSocket::Accept(TSocket& listener, TWaitControl& wait) {
    Close();
    for (;;) {
        const TWaitControl::Result result = wait.Wait(listener.Fd(), POLLIN);
        if (result == TWaitControl::Result::Aborted) return WSAEINTR_;
        if (result == TWaitControl::Result::TimedOut) return WSAETIMEDOUT_;
        if (result == TWaitControl::Result::Failed) return WSAErrorFromErrno(errno);
        const int fd = ::accept4(listener.Fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            Fd_ = fd;
            return 0;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
            return WSAErrorFromErrno(errno);
    }
}

int TSocket::StartTls(const QByteArray& hostName, const TSocket* resumeFrom, TWaitControl& wait,
                      QString& errorText) {
    Tls_ = TTlsConnection::Create(Fd_, hostName, resumeFrom ? resumeFrom->Tls_.get() : nullptr);
    int error = WSAENOBUFS_;
    if (Tls_) {
        error = Tls_->Handshake(Fd_, wait);
        errorText = Tls_->ErrorText;
    } else {
        errorText = QStringLiteral("TLS is not available");
    }
    if (error != 0) Close();
    return error;
}

bool TSocket::HasPending() const {
    return Tls_ && Tls_->Pending();
}

void TSocket::FinishTls(TWaitControl& wait) {
    if (!Tls_ || Fd_ < 0) return;
    Tls_->SendCloseNotify();
    char discard[4096];
    // About five seconds at most: a server that keeps the connection open after the
    // close_notify has its completion reply read anyway.
    for (int turns = 0; turns < 50 && !wait.Aborted(); ++turns) {
        const ssize_t n = Receive(discard, sizeof discard);
        if (n > 0) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) break;
        pollfd fd = {Fd_, POLLIN, 0};
        ::poll(&fd, 1, 100);
    }
}

ssize_t TSocket::Send(const char* data, size_t length) {
    if (Tls_) return Tls_->Send(data, length);
    const ssize_t n = ::send(Fd_, data, length, MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return n;
}

ssize_t TSocket::Receive(char* data, size_t length) {
    if (Tls_) return Tls_->Receive(data, length);
    for (;;) {
        const ssize_t n = ::recv(Fd_, data, length, 0);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool TSocket::ShutdownSend() {
    if (Tls_) Tls_->SendCloseNotify();
    return ::shutdown(Fd_, SHUT_WR) == 0;
}

void TSocket::Close() {
    Tls_.reset();
    if (Fd_ >= 0) {
        ::close(Fd_);
        Fd_ = -1;
    }
}

bool TSocket::LocalAddress(sockaddr_storage& address) const {
    socklen_t len = sizeof address;
    return ::getsockname(Fd_, reinterpret_cast<sockaddr*>(&address), &len) == 0;
}

bool TSocket::PeerAddress(sockaddr_storage& address) const {
    socklen_t len = sizeof address;
    return ::getpeername(Fd_, reinterpret_cast<sockaddr*>(&address), &len) == 0;
}

void TSocket::CloseGraceful() {
    if (Fd_ < 0) return;
    const bool notConnected = !ShutdownSend() && errno == ENOTCONN;
    if (!notConnected) {
        char discard[512];
        for (int turns = 0; turns < 256; ++turns) {
            pollfd fd = {Fd_, POLLIN, 0};
            if (::poll(&fd, 1, 0) < 1) break;
            if (Receive(discard, sizeof discard) < 1) break;
        }
    }
    Close();
}
