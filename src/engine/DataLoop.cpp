// The data loop: moves bytes between a data socket and a stream with progress, abort
// and time-out. Received bytes go from a plain socket into a local file inside the
// kernel (splice); everything else, and every text transfer, goes through a user buffer.
#include "engine/FtpThread.h"

#include "engine/LineEnds.h"
#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr uint64_t ProgressIntervalMs = 700;

int64_t ChunkSize(uint32_t setting) {
    // Below one page the loop costs more in calls than it saves; above 16 MiB it only
    // wastes memory.
    return std::clamp<int64_t>(setting, 4096, 16 * 1024 * 1024);
}

// Carries received bytes from the socket through a pipe into the file.
class TSplicePipe {
public:
    explicit TSplicePipe(int64_t size) {
        if (::pipe2(Fds_, O_CLOEXEC) != 0) {
            Fds_[0] = Fds_[1] = -1;
            return;
        }
        ::fcntl(Fds_[1], F_SETPIPE_SZ, static_cast<int>(size));
        const int capacity = ::fcntl(Fds_[1], F_GETPIPE_SZ);
        Capacity_ = capacity > 0 ? capacity : 65536;
    }
    ~TSplicePipe() {
        for (int fd : Fds_)
            if (fd >= 0) ::close(fd);
    }
    TSplicePipe(const TSplicePipe&) = delete;
    TSplicePipe& operator=(const TSplicePipe&) = delete;

    bool Usable() const { return Fds_[0] >= 0 && !Broken_; }

    // Bytes moved; 0 at the peer's close; -1 with errno for the socket side. A file
    // that refuses splicing gets its bytes the ordinary way and ends the splicing.
    ssize_t Move(int socketFd, TTransferStream& stream, int64_t length, char* buffer,
                 int64_t bufferSize) {
        const ssize_t n = ::splice(socketFd, nullptr, Fds_[1], nullptr,
                                   static_cast<size_t>(std::min<int64_t>(length, Capacity_)),
                                   SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (n <= 0) {
            if (n < 0 && errno == EINVAL) Broken_ = true;
            return n;
        }
        for (ssize_t left = n; left > 0;) {
            const ssize_t m = Broken_ ? -1
                                      : ::splice(Fds_[0], nullptr, stream.Handle(), nullptr,
                                                 static_cast<size_t>(left), SPLICE_F_MOVE);
            if (m > 0) {
                stream.Moved(m);
                left -= m;
            } else if (m < 0 && errno == EINTR) {
                continue;
            } else if (Broken_ || (m < 0 && errno == EINVAL)) {
                Broken_ = true;
                const ssize_t r = ::read(Fds_[0], buffer,
                                         static_cast<size_t>(std::min<int64_t>(left, bufferSize)));
                if (r <= 0) stream.WriteFailed(EIO);
                stream.Write(buffer, r);
                left -= r;
            } else {
                stream.WriteFailed(m < 0 ? errno : ENOSPC);
            }
        }
        return n;
    }

private:
    int Fds_[2] = {-1, -1};
    int64_t Capacity_ = 65536;
    bool Broken_ = false;
};

} // namespace

