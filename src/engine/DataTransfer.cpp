// The transfer step shared by listings, downloads and uploads, and the data loop.
#include "engine/FtpThread.h"

#include "engine/DataReplies.h"
#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include <poll.h>

namespace {

constexpr uint64_t ProgressIntervalMs = 700;

int64_t ChunkSize(uint32_t setting) {
    // Below one page the loop costs more in calls than it saves; above 16 MiB it only
    // wastes memory.
    return std::clamp<int64_t>(setting, 4096, 16 * 1024 * 1024);
}

QString StatisticsLine(int64_t bytes, double seconds) {
    const double rate = seconds > 0 ? bytes / 1024.0 / seconds : 0.0;
    return QStringLiteral("Transferred %1 bytes in %2 seconds (%3KB/s)")
        .arg(FormatThousands(QString::number(bytes)), QString::number(seconds, 'f', 2),
             QString::number(rate, 'f', 2));
}

} // namespace

void TFTPThread::ReadPendingReply() {
    StopTimeOut();
    const bool wasAborted = Aborted();
    try {
        GetReplyClass();
    } catch (...) {
        if (wasAborted)
            Wait.SetAborted(true);
        throw;
    }
    if (wasAborted || Aborted())
        Wait.SetAborted(true);
}

bool TFTPThread::TransferData(const QByteArray& command, bool receive, int64_t resume,
                              TTransferStream& stream) {
    CloseSocketGraceful(DataSocket);
    ListenSocket.Close();
    LastError = 0;
    TransferRefused = false;

    bool active = !Shared->Passive;
    bool connected = false;
    if (!active) {
        connected = PreparePassive();
        if (!connected && (ReplyCode == 500 || ReplyCode == 501 || ReplyCode == 502)) {
            LogInfo(QStringLiteral(
                "Server does not support passive (PASV) mode, using active mode instead..."));
            Shared->Passive = false;
            active = true;
        }
    }
    if (active)
        connected = PrepareActive();

    bool success = false;
    if (connected) {
        bool failed = false;
        try {
            if (resume > 0) {
                // A download goes on after the bytes already on disk; an upload after the
                // bytes the server already holds.
                const int64_t offset = receive ? stream.Size() : std::min(resume, stream.Size());
                stream.Seek(receive ? offset : 0);
                if (offset > 0) {
                    SendCommand("REST " + QByteArray::number(static_cast<qlonglong>(offset)));
                    if (GetReplyClass() == 3) {
                        stream.Seek(offset);
                    } else {
                        LogInfo(QStringLiteral("Server unable to resume broken downloads"));
                        stream.Seek(0);
                        if (receive)
                            stream.Truncate(0);
                    }
                }
            }

            SendCommand(command);
            const bool started = GetReplyClass() == 1;
            TransferRefused = !started;
            if (started) {
                // The completion reply is still to come.
                ++RepliesNeeded;
                if (receive && !LocalFileName.isEmpty()) {
                    // Servers name the remote file; it is tried when the local name differs.
                    const QByteArray remote = command.mid(command.indexOf(' ') + 1);
                    int64_t size = -1;
                    for (const QByteArray& name :
                         {QFileInfo(LocalFileName).fileName().toUtf8(),
                          remote.mid(remote.lastIndexOf('/') + 1), remote}) {
                        if (size < 0)
                            size = AnnouncedSize(ReplyText, name);
                    }
                    if (size >= 0) {
                        AnnouncedFileSize = size;
                        Notify(TNotificationCode::UpdateFileSize,
                               TUpdateFileSizeEventData{LocalFileName, size});
                    }
                }
                if (active)
                    connected = AcceptData();
                if (!connected) {
                    failed = true;
                } else {
                    DebugHost("Before TransferSocketData");
                    const uint64_t started = TickCount();
                    const int64_t bytes = TransferSocketData(DataSocket, stream, receive);
                    const double seconds = static_cast<double>(TickCount() - started) / 1000.0;
                    success = GetReplyClass() == 2;
                    LogInfo(StatisticsLine(bytes, seconds));
                    if (success && receive && BinaryType && !LocalFileName.isEmpty() &&
                        AnnouncedFileSize > 0 && bytes < AnnouncedFileSize) {
                        // The partial file stays: a later resume completes it.
                        LogError(QStringLiteral("Transfer ended after %1 of %2 bytes")
                                     .arg(bytes)
                                     .arg(AnnouncedFileSize));
                        success = false;
                    }
                }
            }
        } catch (const ESocketException&) {
            DebugHost("TransferData.ESocketException");
            failed = true;
        } catch (const EStreamError& e) {
            DebugHost("TransferData.EStreamException");
            LogError(e.Message);
            failed = true;
        }
        CloseSocketGraceful(DataSocket);
        ListenSocket.Close();
        if (failed) {
            success = false;
            ReadPendingReply();
        }
    }

    if (!success && !Aborted()) {
        ReportWSAError();
        LogInfo(QStringLiteral("Unable to complete transfer"));
    }
    return success;
}

