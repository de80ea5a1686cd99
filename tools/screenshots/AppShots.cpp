// Shots of the program's main window, the transfer windows it keeps and the dialogs it
// opens.
#include "Shots.h"

#include "app/CompareOptionsWindow.h"
#include "app/MainWindow.h"
#include "app/MaskWindow.h"
#include "app/SidePane.h"
#include "automation/AutomationState.h"
#include "settings/SiteList.h"
#include "settings/windows/OptionsWindow.h"
#include "sites/windows/SiteManager.h"
#include "sites/windows/UrlWindow.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/windows/TransferManagerModel.h"
#include "transfer/windows/TransferManagerWindow.h"
#include "transfer/windows/TransferProgressWindow.h"
#include "views/HostBrowser.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/Viewer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {

// The files a shot writes (settings, site list) live as long as the renderer.
QString ScratchFile(const QString& name) {
    static QTemporaryDir folder;
    return folder.filePath(name);
}

// A folder of its own for a shot's downloads, so that no file is in their way.
QString ScratchFolder(const QString& name) {
    const QString path = ScratchFile(name);
    QDir().mkpath(path);
    return path;
}

// The main window with its local pane on the folder and its host pane connected to the
// site, waiting (10 s at most) until the host pane shows it.
std::unique_ptr<TfrmMain> ConnectedMain(TContext& context, const QString& localFolder) {
    auto window = std::make_unique<TfrmMain>(
        TMainPaths{ScratchFile("Tolvar.ini"), ScratchFile("Sites.ini"), ScratchFile("dev.ini"),
                   ScratchFile("registry.conf")});
    window->Settings().UsePASV = true;
    window->resize(1100, 720);
    window->show();
    window->OpenLocalFolder(localFolder, true);
    if (!window->ConnectLocation(QStringLiteral("127.0.0.1"), context.Port,
                                 QStringLiteral("anonymous"),
                                 QStringLiteral("screenshots@example.org"), context.Remote,
                                 QString(), QStringLiteral("Local server"), false))
        return Fails(QStringLiteral("the main window did not connect")), nullptr;
    THostView* host = window->CurrentHostView();
    if (!WaitFor([&] { return host->StateValue == hsIdle && host->ItemCount() > 0; }, 10000))
        return Fails(QStringLiteral("the main window's host tab shows nothing")), nullptr;
    return window;
}

// Selects the files in the host pane and presses "Download", as a user does; the first
// name is the current row, which is queued first, the others follow in the pane's order.
bool DownloadFromPane(TfrmMain& window, const QStringList& names) {
    THostView* host = window.CurrentHostView();
    QList<int> rows;
    for (const QString& name : names)
        for (int row = 0; row < host->ItemCount(); ++row)
            if (host->ItemName(row) == name) rows << row;
    if (rows.size() != names.size())
        return Fails(QStringLiteral("the host pane does not show all of %1")
                         .arg(names.join(QStringLiteral(", "))));
    host->SelectRows(rows);
    QAction* download = window.Actions().Download;
    if (!WaitFor([&] { return download->isEnabled(); }, 5000))
        return Fails(QStringLiteral("\"Download\" stayed disabled with files selected"));
    download->trigger();
    return true;
}

// The item of the host pane's queue that fetches the file.
TTransferItem* QueuedItem(TfrmMain& window, const char* name) {
    if (TTransferItems* queue = window.CurrentHostView()->ExistingQueue())
        for (int i = 0; i < queue->Count(); ++i)
            if (queue->Item(i)->FileName == name) return queue->Item(i);
    return nullptr;
}

bool WaitForBytes(TTransferItem* item, int64_t bytes) {
    if (!item) return Fails(QStringLiteral("the file was not queued"));
    if (WaitFor([&] { return item->State() == isBusy && item->BytesDone >= bytes; }, 20000))
        return true;
    return Fails(
        QStringLiteral("the download of %1 did not reach %2 bytes within 20 s (state %3, %4 bytes)")
            .arg(QString::fromUtf8(item->FileName))
            .arg(bytes)
            .arg(item->State())
            .arg(item->BytesDone));
}

} // namespace

TWindow MainWindowShot(TContext& context) {
    std::unique_ptr<TfrmMain> window = ConnectedMain(context, context.Local);
    if (!window) return nullptr;
    // A download of the biggest file, which the server sends slowly.
    THostView* host = window->CurrentHostView();
    int biggest = -1;
    for (int row = 0; row < host->ItemCount(); ++row)
        if (!host->IsFolder(row) && (biggest < 0 || host->ItemSize(row) > host->ItemSize(biggest)))
            biggest = row;
    if (biggest >= 0) {
        host->SelectRows({biggest});
        window->Actions().Download->trigger();
        WaitFor([] { return false; }, 1500);
    }
    return window;
}

