// Shots of the program's main window and the dialogs it opens.
#include "Shots.h"

#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "settings/SiteList.h"
#include "settings/windows/OptionsWindow.h"
#include "sites/windows/SiteManager.h"
#include "sites/windows/UrlWindow.h"
#include "views/HostBrowser.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QAction>
#include <QTemporaryDir>

namespace {

// The files a shot writes (settings, site list) live as long as the renderer.
QString ScratchFile(const QString& name) {
    static QTemporaryDir folder;
    return folder.filePath(name);
}

} // namespace

TWindow MainWindowShot(TContext& context) {
    auto window = std::make_unique<TfrmMain>(
        TMainPaths{ScratchFile("Tolvar.ini"), ScratchFile("Sites.ini"), ScratchFile("dev.ini"), ScratchFile("registry.conf")});
    window->Settings().UsePASV = true;
    window->resize(1100, 720);
    window->show();
    window->OpenLocalFolder(context.Local, true);
    if (!window->ConnectLocation(QStringLiteral("127.0.0.1"), context.Port, QStringLiteral("anonymous"),
                                 QStringLiteral("screenshots@example.org"), context.Remote, QString(),
                                 QStringLiteral("Local server"), false))
        return Fails(QStringLiteral("the main window did not connect")), nullptr;
    THostView* host = window->CurrentHostView();
    if (!WaitFor([&] { return host->StateValue == hsIdle && host->ItemCount() > 0; }, 10000))
        return Fails(QStringLiteral("the main window's host tab shows nothing")), nullptr;
    // A download of the biggest file, which the server sends slowly.
    int biggest = -1;
    for (int row = 0; row < host->ItemCount(); ++row)
        if (!host->IsFolder(row) && (biggest < 0 || host->ItemSize(row) > host->ItemSize(biggest)))
            biggest = row;
    if (biggest >= 0) {
        host->SelectRows({biggest});
        window->Action(QStringLiteral("actDownload"))->trigger();
        WaitFor([] { return false; }, 1500);
    }
    return window;
}

TWindow SiteManagerShot(TContext& context) {
    const QString file = ScratchFile("Sites.ini");
    TSiteList sites(file);
    for (const char* name : {"Debian mirror", "Office", "Photos & Music"}) {
        TSite site = TSiteList::NewSite(context.Local);
        site.Name = QString::fromUtf8(name);
        site.Host = QStringLiteral("ftp.%1.example.org").arg(QString::fromUtf8(name).section(' ', 0, 0).toLower());
        site.User = QStringLiteral("ann");
        site.Password = QStringLiteral("secret");
        site.HostFolder = QStringLiteral("/pub");
        site.Notes = {QStringLiteral("Quiet after 22:00."), QStringLiteral("Uploads go to /incoming.")};
        sites.SaveSite(site);
    }
    auto window = std::make_unique<TfrmManager>(file, ScratchFile("dev.ini"), context.Settings);
    window->show();
    return window;
}

TWindow UrlShot(TContext& context) {
    auto window = std::make_unique<TfrmURL>(context.Settings, nullptr);
    window->SetURL(QStringLiteral("ftp://ann@ftp.example.org:2121/pub/tolvar/tolvar-1.10-src.tar.gz"));
    window->show();
    return window;
}

TWindow OptionsShot(TContext& context, int page) {
    auto window = std::make_unique<TfrmOptions>(context.Settings, ScratchFile("Options.ini"), nullptr, nullptr);
    window->ShowPage(page);
    window->show();
    return window;
}
