#include "QueueCommands.h"

#include "FolderSizes.h"

#include "engine/FtpComponent.h"
#include "listing/FtpUtils.h"
#include "settings/Settings.h"
#include "transfer/TransferItemsList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<TTransferItem> DownloadItem(const QString& source, const TToolOptions& o,
                                            const TToolContext& context, QString& problem) {
    auto item = std::make_unique<TTransferItem>();
    item->IsHTTP = source.startsWith("http://", Qt::CaseInsensitive);
    TSplitURL url;
    if (!ResolveToolUrl(context, source, url) || url.Host.isEmpty() || url.FileName.isEmpty()) {
        problem = "the URL names no file: " + source;
        return nullptr;
    }
    item->URL = source;
    item->Host = url.Host;
    item->Port = url.Port;
    item->User = url.User.toUtf8();
    item->Password = url.Password.toUtf8();
    item->SourceFolder = url.FolderPath.toUtf8();
    item->FileName = url.FileName.toUtf8();
    item->DestFileName = item->FileName;
    item->UseFirewall = context.UseFirewall;
    item->DestFolder = QFile::encodeName(QDir(o.Target).absolutePath()) + '/';
    const QFileInfo existing(QFile::decodeName(item->DestFolder + item->FileName));
    if (o.Resume && !item->IsHTTP && existing.exists())
        item->StartOffset = existing.size();
    return item;
}

std::unique_ptr<TTransferItem> UploadItem(const QString& file, const TSplitURL& url,
                                          const TToolContext& context, QString& problem) {
    const QFileInfo info(file);
    if (!info.isFile()) {
        problem = "no such file: " + file;
        return nullptr;
    }
    auto item = std::make_unique<TTransferItem>();
    item->Host = url.Host;
    item->Port = url.Port;
    item->User = url.User.toUtf8();
    item->Password = url.Password.toUtf8();
    item->Upload = true;
    item->UseFirewall = context.UseFirewall;
    item->SourceFolder = QFile::encodeName(info.absolutePath()) + '/';
    item->FileName = QFile::encodeName(info.fileName());
    item->DestFolder = url.FolderPath.toUtf8();
    item->Size = info.size();
    return item;
}

int Summary(const TTransferItems& queue) {
    std::printf("items %d, done %d, cancelled %d, failed %d, pending %d; %lld bytes in %llu ms\n",
                queue.Count(), queue.StateCount(isDone), queue.StateCount(isCancelled),
                queue.StateCount(isError), queue.StateCount(isPending),
                static_cast<long long>(queue.BytesDone),
                static_cast<unsigned long long>(queue.ElapsedTicks()));
    return queue.Count() > 0 && queue.StateCount(isDone) == queue.Count() ? 0 : 1;
}

} // namespace

int RunQueueCommand(const TToolOptions& o, const TToolContext& context) {
    const bool get = o.Action == TToolOptions::TAction::MGet;
    QString problem;
    TSplitURL target;
    if (!get && (!ResolveToolUrl(context, o.Target, target) || !target.FileName.isEmpty()))
        problem = "the target must be a folder URL ending in /: " + o.Target;
    if (get && !QFileInfo(o.Target).isDir())
        problem = "no such local folder: " + o.Target;
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "tolvar-ftp: %s\n", qUtf8Printable(problem));
        return 2;
    }

    TSettings settings = context.Settings;
    settings.UsePASV = o.Passive;
    settings.TransferMode = o.Ascii ? 1 : 2;
    TransferItemsList().SetSettings(&settings);

    TTransferItems& queue = GeneralQueue();
    if (o.Log)
        queue.OnLog = [](TFTPComponent*, const QString& message, TColor) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(message.trimmed()));
        };
    bool started = false;
    auto quitWhenIdle = [&] {
        if (started && queue.Idle())
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    };
    queue.OnItemFinished = [&](TTransferItems*, TTransferItem*) { quitWhenIdle(); };

    int exitCode = 2;
    std::vector<std::unique_ptr<TTransferItem>> items;
    auto addAll = [&] {
        for (std::unique_ptr<TTransferItem>& item : items)
            if (item && queue.Add(item) < 0)
                std::fprintf(stderr, "tolvar-ftp: already queued: %s\n", item->FileName.constData());
        started = true;
        quitWhenIdle();
    };
    QTimer::singleShot(0, qApp, [&] {
        for (const QString& source : o.Sources) {
            items.push_back(get ? DownloadItem(source, o, context, problem)
                                : UploadItem(source, target, context, problem));
            if (!items.back())
                std::fprintf(stderr, "tolvar-ftp: %s\n", qUtf8Printable(problem));
        }
        // Sizes and dates as a file view would give them, from one listing per folder.
        if (get)
            FillSizesFromListings(items, o.Passive, addAll);
        else
            addAll();
    });
    QCoreApplication::exec();
    exitCode = Summary(queue);
    ShutdownTransferQueues();
    TFTPComponent::WaitForWorkers(5000);
    std::fflush(stdout);
    return exitCode;
}