int64_t TFTPThread::TransferSocketData(TSocket& socket, TTransferStream& stream, bool receive,
                                       int64_t endPosition) {
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
        if (now - lastReport < ProgressIntervalMs)
            return;
        StartTimeOut();
        lastReport = now;
        Notify(TNotificationCode::Progress, TProgressData{1, ProgressIsFile, position});
    };

    const int64_t chunk = ChunkSize(receive ? EngineSettings().ReceiveBufferSize.load()
                                            : EngineSettings().SendBufferSize.load());
    if (DataBuffer.size() < chunk)
        DataBuffer.resize(chunk);
    char* buffer = DataBuffer.data();
    bool complete = false;
    // Each pass moves at least one chunk or waits (bounded by abort and time-out).
    if (receive) {
        for (;;) {
            if (Aborted() || TimedOut())
                break;
            int64_t want = chunk;
            if (endPosition >= 0) {
                if (position >= endPosition) {
                    complete = true;
                    break;
                }
                want = std::min(want, endPosition - position);
            }
            const ssize_t n = socket.Receive(buffer, static_cast<size_t>(want));
            if (n > 0) {
                stream.Write(buffer, n);
                position += n;
                progressed();
            } else if (n == 0 || errno == ECONNRESET) {
                complete = true;
                break;
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                const TWaitControl::Result waited = Wait.Wait(socket.Fd(), POLLIN);
                if (waited == TWaitControl::Result::Failed)
                    LastError = WSAErrorFromErrno(errno);
                if (waited != TWaitControl::Result::Ready)
                    break;
            } else {
                LastError = WSAErrorFromErrno(errno);
                DoErrorAborted();
            }
        }
    } else {
        bool stopped = false;
        while (!stopped) {
            const int64_t n = stream.Read(buffer, chunk);
            if (n == 0) {
                complete = true;
                break;
            }
            for (int64_t sent = 0; sent < n;) {
                if (Aborted() || TimedOut()) {
                    stopped = true;
                    break;
                }
                const ssize_t s = socket.Send(buffer + sent, static_cast<size_t>(n - sent));
                if (s > 0) {
                    sent += s;
                    position += s;
                    progressed();
                } else if (s == 0) {
                    const TWaitControl::Result waited = Wait.Wait(socket.Fd(), POLLOUT);
                    if (waited == TWaitControl::Result::Failed)
                        LastError = WSAErrorFromErrno(errno);
                    if (waited != TWaitControl::Result::Ready) {
                        stopped = true;
                        break;
                    }
                } else {
                    LastError = WSAErrorFromErrno(errno);
                    DoErrorAborted();
                }
            }
        }
    }
    if (!complete) {
        DebugHost("Select Failed. Aborted = %d, TimedOut = %d", Aborted(), TimedOut());
        DoErrorAborted();
    }
    StopTimeOut();
    CloseSocketGraceful(socket);
    Notify(TNotificationCode::Progress, TProgressData{2, ProgressIsFile, position});
    return position;
}
