// Renders Tolvar's windows offscreen into PNG files, one per shot, so a person can look
// at what the program shows without a display. The host panes connect to the FTP server
// given (scripts/screenshots.sh starts one); the local pane shows a local folder.
//   tolvar-screenshots --port PORT --remote FOLDER --local FOLDER --out FOLDER
//                      [--only NAME[,NAME...]] [--list]
// A new window is one more entry in Shots below: a name and a function that builds the
// window, waits until it is ready and returns it.
#include "Shots.h"
#include "listing/FtpUtils.h"
#include "settings/Settings.h"
#include "sites/windows/PasswordDialog.h"
#include "transfer/windows/Confirm.h"
#include "transfer/windows/Overwrite.h"
#include "transfer/windows/Restart.h"
#include "views/HostBrowser.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/Properties.h"
#include "views/widgets/RemoteListModel.h"
#include "views/widgets/TreeCombo.h"
#include "views/widgets/ViewQuestions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>
#include <memory>

// What the shots share (Shots.h).
QString Problem;

bool Fails(const QString& text) {
    Problem = text;
    return false;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

namespace {

// A pane below its folder drop-down, as the main window stacks them.
QWidget* Column(TTreeCombo* tree, TCustomView* view) {
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(tree);
    layout->addWidget(view, 1);
    return column;
}

// Connects the host pane and waits (10 s at most) until it shows the remote folder idle.
bool ConnectHost(THostView& host, TContext& context) {
    host.Browser().SetSettings(&context.Settings);
    host.Connect(QStringLiteral("127.0.0.1"), context.Port, QString(), context.Remote, "anonymous",
                 "screenshots@example.org", QByteArray());
    const bool shown = WaitFor(
        [&] {
            return host.StateValue == hsIdle && host.Browser().ShownListing() &&
                   host.ItemCount() > 0;
        },
        10000);
    if (!shown)
        return Fails(QStringLiteral("the host pane did not show %1 on 127.0.0.1:%2 within 10 s "
                                    "(state %3, %4 items)")
                         .arg(context.Remote)
                         .arg(context.Port)
                         .arg(host.StateValue)
                         .arg(host.ItemCount()));
    return true;
}

bool ShowLocal(TLocalView& local, const TContext& context) {
    if (!local.ShowFolder(context.Local))
        return Fails(QStringLiteral("the local pane could not show %1").arg(context.Local));
    if (!WaitFor([&] { return local.ItemCount() > 0; }, 10000))
        return Fails(QStringLiteral("the local pane shows nothing in %1").arg(context.Local));
    return true;
}

// The local pane and a host pane side by side, both in report style.
TWindow Panes(TContext& context) {
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Tolvar"));
    auto* localTree = new TTreeCombo;
    auto* local = new TLocalView;
    auto* hostTree = new TTreeCombo;
    auto* host = new THostView;
    local->SetTreeCombo(localTree);
    host->SetTreeCombo(hostTree);
    local->SetViewStyle(TCustomView::vsReport);
    host->SetViewStyle(TCustomView::vsReport);
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(Column(localTree, local));
    split->addWidget(Column(hostTree, host));
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(split);
    window->resize(1000, 600);
    split->setSizes({500, 500});
    window->show();
    if (!ShowLocal(*local, context) || !ConnectHost(*host, context)) return nullptr;
    return window;
}

// The host pane alone in icon style.
TWindow HostIcons(TContext& context) {
    auto window = std::make_unique<QWidget>();
    auto* tree = new TTreeCombo;
    auto* host = new THostView;
    host->SetTreeCombo(tree);
    host->SetViewStyle(TCustomView::vsIcon);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Column(tree, host));
    window->resize(600, 500);
    window->show();
    if (!ConnectHost(*host, context)) return nullptr;
    return window;
}

// The properties window over two remote files whose permissions differ, as the host
// pane opens it for its selection.
TWindow RemoteProperties(TContext& context) {
    THostView host;
    if (!ConnectHost(host, context)) return nullptr;
    const TRemoteListModel& model = host.Model();
    QList<int> rows;
    for (int row = 0; row < model.rowCount() && rows.size() < 2; ++row) {
        const uint16_t attributes = model.Entry(row).Item.Attributes;
        if (model.IsFolder(row) || (attributes & raLink)) continue;
        if (rows.isEmpty() || model.Entry(rows.first()).Item.Attributes != attributes) rows << row;
    }
    if (rows.size() < 2) {
        Fails(QStringLiteral("%1 has no two files with different permissions").arg(context.Remote));
        return nullptr;
    }
    QList<TPropertiesRecord> records;
    for (int row : rows) {
        TPropertiesRecord record;
        record.Name = host.ItemName(row);
        record.TypeText = model.TypeText(row);
        record.IsFolder = false;
        record.Size = host.ItemSize(row);
        record.Date = host.ItemDate(row);
        record.Attributes = model.Entry(row).Item.Attributes;
        record.Icon = model.data(model.index(row, 0), Qt::DecorationRole).value<QIcon>();
        records << record;
    }
    THostBrowser& browser = host.Browser();
    auto window = std::make_unique<TfrmProperties>(
        records, DisplayText(browser.ToServerPath(browser.Folder())), browser.Separator(), true);
    window->show();
    return window;
}

// The confirmation dialogs and the password prompt, with made-up inputs.
TWindow Overwrite(TContext&) {
    auto window = std::make_unique<TfrmOverwrite>(
        TExistingFile{QStringLiteral("holiday-2023.jpg"), 1'048'576, 2'816'503, 45200.5, 45390.75});
    window->show();
    return window;
}

TWindow Restart(TContext&) {
    auto window = std::make_unique<TfrmRestart>(QStringLiteral("tolvar-1.10-src.tar.gz"));
    window->show();
    return window;
}

TWindow Confirm(TContext&) {
    auto window = std::make_unique<TfrmConfirm>(1, QStringLiteral("releases"), true);
    window->show();
    return window;
}

TWindow Password(TContext&) {
    auto window = std::make_unique<TdlgPassword>();
    window->show();
    return window;
}

// The certificate question and the error about a changed certificate, with a made-up
// self-signed certificate.
TCertificateInfo MadeUpCertificate() {
    TCertificateInfo certificate;
    certificate.Host = QStringLiteral("ftp.example.org:990");
    certificate.Subject = QStringLiteral("CN=ftp.example.org, O=Example Ltd");
    certificate.Issuer = certificate.Subject;
    certificate.ValidFrom = QStringLiteral("2026-01-05 10:00:00 UTC");
    certificate.ValidUntil = QStringLiteral("2027-01-05 10:00:00 UTC");
    certificate.Fingerprint = "3F:A9:0C:5E:71:D2:8B:44:9A:1E:C3:77:05:B8:E2:6D:"
                              "90:4C:1A:F3:68:2B:D5:0E:C7:39:84:A1:5F:6E:02:BB";
    certificate.Problem = QStringLiteral("self-signed certificate");
    return certificate;
}

TWindow Certificate(TContext&) {
    TWindow window(NewCertificateBox(MadeUpCertificate(), nullptr));
    window->show();
    return window;
}

TWindow CertificateChanged(TContext&) {
    TCertificateInfo certificate = MadeUpCertificate();
    certificate.Changed = true;
    const QList<QByteArray> before{"C1:07:5D:E8:22:9F:4A:B0:6E:13:D7:58:8C:F1:30:A4:"
                                   "7B:E9:02:6F:D3:45:18:BC:90:2E:F7:61:AD:0C:93:5E"};
    auto window = std::make_unique<QMessageBox>(
        QMessageBox::Critical, QStringLiteral("Tolvar"),
        CertificateChangedText(certificate, before,
                               QStringLiteral("/home/ann/.config/tolvar/TrustedCertificates.txt")));
    window->show();
    return window;
}

struct TShot {
    const char* Name;
    const char* What;
    std::function<TWindow(TContext&)> Render;
};

const TShot Shots[] = {
    {"panes", "local and host panes side by side, report style", Panes},
    {"properties", "properties of two remote files with different permissions", RemoteProperties},
    {"host-icons", "the host pane in icon style", HostIcons},
    {"overwrite", "overwrite question, a smaller file in the way", Overwrite},
    {"restart", "restart question", Restart},
    {"confirm", "delete confirmation of one folder", Confirm},
    {"password", "session password prompt", Password},
    {"certificate", "question about a self-signed server certificate", Certificate},
    {"certificate-changed", "error about a certificate that changed since it was trusted",
     CertificateChanged},
    {"progress", "progress window with details during the first of three downloads", ProgressShot},
    {"manager", "transfer manager, items in every state", ManagerShot},
    {"main", "the main window connected to a local server, a download running", MainWindowShot},
    {"dialog", "the main window as a remote open dialog, two files selected", DialogShot},
    {"viewer", "the internal viewer showing a page of the server", ViewerShot},
    {"host-popup", "the host pane's popup menu over a selected file", HostPopupShot},
    {"sites", "the site manager with three sites",
     [](TContext& c) { return SiteManagerShot(c, false); }},
    {"sites-additional", "the site manager's Additional page, an implicit-TLS site",
     [](TContext& c) { return SiteManagerShot(c, true); }},
    {"url", "the URL window with every part filled", UrlShot},
    {"options-general", "options: General", [](TContext& c) { return OptionsShot(c, 0); }},
    {"options-advanced", "options: Advanced", [](TContext& c) { return OptionsShot(c, 1); }},
    {"options-connection", "options: Connection", [](TContext& c) { return OptionsShot(c, 2); }},
    {"options-conversions", "options: Conversions", [](TContext& c) { return OptionsShot(c, 3); }},
    {"options-firewall", "options: Firewall", [](TContext& c) { return OptionsShot(c, 4); }},
    {"options-sounds", "options: Sounds", [](TContext& c) { return OptionsShot(c, 5); }},
    {"options-filetypes", "options: File Types", [](TContext& c) { return OptionsShot(c, 6); }},
    {"mask", "the mask window over the host pane", MaskShot},
    {"compare-options", "the compare options", CompareOptionsShot},
    {"compare-panes", "both panes after \"Compare Folders\"", ComparedShot},
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders Tolvar's windows into PNG files."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("The FTP server's port on 127.0.0.1."),
         QStringLiteral("PORT")},
        {QStringLiteral("remote"), QStringLiteral("The remote folder the host panes show."),
         QStringLiteral("FOLDER")},
        {QStringLiteral("local"), QStringLiteral("The local folder the local pane shows."),
         QStringLiteral("FOLDER")},
        {QStringLiteral("out"), QStringLiteral("Where the PNG files go."),
         QStringLiteral("FOLDER")},
        {QStringLiteral("only"), QStringLiteral("Only these shots (comma-separated)."),
         QStringLiteral("NAMES")},
        {QStringLiteral("list"), QStringLiteral("Lists the shots and exits.")},
    });
    parser.process(app);
    if (parser.isSet(QStringLiteral("list"))) {
        for (const TShot& shot : Shots)
            std::printf("%-12s %s\n", shot.Name, shot.What);
        return 0;
    }
    TContext context;
    context.Port = parser.value(QStringLiteral("port")).toInt();
    context.Remote = parser.value(QStringLiteral("remote"));
    context.Local = parser.value(QStringLiteral("local"));
    context.Settings.UsePASV = true;
    const QString out = parser.value(QStringLiteral("out"));
    if (context.Port <= 0 || context.Remote.isEmpty() || context.Local.isEmpty() || out.isEmpty()) {
        std::fprintf(stderr,
                     "tolvar-screenshots: --port, --remote, --local and --out are needed\n");
        return 2;
    }
    QStringList only =
        parser.value(QStringLiteral("only")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& name : only) {
        bool known = false;
        for (const TShot& shot : Shots)
            known = known || name == QLatin1String(shot.Name);
        if (!known) {
            std::fprintf(stderr, "tolvar-screenshots: no shot named %s (--list names them)\n",
                         qPrintable(name));
            return 2;
        }
    }
    QDir().mkpath(out);
    int failed = 0;
    for (const TShot& shot : Shots) {
        if (!only.isEmpty() && !only.contains(QLatin1String(shot.Name))) continue;
        Problem.clear();
        context.Grab = nullptr;
        TWindow window = shot.Render(context);
        const QString file = QDir(out).filePath(QLatin1String(shot.Name) + QStringLiteral(".png"));
        if (window) {
            // Let queued layouts and delayed item layouts run before the picture.
            WaitFor([] { return false; }, 200);
            QWidget* shown = context.Grab ? context.Grab.data() : window.get();
            if (!shown->grab().save(file)) {
                window.reset();
                Problem = QStringLiteral("could not write %1").arg(file);
            }
        }
        if (!window) {
            std::fprintf(stderr, "tolvar-screenshots: %s: %s\n", shot.Name,
                         qPrintable(Problem.isEmpty() ? QStringLiteral("not rendered") : Problem));
            ++failed;
            continue;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return failed ? 1 : 0;
}
