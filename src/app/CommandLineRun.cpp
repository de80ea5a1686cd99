#include "app/CommandLineRun.h"

#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "listing/FtpUtils.h"
#include "settings/TrustedCertificates.h"
#include "sites/PasswordPrompt.h"
#include "sites/UrlComposer.h"
#include "startup/CommandLine.h"
#include "startup/CommandLineItems.h"
#include "transfer/TransferItem.h"
#include "transfer/TransferItemsList.h"
#include "views/HostBrowser.h"
#include "views/MainCommands.h"
#include "views/ViewFormat.h"
#include "views/ViewQuestions.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QDir>

namespace {

constexpr TColor Red = 0x0000FF;
// How long a browsing connection shows its folder without queuing anything before a
// run that exits when done counts it as "no match".
constexpr int IdleTicksBeforeNoMatch = 6; // of 250 ms

} // namespace

TCommandLineRunner::TCommandLineRunner(TfrmMain& window) : Window_(window) {
    Window_.Monitor().AddListener(this);
    Poll_.setInterval(250);
    connect(&Poll_, &QTimer::timeout, this, &TCommandLineRunner::Check);
}

TCommandLineRunner::~TCommandLineRunner() {
    Window_.Monitor().RemoveListener(this);
}

void TCommandLineRunner::Log(const QString& text) {
    Errors_ = true;
    Window_.WriteLog(nullptr, text, Red);
}

void TCommandLineRunner::Run(const TCommandLine& commandLine) {
    for (const QString& error : commandLine.Errors)
        Log(error);
    Start(commandLine, commandLine.ExitWhenDone);
}

void TCommandLineRunner::RunHandedOver(const QStringList& message) {
    if (message.isEmpty()) return;
    const TCommandLine commandLine = ParseCommandLine(message.mid(1), message.first());
    for (const QString& url : commandLine.Urls)
        RunURL(url);
    if (!commandLine.Host.isEmpty()) Start(commandLine, false, true);
    // A start refuses its own unknown switches before handing over; a message from
    // elsewhere may still hold some.
    for (const QString& error : commandLine.SwitchErrors + commandLine.Errors)
        Log(error);
}

TLocalView* TCommandLineRunner::LocalViewOf(const QString& folder) const {
    const QString path = QDir::cleanPath(folder);
    TSidePane* pane = Window_.LocalPane();
    for (int i = 0; i < pane->Count(); ++i)
        if (auto* view = qobject_cast<TLocalView*>(pane->View(i));
            view && QDir::cleanPath(view->Folder()) == path)
            return view;
    return nullptr;
}

void TCommandLineRunner::Start(const TCommandLine& commandLine, bool exitWhenDone,
                               bool handedOver) {
    TSettings& settings = Window_.Settings();
    // The first start shows its -l folder in the local pane. A later start's -l names
    // where its own files go: the pane the user works in stays where it is, and the
    // folder opens in a tab of its own behind it.
    TLocalView* destination = nullptr;
    if (!commandLine.LocalFolder.isEmpty()) {
        if (!Window_.OpenLocalFolder(commandLine.LocalFolder, !handedOver))
            Log(QStringLiteral("The local folder %1 does not exist.").arg(commandLine.LocalFolder));
        else if (handedOver)
            destination = LocalViewOf(commandLine.LocalFolder);
    }
    const QString localFolder =
        Window_.CurrentLocalView() ? Window_.CurrentLocalView()->Folder() : QDir::currentPath();
    // No date: the files are not listed first, so their times come from the server.
    TCommandLineRun run = BuildCommandLineRun(commandLine, settings.EMail, localFolder, 0);
    for (const QString& error : run.Errors)
        Log(error);
    ExitWhenDone_ = ExitWhenDone_ || exitWhenDone;
    if (!commandLine.Host.isEmpty()) {
        // The command line connects even without a password: the server may want none.
        const TPasswordOutcome password = ResolvePassword(
            QString::fromUtf8(run.Connection.Password), settings.PromptForPass, true, [&] {
                return Window_.AskPassword ? Window_.AskPassword(commandLine.Host) : std::nullopt;
            });
        run.Connection.Password = password.Password.toUtf8();
        for (auto& item : run.Items) {
            item->Password = run.Connection.Password;
            if (GeneralQueue().Add(item) >= 0) ++Queued_;
        }
        // Asked once: the connection below must not ask again.
        const bool prompt = settings.PromptForPass;
        settings.PromptForPass = false;
        if (run.Browse &&
            Window_.ConnectLocation(
                commandLine.Host, commandLine.Port, QString::fromUtf8(run.Connection.User),
                password.Password, commandLine.HostFolder, run.ReceiveMasks.join(';'),
                ConnectionCaption(QString(), commandLine.Host, commandLine.Port), true, true)) {
            Browse_ = Window_.CurrentHostView();
            // The files its masks match go to the handed-over folder, not the pane's: once,
            // for this connection; then the tab sends to the pane's folder again.
            if (QPointer<TLocalView> target = destination) {
                QPointer<THostView> view = Browse_.data();
                const QString name = view->ConnectionName;
                const auto normal = view->OnTransfer;
                view->OnTransfer = [view, target, name, normal](TCustomView* source,
                                                                TCustomView*& to) {
                    if (normal) normal(source, to);
                    if (target && view && view->ConnectionName == name) to = target.data();
                    QMetaObject::invokeMethod(
                        view, [view, normal] { view->OnTransfer = normal; }, Qt::QueuedConnection);
                };
            }
        }
        settings.PromptForPass = prompt;
    }
    if (ExitWhenDone_) Poll_.start();
}