int64_t TFTPThread::TransferSocketData(TSocket& socket, TTransferStream& stream, bool receive,
                                       int64_t limit) {
    PassedLimit = false;
    int64_t position = stream.Position();
    DebugHost("TransferSocketData. StreamPos = %lld, Receive = %d",
              static_cast<long long>(position), receive);
    Notify(TNotificationCode::Progress, TProgressData{0, ProgressIsFile, position});
    StartTimeOut();
    uint64_t lastReport = TickCount();
    // Progress at most every 700 ms; each report restarts the time-out clock, so a
    // transfer times out only after TimeOut without progress.
    const auto progressed = [&] {
        const uint64_t now = TickCount();
        if (now - lastReport < ProgressIntervalMs) return;
        StartTimeOut();
        lastReport = now;
        Notify(TNotificationCode::Progress, TProgressData{1, ProgressIsFile, position});
    };
    // False when the wait ended by abort, time-out or failure.
    const auto waitFor = [&](short events) {
        const TWaitControl::Result waited = Wait.Wait(socket.Fd(), events);
        if (waited == TWaitControl::Result::Failed) LastError = WSAErrorFromErrno(errno);
        return waited == TWaitControl::Result::Ready;
    };

    const int64_t chunk = ChunkSize(receive ? EngineSettings().ReceiveBufferSize.load()
                                            : EngineSettings().SendBufferSize.load());
    if (DataBuffer.size() < chunk) DataBuffer.resize(chunk);
    char* buffer = DataBuffer.data();
    // Text files get the local line ends; positions count the bytes on the wire.
    const bool text = AsciiType && stream.IsFile();
    TLineEnds lineEnds(receive ? TLineEnds::TDirection::ToLocal : TLineEnds::TDirection::ToWire);
    QByteArray converted;
    const bool kernelCopy = !text && socket.PlainDescriptor() && stream.Handle() >= 0;
    if (!receive) {
        // Nagle's rule keeps the segments of a bulk send full, so the server reads them
        // in fewer calls; the closing FIN pushes out the last partial one at once.
        const int off = 0;
        ::setsockopt(socket.Fd(), IPPROTO_TCP, TCP_NODELAY, &off, sizeof off);
    }
    bool complete = false;
    // Each turn moves bytes or waits; abort and time-out end the loop at the next turn.
    if (receive) {
        TSplicePipe pipe(kernelCopy ? chunk : 0);
        bool splicing = kernelCopy && pipe.Usable();
        while (!Aborted() && !TimedOut()) {
            // At the limit one more byte is asked for, only to learn whether the server
            // would go on; it is never written.
            const bool atLimit = limit >= 0 && position >= limit;
            const int64_t want = atLimit      ? 1
                                 : limit >= 0 ? std::min(chunk, limit - position)
                                              : chunk;
            const ssize_t n = splicing && !atLimit
                                  ? pipe.Move(socket.Fd(), stream, want, buffer, chunk)
                                  : socket.Receive(buffer, static_cast<size_t>(want));
            if (n > 0 && atLimit) {
                PassedLimit = true;
                complete = true;
                break;
            }
            if (n > 0) {
                if (text) {
                    lineEnds.Convert(buffer, n, converted);
                    stream.Write(converted.constData(), converted.size());
                } else if (!splicing) {
                    stream.Write(buffer, n);
                }
                position += n;
                progressed();
            } else if (n == 0 || errno == ECONNRESET) {
                complete = true;
                lineEnds.Finish(converted);
                if (text) stream.Write(converted.constData(), converted.size());
                break;
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (!waitFor(POLLIN)) break;
            } else if (splicing && errno == EINVAL) {
                splicing = false;
            } else {
                LastError = WSAErrorFromErrno(errno);
                DoErrorAborted();
            }
        }
    } else {
        bool stopped = false;
        while (!stopped) {
            int64_t n = stream.Read(buffer, chunk);
            if (n == 0) {
                complete = true;
                break;
            }
            const char* out = buffer;
            if (text) {
                lineEnds.Convert(buffer, n, converted);
                out = converted.constData();
                n = converted.size();
            }
            for (int64_t sent = 0; sent < n;) {
                if (Aborted() || TimedOut()) {
                    stopped = true;
                    break;
                }
                const ssize_t s = socket.Send(out + sent, static_cast<size_t>(n - sent));
                if (s > 0) {
                    sent += s;
                    position += s;
                    progressed();
                } else if (s < 0) {
                    LastError = WSAErrorFromErrno(errno);
                    DoErrorAborted();
                } else if (!waitFor(POLLOUT)) {
                    stopped = true;
                    break;
                }
            }
        }
    }
    if (!complete) {
        DebugHost("Select Failed. Aborted = %d, TimedOut = %d", Aborted(), TimedOut());
        DoErrorAborted();
    }
    StopTimeOut();
    if (!receive) socket.FinishTls(Wait);
    CloseSocketGraceful(socket);
    Notify(TNotificationCode::Progress, TProgressData{2, ProgressIsFile, position});
    return position;
}
