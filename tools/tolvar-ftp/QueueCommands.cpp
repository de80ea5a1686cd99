#include "QueueCommands.h"

#include "FolderSizes.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "listing/DebugLog.h"
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

struct TQueueOptions {
    bool Get = true;
    QStringList Sources;
    QString Target;
    bool Passive = false, Resume = false, Ascii = false, Log = false, Debug = false;
    int TimeOut = -1, Retries = -1, RetryDelay = -1;
};

QStringList Words(const QStringList& args) {
    QStringList words;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == "--timeout" || a == "--retries" || a == "--retry-delay")
            ++i;
        else if (!a.startsWith("--"))
            words << a;
    }
    return words;
}

QString Parse(const QStringList& args, TQueueOptions& o) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        int* number = a == "--timeout"       ? &o.TimeOut
                      : a == "--retries"     ? &o.Retries
                      : a == "--retry-delay" ? &o.RetryDelay
                                             : nullptr;
        bool ok = true;
        if (number)
            *number = i + 1 < args.size() ? args.at(++i).toInt(&ok) : -1;
        else if (a == "--passive") o.Passive = true;
        else if (a == "--resume") o.Resume = true;
        else if (a == "--ascii") o.Ascii = true;
        else if (a == "--log") o.Log = true;
        else if (a == "--debug") o.Debug = true;
        else if (a.startsWith("--")) return "unknown option " + a;
        if (!ok || (number && *number < 0))
            return a + " needs a number of 0 or more";
    }
    QStringList words = Words(args);
    o.Get = words.takeFirst() == "mget";
    if (words.size() < 2)
        return QStringLiteral("%1 needs at least one source and a target")
            .arg(o.Get ? "mget" : "mput");
    o.Target = words.takeLast();
    o.Sources = words;
    return QString();
}

std::unique_ptr<TTransferItem> DownloadItem(const QString& url, const QString& folder,
                                            const TQueueOptions& o, QString& problem) {
    auto item = std::make_unique<TTransferItem>();
    item->SetURL(url);
    if (item->Host.isEmpty() || item->FileName.isEmpty()) {
        problem = "the URL names no file: " + url;
        return nullptr;
    }
    item->IsHTTP = url.startsWith("http://", Qt::CaseInsensitive);
    if (item->User == "anonymous" && item->Password.isEmpty())
        item->Password = "tolvar@";
    item->DestFolder = QFile::encodeName(QDir(folder).absolutePath()) + '/';
    const QFileInfo existing(QFile::decodeName(item->DestFolder + item->FileName));
    if (o.Resume && !item->IsHTTP && existing.exists())
        item->StartOffset = existing.size();
    return item;
}

std::unique_ptr<TTransferItem> UploadItem(const QString& file, const TSplitURL& url,
                                          QString& problem) {
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

bool IsQueueCommand(const QStringList& arguments) {
    const QStringList words = Words(arguments);
    return !words.isEmpty() && (words.first() == "mget" || words.first() == "mput");
}

int RunQueueCommand(const QStringList& arguments) {
    TQueueOptions o;
    QString problem = Parse(arguments, o);
    TSplitURL target;
    if (problem.isEmpty() && !o.Get &&
        (!SplitURL(o.Target, QStringLiteral("tolvar@"), target) || !target.FileName.isEmpty()))
        problem = "the target must be a folder URL ending in /: " + o.Target;
    if (problem.isEmpty() && o.Get && !QFileInfo(o.Target).isDir())
        problem = "no such local folder: " + o.Target;
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "tolvar-ftp: %s\n", qUtf8Printable(problem));
        return 2;
    }

    TEngineSettings& engine = EngineSettings();
    if (o.TimeOut >= 0)
        engine.TimeOut = static_cast<uint32_t>(o.TimeOut) * 1000u;
    if (o.Retries >= 0)
        engine.RetryCount = o.Retries;
    if (o.RetryDelay >= 0)
        engine.RetryDelay = o.RetryDelay;
    engine.KeepAlive = false;
    SetDebugLogEnabled(o.Debug);
    TSettings settings = DefaultSettings();
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
            items.push_back(o.Get ? DownloadItem(source, o.Target, o, problem)
                                  : UploadItem(source, target, problem));
            if (!items.back())
                std::fprintf(stderr, "tolvar-ftp: %s\n", qUtf8Printable(problem));
        }
        // Sizes and dates as a file view would give them, from one listing per folder.
        if (o.Get)
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
