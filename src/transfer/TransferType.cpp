#include "transfer/TransferType.h"

#include "listing/FtpUtils.h"
#include "listing/ServerTypes.h"
#include "settings/Settings.h"

#include <algorithm>

int TransferTypeFor(const QByteArray& fileName, const TSettings& settings, bool serverKeepsLF) {
    const int mode = settings.TransferMode;
    if (mode >= 1 && mode <= 4) return mode;
    if (mode != 0 || serverKeepsLF) return 2;
    // The extension counts from the last dot of the last path component.
    const qsizetype start = std::max(
        {fileName.lastIndexOf('\\'), fileName.lastIndexOf(':'), fileName.lastIndexOf('/')});
    const qsizetype dot = fileName.lastIndexOf('.');
    if (dot <= start) return 2;
    const QString extension = DisplayText(fileName.mid(dot)).toLower();
    return settings.ASCIIExtensions.contains(extension, Qt::CaseInsensitive) ? 1 : 2;
}

bool ServerKeepsLF(int serverType) {
    return (serverType & 0x7F) == ServerTypeUnix;
}
