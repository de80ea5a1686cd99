// tolvar-ftp: lists, downloads and uploads over FTP (whole folders with mget/mput -r) and
// fetches HTTP files with the session engine, headless. Exit status 0 when all is done,
// 1 on a failure, 2 when an existing file was skipped or on a usage error.
#include "QueueCommands.h"
#include "ToolContext.h"
#include "ToolOptions.h"
#include "ToolSession.h"

#include "engine/FtpComponent.h"
#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {
int UsageError(const QString& problem, bool withUsage) {
    std::fprintf(stderr, "tolvar-ftp: %s\n%s", qUtf8Printable(problem),
                 withUsage ? qUtf8Printable(ToolUsage()) : "");
    return 2;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TToolOptions options;
    QString problem = ParseToolOptions(QCoreApplication::arguments(), options);
    if (!problem.isEmpty()) return UsageError(problem, true);
    TToolContext context;
    problem = LoadToolContext(options, context);
    if (!problem.isEmpty()) return UsageError(problem, false);
    options.Passive = !options.Active && (options.Passive || context.Settings.UsePASV);
    ApplyToolEngineSettings(context, options);
    SetDebugLogEnabled(options.Debug);

    using A = TToolOptions::TAction;
    if (options.Action == A::MGet || options.Action == A::MPut || options.Action == A::Resume)
        return RunQueueCommand(options, context);

    TSplitURL url;
    if (!ResolveToolUrl(context, options.Url, url))
        return UsageError(QStringLiteral("cannot read the URL ") + options.Url, false);
    if (options.Action == A::Get && url.FileName.isEmpty())
        return UsageError(QStringLiteral("the URL names no file"), false);

    int exitCode = 1;
    {
        TToolSession session(options, url, context);
        QTimer::singleShot(0, &session, [&session] { session.Start(); });
        exitCode = app.exec();
    }
    TFTPComponent::WaitForWorkers(5000);
    std::fflush(stdout);
    return exitCode;
}
