#include "engine/FtpThread.h"

bool TFTPThread::GetHTTP(TCommandItem&) {
    LogError(QStringLiteral("HTTP downloads are not available yet"));
    return false;
}
