#include "app/MainWindow.h"
#include "listing/DebugLog.h"
#include "platform/ProgramFolder.h"
#include "transfer/TransferItemsList.h"
#include "engine/FtpComponent.h"

#include <QApplication>
#include <QTimer>

#include <vector>

int main(int argc, char* argv[]) {
    // Qt sees only the program's name: a password or folder such as "-style" is ours.
    std::vector<QByteArray> arguments(argv, argv + argc);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Tolvar"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tolvar")));
    for (size_t i = 1; i < arguments.size(); ++i)
        if (arguments[i] == "-d" || arguments[i] == "/d") SetDebugLogEnabled(true);

    int status = 0;
    {
        TfrmMain window({SettingsFilePath(), SitesFilePath(), DevFilePath()});
        window.show();
        if (window.Settings().ShowManager) QTimer::singleShot(0, &window, &TfrmMain::Connect);
        status = app.exec();
    }
    ShutdownTransferQueues();
    TFTPComponent::WaitForWorkers(5000);
    return status;
}