TWindow DialogShot(TContext& context) {
    static TAutomationState state;
    auto window = std::make_unique<TfrmMain>(
        TMainPaths{ScratchFile("Tolvar.ini"), ScratchFile("Sites.ini"), ScratchFile("dev.ini"),
                   ScratchFile("registry.conf")});
    window->SetAutomationDialog(&state);
    window->show();
    if (!window->ConnectLocation(QStringLiteral("127.0.0.1"), context.Port,
                                 QStringLiteral("anonymous"),
                                 QStringLiteral("screenshots@example.org"), context.Remote,
                                 QString(), QStringLiteral("127.0.0.1"), false))
        return Fails(QStringLiteral("the dialog did not connect")), nullptr;
    THostView* host = window->CurrentHostView();
    if (!WaitFor([&] { return host->StateValue == hsIdle && host->ItemCount() > 0; }, 10000))
        return Fails(QStringLiteral("the dialog's host tab shows nothing")), nullptr;
    QList<int> files;
    for (int row = 0; row < host->ItemCount() && files.size() < 2; ++row)
        if (!host->IsFolder(row)) files << row;
    host->SelectRows(files);
    return window;
}

TWindow ViewerShot(TContext& context) {
    std::unique_ptr<TfrmMain> window = ConnectedMain(context, context.Local);
    if (!window) return nullptr;
    THostView* host = window->CurrentHostView();
    if (!host->ShowFolderAndWait(context.Remote + QStringLiteral("docs")))
        return Fails(QStringLiteral("the host pane did not open docs")), nullptr;
    window->Actions().ShowViewer->trigger();
    for (int row = 0; row < host->ItemCount(); ++row)
        if (host->ItemName(row) == QStringLiteral("guide.html")) host->SelectRows({row});
    TViewer* viewer = window->Viewer();
    if (!viewer ||
        !WaitFor([&] { return viewer->toPlainText().contains("Tolvar guide"); }, 10000) ||
        !WaitFor([&] { return !viewer->Loading(); }, 10000))
        return Fails(QStringLiteral("the viewer did not show docs/guide.html")), nullptr;
    return window;
}

TWindow HostPopupShot(TContext& context) {
    std::unique_ptr<TfrmMain> window = ConnectedMain(context, context.Local);
    if (!window) return nullptr;
    THostView* host = window->CurrentHostView();
    for (int row = 0; row < host->ItemCount(); ++row) {
        if (host->IsFolder(row)) continue;
        host->SelectRows({row});
        break;
    }
    // The popup reads the pane's state as it opens, as after a right click.
    WaitFor([] { return false; }, 300);
    host->OnContextMenu(host, window->mapToGlobal(QPoint(700, 300)));
    context.Grab = window->findChild<QMenu*>(QStringLiteral("popHost"));
    if (!context.Grab || !WaitFor([&] { return context.Grab->isVisible(); }, 2000))
        return Fails(QStringLiteral("the host popup did not open")), nullptr;
    return window;
}

// The transfer windows are the main window's own, shown as the user shows them while
// files the host pane queued come in.
TWindow ProgressShot(TContext& context) {
    std::unique_ptr<TfrmMain> window = ConnectedMain(context, ScratchFolder("progress"));
    if (!window ||
        !DownloadFromPane(*window, {"holiday-2023.jpg", "manual.pdf", "tolvar-1.10-src.tar.gz"}))
        return nullptr;
    window->Actions().ShowTransfers->trigger();
    auto* progress = dynamic_cast<TfrmTransfer*>(TransferItemsList().Windows().Progress);
    if (!progress || !progress->isVisible())
        return Fails(QStringLiteral("F12 showed no progress window")), nullptr;
    progress->findChild<QPushButton*>(QStringLiteral("btnToggleDetails"))->click();
    if (!WaitForBytes(QueuedItem(*window, "holiday-2023.jpg"), 1'300'000)) return nullptr;
    context.Grab = progress;
    return window;
}

