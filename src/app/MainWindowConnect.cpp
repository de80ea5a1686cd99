// Opening connections: the site manager, a site, a last connection, a URL, a location,
// and the recent list.
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "settings/TrustedCertificates.h"
#include "sites/PasswordPrompt.h"
#include "sites/windows/SiteManager.h"
#include "sites/windows/UrlWindow.h"
#include "startup/CommandLineItems.h"
#include "transfer/TransferItems.h"
#include "views/MainCommands.h"
#include "views/ViewQuestions.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QUrl>

namespace {

// A site's port: 21 when none is typed, nothing when it is not one of 1 to 65535.
std::optional<int> PortOf(const QString& text) {
    if (text.trimmed().isEmpty()) return 21;
    if (const std::optional<quint16> port = SitePort(text)) return *port;
    return std::nullopt;
}

bool Idle(THostView* view, const QSet<const TCustomView*>& busy) {
    const TTransferItems* queue = view->ExistingQueue();
    return !view->Connected() && !busy.contains(view) && !view->Session()->Busy() &&
           (!queue || queue->Idle());
}

} // namespace

bool TfrmMain::ConnectSite(const TSite& site) {
    if (site.Host.trimmed().isEmpty()) return false;
    const std::optional<int> port = PortOf(site.Port);
    if (!port) {
        Questions_->ShowMessage(
            QStringLiteral("The port of the site %1 must be a number from 1 to 65535.")
                .arg(site.Name));
        return false;
    }
    if (!ConnectLocation(site.Host.trimmed(), *port, site.User, site.Password, site.HostFolder,
                         QString(), ConnectionCaption(site.Name, site.Host.trimmed(), *port),
                         site.UseFirewall, false, {site.Encryption, {}, false}, site.NameCharset))
        return false;
    OpenLocalFolder(site.LocalFolder1, true);
    OpenLocalFolder(site.LocalFolder2, false);
    OpenLocalFolder(site.LocalFolder3, false);
    AddLastConnection(site.Name);
    return true;
}

bool TfrmMain::ConnectLocation(const QString& host, int port, const QString& user, QString password,
                               const QString& folder, const QString& masks, const QString& caption,
                               bool useFirewall, bool fromCommandLine,
                               const TSessionSecurity& security, const QString& nameCharset) {
    if (port < 1 || port > 65535) return false;
    // Asked before any tab is made or named: a cancelled prompt leaves no trace.
    const TPasswordOutcome outcome =
        ResolvePassword(password, Settings_.PromptForPass, fromCommandLine,
                        [&] { return AskPassword ? AskPassword(host) : std::nullopt; });
    if (!outcome.Connect) return false;
    THostView* view = CurrentHostView();
    if (!view || !Idle(view, BusyViews_)) view = CreateHostTab();
    const int index = HostPane_->IndexOf(view);
    HostPane_->SetCaption(index, caption);
    view->ConnectionName = caption;
    setWindowTitle(MainTitle(caption));
    view->Browser().UsesFirewall = useFirewall;
    view->Browser().NameCharset = TNameCharset(nameCharset);
    view->Connect(host, port, masks, folder, user.toUtf8(), outcome.Password.toUtf8(), QByteArray(),
                  security);
    return true;
}

void TfrmMain::AddLastConnection(const QString& siteName) {
    if (siteName.isEmpty()) return;
    LastMenu_->setEnabled(true);
    QStringList names;
    names << siteName;
    for (const QString& name : LastConnections_)
        if (!name.isEmpty() && name != siteName) names << name;
    while (names.size() > 8)
        names.removeLast();
    while (names.size() < 8)
        names << QString();
    LastConnections_ = names;
}

void TfrmMain::Connect() {
    TfrmManager manager(Paths_.Sites, Paths_.Dev, Settings_, DialogQuestions(), this);
    if (manager.exec() != QDialog::Accepted) return;
    ConnectSite(manager.Site());
}

void TfrmMain::ConnectLastConnection(const QString& siteName) {
    TfrmManager manager(Paths_.Sites, Paths_.Dev, Settings_, DialogQuestions(), this);
    manager.SetCurrentSite(siteName);
    manager.LoadSite();
    const TSite site = manager.Site();
    if (site.Host.trimmed().isEmpty()) {
        Questions_->ShowMessage(
            QStringLiteral("The site %1 is no longer in the site list.").arg(siteName));
        return;
    }
    ConnectSite(site);
}

void TfrmMain::ConnectToURL() {
    EnsureViewer();
    TfrmURL window(Settings_, DialogQuestions(), this);
    const QString localFolder =
        CurrentLocalView() ? CurrentLocalView()->Folder() : QDir::currentPath();
    window.SetDownloadFolder(localFolder);
    if (window.exec() != QDialog::Accepted || !window.Valid()) return;
    // A page asked for in the viewer is shown there; other HTTP downloads the window queued.
    if (window.UseViewer()) {
        ShowInViewer(QUrl(window.URL()));
        return;
    }
    if (window.IsHTTP()) return;
    const TSplitURL parts = window.Parts();
    const bool wildcards =
        parts.FileName.contains(QLatin1Char('*')) || parts.FileName.contains(QLatin1Char('?'));
    QString destination = localFolder;
    if (!parts.FileName.isEmpty()) {
        destination =
            Questions_->PickFolder(QStringLiteral("Select Destination Folder"), localFolder);
        if (destination.isEmpty()) return;
    }
    if (parts.FileName.isEmpty() || wildcards) {
        if (!parts.FileName.isEmpty()) OpenLocalFolder(destination, true);
        ConnectLocation(parts.Host, parts.Port, parts.User, parts.Password, parts.FolderPath,
                        parts.FileName, ConnectionCaption(QString(), parts.Host, parts.Port), true,
                        false, {parts.Encryption, {}, false});
        return;
    }
    const TPasswordOutcome password =
        ResolvePassword(parts.Password, Settings_.PromptForPass, false,
                        [&] { return AskPassword ? AskPassword(parts.Host) : std::nullopt; });
    if (!password.Connect) return;
    QStringList errors;
    QueueURLDownloads(parts, password.Password, destination, &errors,
                      TTrustedCertificates(TrustedCertificatesFileBeside(Paths_.Sites))
                          .Fingerprints(parts.Host, parts.Port));
    for (const QString& error : errors)
        WriteLog(nullptr, error, 0x0000FF);
}
