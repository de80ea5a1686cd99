#include "views/MainCommands.h"

#include "settings/Settings.h"
#include "views/HostBrowser.h"
#include "views/ViewFormat.h"

#include <QStringList>

THostCommandStates HostCommandStates(const THostCommandInput& in) {
    THostCommandStates s;
    const bool c = in.Connected;
    s.Stop = in.Active || c;
    s.Disconnect = c;
    s.Download = c && in.Selected >= 1 && !in.Busy;
    s.Delete = c && in.Selected >= 1 && !in.Active;
    s.Rename = c && in.Selected == 1 && !in.Active;
    s.NewFolder = s.Refresh = s.EditWith = s.ViewStyle = c && !in.Active;
    s.FileMask = c;
    s.ChangeFolder = s.CompareFolders = c && !in.Busy;
    s.UpOneLevel = c && !in.AtRoot;
    s.Properties = in.Selected >= 1 && !in.Busy;
    return s;
}

THostPopupStates HostPopupStates(const THostCommandStates& commands, bool focusedIsFolder) {
    THostPopupStates s;
    s.Open = s.View = commands.Delete && !focusedIsFolder;
    s.Download = commands.Download;
    s.DownloadNow = commands.Download && !focusedIsFolder;
    s.Rename = commands.Rename;
    s.Delete = s.SendTo = s.Properties = commands.Delete;
    s.New = commands.NewFolder;
    return s;
}

THostPopupDefault HostPopupDefault(int hostDblClk) {
    switch (hostDblClk) {
    case 0:
        return hpProperties;
    case 1:
        return hpView;
    case 2:
        return hpDownload;
    default:
        return hpOpen;
    }
}

TEditWithStates EditWithStates(bool selected, bool isFolder, const QString& name, bool editorSet) {
    static const QStringList web{"html", "htm", "shtml", "asp", "cfm", "txt", "css", "asi", "js"};
    TEditWithStates s;
    s.NotePad = selected && !isFolder;
    s.Pellion = s.NotePad && editorSet && web.contains(FileExtension(name).toLower());
    return s;
}

TLocalCommandStates LocalCommandStates(int selected, bool hostConnected) {
    TLocalCommandStates s;
    s.Delete = s.Properties = selected >= 1;
    s.Rename = selected == 1;
    s.Upload = hostConnected && selected >= 1;
    return s;
}

int StatusSound(int status) {
    switch (status) {
    case hsError:
    case hsAborted:
        return seError;
    case hsLoggedIn:
        return seConnectSuccess;
    case hsDisconnected:
        return seDisconnect;
    case hsCantLogIn:
        return seConnectFailure;
    case hsFileArrived:
        return seEndOfFile;
    case hsAllDone:
        return seEndOfTotal;
    default:
        return -1;
    }
}

QString QuitQuestion(int connections, const QString& unfinished) {
    if (connections <= 0 && unfinished.isEmpty()) return {};
    QString text = QStringLiteral("Are you sure you wish to quit?");
    if (connections == 1)
        text += QStringLiteral("\nThere is still 1 active connection.");
    else if (connections > 1)
        text += QStringLiteral("\nThere are still %1 active connections.").arg(connections);
    if (!unfinished.isEmpty())
        text += QStringLiteral("\n%1.\nQuitting cancels unfinished transfers; a partly "
                               "downloaded file is kept and can be resumed later.")
                    .arg(unfinished);
    return text;
}

QString MnemonicSafe(const QString& name) {
    QString text = name;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString MainTitle(const QString& caption) {
    return QStringLiteral("%1 - Tolvar").arg(caption);
}

QString ConnectionCaption(const QString& siteName, const QString& host, int port) {
    if (!siteName.trimmed().isEmpty()) return siteName;
    if (port == 21 || port <= 0) return host;
    const bool v6 = host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['));
    return (v6 ? QStringLiteral("[%1]").arg(host) : host) + QStringLiteral(":%1").arg(port);
}
