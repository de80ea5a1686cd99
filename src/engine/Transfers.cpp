#include "engine/FtpThread.h"

// Data connections and file transfers arrive with the transfer machinery.
bool TFTPThread::RunTransferCommand(TCommandItem&) {
    LogError(QStringLiteral("Transfers are not available yet"));
    return false;
}
