// The dialogs the main window opens: site manager, URL window, options.
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "settings/windows/OptionsWindow.h"
#include "sites/PasswordPrompt.h"
#include "sites/windows/SiteManager.h"
#include "sites/windows/UrlWindow.h"
#include "startup/CommandLineItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/windows/TransferProgressWindow.h"
#include "views/MainCommands.h"
#include "views/ViewQuestions.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QDir>

namespace {

// Dialogs ask through the window's questions only when a test has replaced them.
IViewQuestions* DialogQuestions(IViewQuestions* questions, const IViewQuestions* own) {
    return questions == own ? nullptr : questions;
}

} // namespace

void TfrmMain::Connect() {
    TfrmManager manager(Paths_.Sites, Paths_.Dev, Settings_,
                        DialogQuestions(Questions_, OwnQuestions_.get()), this);
    if (manager.exec() != QDialog::Accepted) return;
    ConnectSite(manager.Site());
}

void TfrmMain::ConnectLastConnection(const QString& siteName) {
    TfrmManager manager(Paths_.Sites, Paths_.Dev, Settings_,
                        DialogQuestions(Questions_, OwnQuestions_.get()), this);
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
    TfrmURL window(Settings_, DialogQuestions(Questions_, OwnQuestions_.get()), this);
    const QString localFolder =
        CurrentLocalView() ? CurrentLocalView()->Folder() : QDir::currentPath();
    window.SetDownloadFolder(localFolder);
    // HTTP downloads (and the viewer's, until there is a viewer) are queued by the window.
    if (window.exec() != QDialog::Accepted || !window.Valid() || window.IsHTTP() ||
        window.UseViewer())
        return;
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
                        parts.FileName, ConnectionCaption(QString(), parts.Host, parts.Port), true);
        return;
    }
    const TPasswordOutcome password =
        ResolvePassword(parts.Password, Settings_.PromptForPass, false,
                        [&] { return AskPassword ? AskPassword(parts.Host) : std::nullopt; });
    if (!password.Connect) return;
    QStringList errors;
    QueueURLDownloads(parts, password.Password, destination, &errors);
    for (const QString& error : errors)
        WriteLog(nullptr, error, 0x0000FF);
}

void TfrmMain::ShowOptions() {
    TfrmOptions options(Settings_, Paths_.Settings, Sounds_,
                        DialogQuestions(Questions_, OwnQuestions_.get()), this);
    options.SetPinPressed([this] { return Progress_->Pinned(); });
    options.exec();
}