void TCommandLineRunner::RunURL(const QString& url) {
    TSplitURL parts;
    bool valid = false;
    const QString problem = CheckURL(url, Window_.Settings().EMail, parts, valid);
    if (!valid || parts.Host.isEmpty()) {
        Log(problem.isEmpty()
                ? QStringLiteral("Unable to read the URL %1").arg(URLWithoutPassword(url))
                : problem);
        return;
    }
    const bool wildcards =
        parts.FileName.contains(QLatin1Char('*')) || parts.FileName.contains(QLatin1Char('?'));
    if (parts.FileName.isEmpty() || wildcards) {
        Window_.ConnectLocation(parts.Host, parts.Port, parts.User, parts.Password,
                                parts.FolderPath, parts.FileName,
                                ConnectionCaption(QString(), parts.Host, parts.Port), true, false,
                                {parts.Encryption, {}, false});
        return;
    }
    // A link to one file: fetched into the folder the user picks, as "Connect to URL" does.
    TLocalView* local = Window_.CurrentLocalView();
    const QString destination = Window_.Questions().PickFolder(
        QStringLiteral("Select Destination Folder"), local ? local->Folder() : QDir::homePath());
    if (destination.isEmpty()) return;
    QStringList errors;
    QueueURLDownloads(parts, parts.Password, destination, &errors,
                      TTrustedCertificates(TrustedCertificatesFileBeside(Window_.Paths().Sites))
                          .Fingerprints(parts.Host, parts.Port));
    for (const QString& error : errors)
        Log(error);
}

void TCommandLineRunner::ItemFinished(TTransferItems*, TTransferItem* item) {
    if (item->State() == isDone)
        ++Done_;
    else
        ++Failed_;
}

void TCommandLineRunner::Check() {
    if (Finished_) return;
    if (!Window_.Monitor().AllIdle()) {
        BrowseIdleTicks_ = 0;
        return;
    }
    if (Browse_) {
        if (Browse_->Connected()) BrowseWasConnected_ = true;
        const int state = Browse_->StateValue;
        // The log-in failed, or the server went away.
        const bool gone = !Browse_->Connected() && !Browse_->Session()->Busy() && state != hsBusy &&
                          (BrowseWasConnected_ || state == hsCantLogIn || state == hsDisconnected);
        if (!gone) {
            // Matching files are queued as soon as the folder shows; a folder shown for a
            // while with every queue idle has nothing (more) to fetch.
            const bool idle =
                Browse_->Connected() && state == hsIdle && !Browse_->Session()->Busy();
            BrowseIdleTicks_ = idle ? BrowseIdleTicks_ + 1 : 0;
            if (BrowseIdleTicks_ < IdleTicksBeforeNoMatch) return;
        }
    }
    if (Queued_ > Done_ + Failed_) return; // queued items not started yet
    Finish();
}

void TCommandLineRunner::Finish() {
    Finished_ = true;
    Poll_.stop();
    // Closes without the quit question: the run is over.
    Window_.SetExitWhenDone(true);
    Window_.close();
}

int TCommandLineRunner::ExitStatus() const {
    return Done_ > 0 && Failed_ == 0 && !Errors_ ? 0 : 2;
}
