#include "app/CommandLineRun.h"
#include "app/MainWindow.h"
#include "automation/AutomationState.h"
#include "automation/Wexmarten.h"
#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "listing/DebugLog.h"
#include "platform/ProgramFolder.h"
#include "platform/SafeName.h"
#include "platform/SingleInstance.h"
#include "startup/CommandLine.h"
#include "transfer/TransferItemsList.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QSettings>
#include <QTimer>

#include <cstdio>

namespace {

// What a later start hands over: its folder, so relative paths mean what they meant
// there, then its arguments.
QStringList HandOver(const QStringList& arguments) {
    return QStringList{QDir::currentPath()} + arguments;
}

// The first activation, once the window is up: the folder, URLs and transfers the
// command line names.
void StartFromCommandLine(TfrmMain& window, TCommandLineRunner& runner,
                          const TCommandLine& commandLine) {
    // -l shows its folder also when no host is named (a URL, or nothing else).
    const bool runs = (commandLine.HasTransferSwitches() && !commandLine.Host.isEmpty()) ||
                      commandLine.ExitWhenDone;
    if (!runs && !commandLine.LocalFolder.isEmpty() &&
        !window.OpenLocalFolder(commandLine.LocalFolder, true))
        window.WriteLog(
            nullptr,
            QStringLiteral("The local folder %1 does not exist.").arg(commandLine.LocalFolder),
            0x0000FF);
    for (const QString& url : commandLine.Urls)
        runner.RunURL(url);
    // Without a host, -x ends the run at once with status 2: nothing to do.
    if (runs)
        runner.Run(commandLine);
    else if (commandLine.Urls.isEmpty() && window.Settings().ShowManager)
        window.Connect();
}

// The window's run; its exit status.
int RunWindow(const TCommandLine& commandLine, TSingleInstance& instance,
              const QStringList& moved) {
    const QString settings = commandLine.SettingsPath.isEmpty()
                                 ? SettingsFilePath()
                                 : QFileInfo(commandLine.SettingsPath).absoluteFilePath();
    const QString sites = commandLine.SitesPath.isEmpty()
                              ? SitesFilePath()
                              : QFileInfo(commandLine.SitesPath).absoluteFilePath();
    TfrmMain window({settings, sites, DevFilePath()});
    TCommandLineRunner runnerObject(window);
    TCommandLineRunner* runner = &runnerObject;
    QObject::connect(&instance, &TSingleInstance::Request, &window,
                     [&window, runner](const QStringList& message) {
                         if (window.isMinimized()) window.showNormal();
                         window.raise();
                         window.activateWindow();
                         runner->RunHandedOver(message);
                     });
    for (const QString& line : moved)
        window.WriteLog(nullptr, line, EngineSettings().LogColorInfo);
    window.ShowAsStored();
    // An activation event may never come: the start follows the window's first show.
    QTimer::singleShot(0, &window, [&window, runner, &commandLine] {
        StartFromCommandLine(window, *runner, commandLine);
    });
    const int status = QApplication::exec();
    return commandLine.ExitWhenDone ? runner->ExitStatus() : status;
}

// The window as another program's remote file dialog, driven over the session bus. It
// stays hidden until the client shows it, and ends when the client lets it go.
int RunAutomation(const TCommandLine& commandLine) {
    TfrmMain window({commandLine.SettingsPath.isEmpty()
                         ? SettingsFilePath()
                         : QFileInfo(commandLine.SettingsPath).absoluteFilePath(),
                     commandLine.SitesPath.isEmpty()
                         ? SitesFilePath()
                         : QFileInfo(commandLine.SitesPath).absoluteFilePath(),
                     DevFilePath()});
    TAutomationState state;
    window.SetAutomationDialog(&state);
    // Hiding the window is the client's choice, not the end; the end comes through close.
    QApplication::setQuitOnLastWindowClosed(false);
    TWexmarten object(window, state);
    QString error;
    if (!object.Register(QDBusConnection::sessionBus(), &error)) {
        std::fprintf(stderr, "tolvar: %s\n", qPrintable(error));
        return 1;
    }
    return QApplication::exec();
}

// -RegServer and -UnregServer: the activation file of the bus service.
int RegisterServer(TServerMode mode, const char* argv0) {
    int argc = 1;
    char* argv[] = {const_cast<char*>(argv0), nullptr};
    QCoreApplication app(argc, argv);
    QString error;
    const bool done = mode == TServerMode::RegServer
                          ? WriteActivationFile(QCoreApplication::applicationFilePath(), &error)
                          : RemoveActivationFile(&error);
    if (!done) std::fprintf(stderr, "tolvar: %s\n", qPrintable(error));
    return done ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    // Qt sees only the program's name: a password or folder such as "-style" is ours.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    BlankPasswordArguments(argc, argv);
    // Read before any window system is touched: the usage and mistakes in the switches
    // are answered on the terminal, also where there is no display, and a mistake is
    // never handed to a running window.
    const TCommandLine commandLine = ParseCommandLine(arguments, QDir::currentPath());
    if (commandLine.Usage) {
        std::printf("%s\n", qPrintable(CommandLineUsageText()));
        return 0;
    }
    if (!commandLine.SwitchErrors.isEmpty()) {
        for (const QString& error : commandLine.SwitchErrors)
            std::fprintf(stderr, "tolvar: %s\n", qPrintable(error));
        std::fprintf(stderr, "tolvar -? lists the switches.\n");
        return 2;
    }

    const TServerMode mode = ServerMode(commandLine.ServerSwitches);
    if (mode == TServerMode::RegServer || mode == TServerMode::UnregServer)
        return RegisterServer(mode, argv[0]);

    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Tolvar"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tolvar")));
    if (commandLine.Debug) SetDebugLogEnabled(true);

    if (mode == TServerMode::Automation) {
        // One dialog process per client: no single-instance guard, no files moved.
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, PrivateTempFolder());
        const int status = RunAutomation(commandLine);
        ShutdownTransferQueues();
        TFTPComponent::WaitForWorkers(5000);
        return status;
    }

    TSingleInstance instance;
    if (!instance.Claim() && instance.SendToRunning(HandOver(arguments))) {
        std::fprintf(stderr, "tolvar: already running; %s\n",
                     commandLine.HasTransferSwitches()
                         ? "the running window takes over the transfers"
                         : "its window comes forward");
        return 1;
    }
    // Qt's own QSettings (the file dialog's history) would be a second file under
    // ~/.config; it lives for this run only.
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, PrivateTempFolder());
    // Only the first instance moves files: a second one hands over and ends above.
    const QStringList moved = MoveStoredFiles();
    for (const QString& line : moved)
        DebugLog(line);

    const int status = RunWindow(commandLine, instance, moved);
    ShutdownTransferQueues();
    TFTPComponent::WaitForWorkers(5000);
    return status;
}
