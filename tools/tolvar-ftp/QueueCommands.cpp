#include "QueueCommands.h"

#include "ExistingRule.h"
#include "RemoteFolderSource.h"

#include "engine/FtpComponent.h"
#include "listing/FtpUtils.h"
#include "settings/Settings.h"
#include "startup/CommandLineItems.h"
#include "transfer/QueueBuilder.h"
#include "transfer/QueueFile.h"
#include "transfer/TransferItemsList.h"
#include "transfer/TransferMonitor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace {

void PrintProblem(const QString& text) {
    std::fprintf(stderr, "tolvar-ftp: %s\n", qUtf8Printable(text));
}

void PrintLogLine(const QString& line) {
    std::fprintf(stderr, "%s\n", qUtf8Printable(line.trimmed()));
}

QByteArray WithSlash(QByteArray folder) {
    if (!folder.endsWith('/')) folder += '/';
    return folder;
}

// The source side of a walk, counting the folders it could not list: those files were
// never queued, so the command did not do all it was asked.
class TCountingSource : public IFolderSource {
public:
    explicit TCountingSource(IFolderSource& source) : Source_(source) {}
    bool List(const QByteArray& folder, std::vector<TWalkEntry>& entries) override {
        const bool listed = Source_.List(folder, entries);
        Failures += listed ? 0 : 1;
        return listed;
    }
    char Separator() const override { return Source_.Separator(); }
    QByteArray ItemFolder(const QByteArray& folder) const override {
        return Source_.ItemFolder(folder);
    }
    int Failures = 0;

private:
    IFolderSource& Source_;
};

bool SameLogIn(const TSplitURL& a, const TSplitURL& b) {
    return a.Host == b.Host && a.Port == b.Port && a.User == b.User && a.Password == b.Password;
}

// Turns the command's sources into queue items, each existing destination file decided
// by the builder, while the queue holds them back.
class TPlanner {
public:
    TPlanner(const TToolOptions& options, const TToolContext& context, const TSettings& settings,
             TTransferItems& queue)
        : Options_(options), Context_(context), Settings_(settings), Queue_(queue) {}

    void PlanDownloads(const QByteArray& localFolder);
    void PlanUploads(const TSplitURL& target);
    // Logs the listing session out, so that the transfers do not share the server with it.
    void Finish();

    int Failures = 0;
    int SkippedExisting = 0;

private:
    bool Connect(const TSplitURL& url);
    void DropBuilder();
    void Fail(const QString& problem) {
        PrintProblem(problem);
        ++Failures;
    }
    std::optional<TWalkEntry> RemoteEntry(const QByteArray& folder, const QByteArray& name);
    std::optional<TWalkEntry> LocalEntry(const QString& path, QByteArray& folder);
    void PlanHttp(const QString& source, const QByteArray& localFolder);

    const TToolOptions& Options_;
    const TToolContext& Context_;
    const TSettings& Settings_;
    TTransferItems& Queue_;
    TLocalFolderSource Local_;
    // Each folder of the command listed once: a command naming many files of one folder
    // lists it for the first of them only.
    TListedFolders LocalListed_{Local_};
    TSplitURL RemoteUrl_;
    std::unique_ptr<TRemoteFolderSource> Remote_;
    std::unique_ptr<TListedFolders> RemoteListed_;
    QString LogInProblem_;
    std::unique_ptr<TQueueBuilder> Builder_;
};

bool TPlanner::Connect(const TSplitURL& url) {
    if (!Remote_ || !SameLogIn(url, RemoteUrl_)) {
        Finish();
        RemoteUrl_ = url;
        Remote_ = std::make_unique<TRemoteFolderSource>(url, Context_, ToolSecurity(Options_, url),
                                                        Options_.Passive, Settings_.ListHidden);
        RemoteListed_ = std::make_unique<TListedFolders>(*Remote_);
        if (Options_.Log) Remote_->OnLog = PrintLogLine;
        LogInProblem_ = Remote_->LogIn();
        TQueueBuilder::TConnection connection;
        connection.Host = url.Host;
        connection.Port = url.Port;
        connection.User = url.User.toUtf8();
        connection.Password = url.Password.toUtf8();
        connection.Security = ToolSecurity(Options_, url);
        connection.UseFirewall = Context_.UseFirewall;
        connection.ServerResumes = Remote_->ResumeSupported();
        Builder_ = std::make_unique<TQueueBuilder>(Settings_, nullptr, connection, Queue_);
        ApplyExistingRule(*Builder_, Options_);
    }
    return LogInProblem_.isEmpty();
}

