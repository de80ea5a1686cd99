#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include <sys/socket.h>
#include <sys/types.h>

// The address part as text ("127.0.0.1", "::1").
QByteArray AddressText(const sockaddr_storage& address);

// An eventfd that ends a worker's socket wait at once: Abort writes to it.
class TWaker {
public:
    TWaker();
    ~TWaker();
    TWaker(const TWaker&) = delete;
    TWaker& operator=(const TWaker&) = delete;
    void Wake();
    void Drain();
    int Fd() const { return Fd_; }

private:
    int Fd_ = -1;
};

// Abort flag and time-out clock of one session. Every wait of its worker goes
// through Wait(), so an abort or a time-out ends any wait within a poll turn.
class TWaitControl {
public:
    explicit TWaitControl(std::atomic<bool>& aborted, TWaker& waker)
        : Aborted_(aborted), Waker_(waker) {}

    bool Aborted() const { return Aborted_.load(); }
    void SetAborted(bool on) { Aborted_.store(on); }
    // Drops an abort that arrived before the wait that is about to start.
    void ClearAborted();

    void StartTimeOut();
    void StopTimeOut() { TimeOutStart_ = 0; }
    bool TimedOut() const;
    uint64_t TimeOutStart() const { return TimeOutStart_; }

    enum class Result { Ready, Aborted, TimedOut, Failed };
    // Waits until the descriptor has one of the poll events, the session is
    // aborted, or the time-out runs out (a wait without a running clock never times out).
    Result Wait(int fd, short events);
    // Sleeps up to ms, ended early by an abort; true when it was aborted.
    bool SleepAbortable(int ms);

private:
    std::atomic<bool>& Aborted_;
    TWaker& Waker_;
    uint64_t TimeOutStart_ = 0;
};

// The error code of a wait that did not end ready: WSAEINTR_ for an abort,
// WSAETIMEDOUT_ for a time-out, else from errno.
int WaitError(TWaitControl::Result result);

class TTlsConnection;

// A TCP connection or listening socket, encrypted once StartTls has succeeded. The
// worker's protocol code sees only this small surface either way.
class TSocket {
public:
    TSocket() = default;
    ~TSocket();
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;

    bool IsOpen() const { return Fd_ >= 0; }
    int Fd() const { return Fd_; }

    // Connects with the wait control's abort and time-out; on failure returns a
    // WinSock-style error code (0 on success).
    int Connect(const sockaddr* address, socklen_t length, TWaitControl& wait);
    // Listens on an ephemeral port of the given local address (port in it ignored).
    int Listen(const sockaddr* localAddress, socklen_t length);
    int Accept(TSocket& listener, TWaitControl& wait);

    // The TLS handshake over the open connection (see TTlsConnection); 0 or an error,
    // with errorText saying why. On failure the connection is closed.
    int StartTls(const QByteArray& hostName, const TSocket* resumeFrom, TWaitControl& wait,
                 QString& errorText);
    const TTlsConnection* Tls() const { return Tls_.get(); }
    // Bytes already taken off the descriptor that a poll would not report.
    bool HasPending() const;
    // Ends an upload's TLS: close_notify, then what the peer still sends until it
    // closes (servers take a data connection without that end as a cut transfer). The
    // wait is short and ends with an abort.
    void FinishTls(TWaitControl& wait);

    // -1 with errno on error; 0 bytes read means an orderly close. A send that would
    // block returns 0.
    ssize_t Send(const char* data, size_t length);
    ssize_t Receive(char* data, size_t length);
    bool ShutdownSend();
    void Close();
    // True when the bytes on the descriptor are the payload itself, so the data loop
    // may move them between socket and file inside the kernel (splice).
    bool PlainDescriptor() const { return !Tls_; }

    bool LocalAddress(sockaddr_storage& address) const;
    bool PeerAddress(sockaddr_storage& address) const;

    // Half-closes, discards what the peer still sends without waiting, then closes.
    void CloseGraceful();

protected:
    int Fd_ = -1;
    std::unique_ptr<TTlsConnection> Tls_;
};
