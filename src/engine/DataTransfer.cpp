// The transfer step shared by listings, downloads and uploads: data connection, REST,
// the command, the size announcement, the data loop and the statistics line.
#include "engine/FtpThread.h"

#include "engine/DataReplies.h"
#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"

#include <QFileInfo>

#include <algorithm>

namespace {

QString StatisticsLine(int64_t bytes, double seconds) {
    // The clock counts whole milliseconds: a transfer quicker than that took at most one,
    // never "0.00 seconds" at "0.00KB/s".
    seconds = std::max(seconds, 0.001);
    return QStringLiteral("Transferred %1 bytes in %2 seconds (%3KB/s)")
        .arg(FormatThousands(QString::number(bytes)),
             QString::number(seconds, 'f', seconds < 0.1 ? 3 : 2),
             QString::number(bytes / 1024.0 / seconds, 'f', 2));
}

} // namespace

void TFTPThread::ReadPendingReply() {
    StopTimeOut();
    const bool wasAborted = Aborted();
    try {
        GetReplyClass();
    } catch (...) {
        if (wasAborted) Wait.SetAborted(true);
        throw;
    }
    if (wasAborted || Aborted()) Wait.SetAborted(true);
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
    if (active) connected = PrepareActive();

    bool success = false;
    if (connected) {
        bool failed = false;
        // Where a download goes on, once the server took the REST.
        int64_t restartedAt = 0;
        try {
            bool fromStart = false;
            if (resume > 0) {
                // A download goes on after the bytes already on disk; an upload after the
                // bytes the server already holds.
                const int64_t offset = receive ? stream.Size() : std::min(resume, stream.Size());
                stream.Seek(receive ? offset : 0);
                if (offset > 0) {
                    SendCommand("REST " + QByteArray::number(static_cast<qlonglong>(offset)));
                    if (GetReplyClass() == 3) {
                        stream.Seek(offset);
                        if (receive) restartedAt = offset;
                    } else {
                        LogInfo(QStringLiteral("Server unable to resume broken downloads"));
                        stream.Seek(0);
                        fromStart = receive;
                    }
                }
            }

            // Timed from the command on: the data may be all in before the loop starts
            // (a fast server fills the socket while the reply and the accept are awaited).
            const uint64_t commandSent = TickCount();
            SendCommand(command);
            const bool started = GetReplyClass() == 1;
            TransferRefused = !started;
            if (started) {
                // The completion reply is still to come.
                ++RepliesNeeded;
                stream.Begin();
                // The old bytes go only once the new ones come: a refused command keeps them.
                if (fromStart) stream.Truncate(0);
                if (receive && !LocalFileName.isEmpty()) {
                    // Servers name the remote file; it is tried when the local name differs.
                    const QByteArray remote = command.mid(command.indexOf(' ') + 1);
                    int64_t size = -1;
                    for (const QByteArray& name :
                         {QFileInfo(LocalFileName).fileName().toUtf8(),
                          remote.mid(remote.lastIndexOf('/') + 1), remote}) {
                        if (size < 0) size = AnnouncedSize(ReplyText, name);
                    }
                    if (size >= 0) {
                        // After a restart some servers announce what is left, not the size.
                        if (restartedAt == 0) AnnouncedFileSize = size;
                        Notify(TNotificationCode::UpdateFileSize,
                               TUpdateFileSizeEventData{LocalFileName, size});
                    }
                }
                if (active) connected = AcceptData();
                if (connected && DataTls) connected = StartDataTls();
                if (!connected) {
                    failed = true;
                } else {
                    // A resumed transfer starts past its earlier part, which this run did not move.
                    const int64_t movedFrom = stream.Position();
                    DebugHost("Before TransferSocketData");
                    // A resumed download never grows past the file's size: a server that
                    // ignored the REST sends the file from its start again.
                    const int64_t limit =
                        restartedAt > 0 && AnnouncedFileSize > 0 ? AnnouncedFileSize : -1;
                    const int64_t bytes = TransferSocketData(DataSocket, stream, receive, limit);
                    const double seconds = static_cast<double>(TickCount() - commandSent) / 1000.0;
                    success = GetReplyClass() == 2;
                    LogInfo(StatisticsLine(bytes - movedFrom, seconds));
                    if (PassedLimit) {
                        stream.Truncate(restartedAt);
                        Shared->ResumeSupported = false;
                        LogError(QStringLiteral("the server ignored the restart; the file will be "
                                                "fetched from the start"));
                        success = false;
                    } else if (success && receive && !LocalFileName.isEmpty() &&
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