void TPlanner::DropBuilder() {
    if (Builder_) SkippedExisting += Builder_->SkippedExisting();
    Builder_.reset();
}

void TPlanner::Finish() {
    DropBuilder();
    RemoteListed_.reset();
    Remote_.reset();
}

std::optional<TWalkEntry> TPlanner::RemoteEntry(const QByteArray& folder, const QByteArray& name) {
    return RemoteListed_->Entry(folder, name);
}

std::optional<TWalkEntry> TPlanner::LocalEntry(const QString& path, QByteArray& folder) {
    // As the walk itself sees it: one entry of its folder's listing.
    const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (info.fileName().isEmpty()) return std::nullopt;
    folder = WithSlash(QFile::encodeName(info.path()));
    return LocalListed_.Entry(folder, QFile::encodeName(info.fileName()));
}

void TPlanner::PlanHttp(const QString& source, const QByteArray& localFolder) {
    TSplitURL url;
    if (!SplitURL(source, Settings_.EMail, url) || url.Host.isEmpty() || url.FileName.isEmpty()) {
        Fail("the URL names no file: " + source);
        return;
    }
    auto item = std::make_unique<TTransferItem>();
    item->IsHTTP = true;
    item->URL = source;
    item->Host = url.Host;
    item->Port = url.Port;
    item->SourceFolder = url.FolderPath.toUtf8();
    item->FileName = url.FileName.toUtf8();
    item->DestFolder = localFolder;
    QByteArray folder;
    const std::optional<TWalkEntry> existing =
        LocalEntry(QFile::decodeName(localFolder + item->FileName), folder);
    if (existing) {
        // Nothing is known of the source before the request: an unknown size and date.
        TWalkEntry unknown;
        unknown.Name = item->FileName;
        const TOneFileDecision decision =
            DecideOneFile(Options_, Settings_, false, false, unknown, existing);
        SkippedExisting += decision.SkippedExisting ? 1 : 0;
        if (!decision.Transfer) return;
    }
    if (Queue_.Add(item) < 0) Fail("already queued: " + source);
}

void TPlanner::PlanDownloads(const QByteArray& localFolder) {
    for (const QString& source : Options_.Sources) {
        if (source.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)) {
            PlanHttp(source, localFolder);
            continue;
        }
        TSplitURL url;
        if (!ResolveToolUrl(Context_, source, url) || url.Host.isEmpty()) {
            Fail("cannot read the URL " + source);
            continue;
        }
        if (url.FileName.isEmpty() && !Options_.Recursive) {
            Fail("the URL names a folder (its files need -r): " + source);
            continue;
        }
        if (!Connect(url)) {
            Fail(LogInProblem_ + ": " + source);
            continue;
        }
        QByteArray folder = WithSlash(url.FolderPath.toUtf8());
        QByteArray name = url.FileName.toUtf8();
        std::vector<TWalkEntry> selected;
        if (name.isEmpty() && folder == "/") {
            // The root has no name to copy: what it holds comes down.
            if (!RemoteListed_->List(folder, selected)) {
                Fail("could not list " + source);
                continue;
            }
        } else if (HasWildcard(url.FileName)) {
            // Masks as the program's own -r takes them: what the folder's listing matches.
            std::vector<TWalkEntry> entries;
            if (!RemoteListed_->List(folder, entries)) {
                Fail("could not list " + source);
                continue;
            }
            for (const TWalkEntry& entry : EntriesMatching(entries, url.FileName)) {
                if (entry.IsFolder && !entry.IsLink && !Options_.Recursive)
                    PrintProblem("a folder, left out (its files need -r): " +
                                 DisplayText(folder + entry.Name));
                else
                    selected.push_back(entry);
            }
            if (selected.empty()) {
                Fail("nothing matches " + source);
                continue;
            }
        } else if (name.isEmpty()) {
            const qsizetype cut = folder.lastIndexOf('/', folder.size() - 2);
            name = folder.mid(cut + 1, folder.size() - cut - 2);
            folder = folder.left(cut + 1);
            TWalkEntry entry;
            entry.Name = name;
            entry.IsFolder = true;
            selected.push_back(entry);
        } else {
            std::optional<TWalkEntry> entry = RemoteEntry(folder, name);
            if (entry && entry->IsFolder && !entry->IsLink && !Options_.Recursive) {
                Fail("the URL names a folder (its files need -r): " + source);
                continue;
            }
            if (!entry) {
                // Not listed (hidden, or missing): the server has the last word.
                entry.emplace();
                entry->Name = name;
            }
            selected.push_back(*entry);
        }
        TCountingSource remote(*RemoteListed_);
        Builder_->Download(selected, folder, localFolder, remote, LocalListed_);
        Failures += remote.Failures;
    }
}