TWindow ManagerShot(TContext& context) {
    std::unique_ptr<TfrmMain> window = ConnectedMain(context, ScratchFolder("manager"));
    // locked.dat cannot be read on the server: that item fails.
    if (!window || !DownloadFromPane(*window, {"CHANGES.md", "locked.dat", "manual.pdf",
                                               "sources.zip", "tolvar-1.10-src.tar.gz"}))
        return nullptr;
    window->Actions().TransferManager->trigger();
    auto* manager = dynamic_cast<TfrmTransferMngr*>(TransferItemsList().Windows().Manager);
    if (!manager || !manager->isVisible())
        return Fails(QStringLiteral("the transfer manager did not show")), nullptr;
    manager->resize(760, 260);
    // What the manager's "Cancel" does to a waiting item.
    if (TTransferItem* waiting = QueuedItem(*window, "tolvar-1.10-src.tar.gz"))
        CancelTransferItem(*waiting);
    if (!WaitForBytes(QueuedItem(*window, "manual.pdf"), 500'000)) return nullptr;
    manager->Model()->FlushProgress();
    context.Grab = manager;
    return window;
}

TWindow SiteManagerShot(TContext& context, bool additional) {
    const QString file = ScratchFile("Sites.ini");
    TSiteList sites(file);
    for (const char* name : {"Debian mirror", "Office", "Photos & Music"}) {
        TSite site = TSiteList::NewSite(context.Local);
        site.Name = QString::fromUtf8(name);
        site.Host = QStringLiteral("ftp.%1.example.org")
                        .arg(QString::fromUtf8(name).section(' ', 0, 0).toLower());
        site.User = QStringLiteral("ann");
        site.Password = QStringLiteral("secret");
        site.HostFolder = QStringLiteral("/pub");
        site.Notes = {QStringLiteral("Quiet after 22:00."),
                      QStringLiteral("Uploads go to /incoming.")};
        // The last one saved, which the window opens on.
        if (site.Name.startsWith(QLatin1Char('P'))) {
            site.Encryption = TEncryption::Implicit;
            site.Port = QStringLiteral("990");
        }
        sites.SaveSite(site);
    }
    auto window = std::make_unique<TfrmManager>(file, ScratchFile("dev.ini"), context.Settings);
    if (additional)
        if (auto* pages = window->findChild<QTabWidget*>())
            pages->setCurrentWidget(window->findChild<QWidget*>(QStringLiteral("tbshtAdditional")));
    window->show();
    return window;
}

TWindow UrlShot(TContext& context) {
    auto window = std::make_unique<TfrmURL>(context.Settings, nullptr);
    window->SetURL(
        QStringLiteral("ftp://ann@ftp.example.org:2121/pub/tolvar/tolvar-1.10-src.tar.gz"));
    window->show();
    return window;
}

TWindow OptionsShot(TContext& context, int page) {
    auto window = std::make_unique<TfrmOptions>(context.Settings, ScratchFile("Options.ini"),
                                                nullptr, nullptr);
    window->ShowPage(page);
    window->show();
    return window;
}

TWindow MaskShot(TContext& context) {
    std::unique_ptr<TfrmMain> window = ConnectedMain(context, context.Local);
    if (!window) return nullptr;
    window->CurrentHostView()->SetMask(QStringLiteral("*.txt;*.md"));
    auto* mask = new TfrmMask(window->CurrentHostView(), window.get());
    mask->show();
    context.Grab = mask;
    return window;
}

TWindow CompareOptionsShot(TContext&) {
    auto window = std::make_unique<TfrmCompareOptions>();
    window->show();
    return window;
}

// A local folder sharing some names with the site: one file the same, one larger here,
// one only here, so that both lists show a mixed selection.
TWindow ComparedShot(TContext& context) {
    const QString folder = ScratchFolder(QStringLiteral("compare"));
    const std::pair<const char*, int> files[] = {
        {"README.txt", 2'310}, {"CHANGES.md", 20'480}, {"prices.csv", 96}, {"notes.md", 5'400}};
    for (const auto& [name, size] : files) {
        QFile file(QDir(folder).filePath(QString::fromUtf8(name)));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            return Fails(QStringLiteral("could not write %1").arg(file.fileName())), nullptr;
    }
    QDir(folder).mkpath(QStringLiteral("docs"));
    std::unique_ptr<TfrmMain> window = ConnectedMain(context, folder);
    if (!window) return nullptr;
    window->AskCompareOptions = [] { return std::optional(TCompareOptions{}); };
    QAction* compare = window->Actions().CompareFolders;
    if (!WaitFor([&] { return compare->isEnabled(); }, 5000))
        return Fails(QStringLiteral("\"Compare Folders\" stayed disabled")), nullptr;
    compare->trigger();
    if (window->CurrentLocalView()->SelectedCount() == 0)
        return Fails(QStringLiteral("the compare selected nothing locally")), nullptr;
    return window;
}
