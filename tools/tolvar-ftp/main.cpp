// tolvar-ftp: lists, downloads and uploads over FTP and fetches HTTP files with the
// session engine, headless. Exit status 0 on success, 1 on failure, 2 on a usage error.
#include "QueueCommands.h"
#include "ToolOptions.h"
#include "ToolSession.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (IsQueueCommand(QCoreApplication::arguments()))
        return RunQueueCommand(QCoreApplication::arguments());
    TToolOptions options;
    const QString problem = ParseToolOptions(QCoreApplication::arguments(), options);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "tolvar-ftp: %s\n%s", qUtf8Printable(problem),
                     qUtf8Printable(ToolUsage()));
        return 2;
    }
    TSplitURL url;
    if (!SplitURL(options.Url, QStringLiteral("tolvar@"), url)) {
        std::fprintf(stderr, "tolvar-ftp: cannot read the URL %s\n", qUtf8Printable(options.Url));
        return 2;
    }
    if (options.Action == TToolOptions::TAction::Get && url.FileName.isEmpty()) {
        std::fprintf(stderr, "tolvar-ftp: the URL names no file\n");
        return 2;
    }

    TEngineSettings& settings = EngineSettings();
    if (options.TimeOutSeconds >= 0)
        settings.TimeOut = static_cast<uint32_t>(options.TimeOutSeconds) * 1000u;
    if (options.Retries >= 0)
        settings.RetryCount = options.Retries;
    if (options.RetryDelaySeconds >= 0)
        settings.RetryDelay = options.RetryDelaySeconds;
    settings.KeepAlive = false;
    SetDebugLogEnabled(options.Debug);

    int exitCode = 1;
    {
        TToolSession session(options, url);
        QTimer::singleShot(0, &session, [&session] { session.Start(); });
        exitCode = app.exec();
    }
    TFTPComponent::WaitForWorkers(5000);
    std::fflush(stdout);
    return exitCode;
}