void TPlanner::PlanUploads(const TSplitURL& target) {
    const QByteArray destFolder = WithSlash(target.FolderPath.toUtf8());
    if (!Connect(target)) {
        Fail(LogInProblem_ + ": " + target.Host);
        return;
    }
    for (const QString& source : Options_.Sources) {
        QByteArray folder;
        const std::optional<TWalkEntry> entry = LocalEntry(source, folder);
        if (!entry) {
            Fail("no such file: " + source);
            continue;
        }
        if (entry->IsFolder && !entry->IsLink && !Options_.Recursive) {
            Fail("a folder (its files need -r): " + source);
            continue;
        }
        TCountingSource local(LocalListed_);
        Builder_->Upload({*entry}, folder, destFolder, local, *RemoteListed_);
        Failures += local.Failures;
    }
}

int Summary(const TTransferItems& queue, const TPlanner& planner) {
    // A queue that never got an item never started its clock. The bytes are those this
    // run moved: a resumed file's earlier part came in another.
    const uint64_t elapsed = queue.Count() > 0 ? queue.ElapsedTicks() : 0;
    std::printf("items %d, done %d, cancelled %d, failed %d, pending %d; %lld bytes in %llu ms\n",
                queue.Count(), queue.StateCount(isDone), queue.StateCount(isCancelled),
                queue.StateCount(isError), queue.StateCount(isPending),
                static_cast<long long>(queue.BytesMoved), static_cast<unsigned long long>(elapsed));
    if (planner.Failures > 0 || queue.StateCount(isDone) != queue.Count()) return 1;
    return planner.SkippedExisting > 0 ? 2 : 0;
}

} // namespace

int RunQueueCommand(const TToolOptions& o, const TToolContext& context) {
    using A = TToolOptions::TAction;
    const bool get = o.Action == A::MGet;
    const bool resume = o.Action == A::Resume;
    QString problem;
    TSplitURL target;
    if (o.Action == A::MPut &&
        (!ResolveToolUrl(context, o.Target, target) || !target.FileName.isEmpty()))
        problem = "the target must be a folder URL ending in /: " + o.Target;
    if (get && !QFileInfo(o.Target).isDir()) problem = "no such local folder: " + o.Target;
    if (!problem.isEmpty()) {
        PrintProblem(problem);
        return 2;
    }
    TQueueFileContents saved;
    if (resume) {
        saved = ReadQueueFile(o.QueueFile);
        if (saved.State == TQueueFileContents::TState::Corrupt) {
            PrintProblem(SetQueueFileAside(o.QueueFile));
            return 1;
        }
    }

    TSettings settings = context.Settings;
    settings.UsePASV = o.Passive;
    settings.TransferMode = o.Ascii ? 1 : 2;
    // The queue waits for a host view only with single connections; it has none once
    // the items are planned.
    settings.SingleConnectionsOnly = true;
    settings.SimultaneousTransfers = o.Parallel;
    TransferItemsList().SetSettings(&settings);

    // Every change of the queue reaches the queue file, when there is one.
    std::optional<TTransferMonitor> monitor;
    std::optional<TQueueStore> store;
    if (!o.QueueFile.isEmpty()) {
        monitor.emplace(TransferItemsList());
        store.emplace(*monitor, o.QueueFile);
    }
    TTransferItems& queue = GeneralQueue();
    if (o.Log)
        queue.OnLog = [](TFTPComponent*, const QString& message, TColor) { PrintLogLine(message); };
    bool started = false;
    auto quitWhenIdle = [&] {
        if (started && queue.Idle()) QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    };
    queue.OnItemFinished = [&](TTransferItems*, TTransferItem*) { quitWhenIdle(); };

    TPlanner planner(o, context, settings, queue);
    {
        TQueueHold hold(queue);
        if (resume)
            RestoreQueueItems(saved, queue, settings);
        else if (get)
            planner.PlanDownloads(WithSlash(QFile::encodeName(QDir(o.Target).absolutePath())));
        else
            planner.PlanUploads(target);
        planner.Finish();
    }
    started = true;
    queue.ProcessNext();
    if (!queue.Idle()) QCoreApplication::exec();
    const int exitCode = Summary(queue, planner);
    store.reset();
    monitor.reset();
    ShutdownTransferQueues();
    TFTPComponent::WaitForWorkers(5000);
    std::fflush(stdout);
    return exitCode;
}
