// Queueing a big local tree for upload from one command, offscreen, as the program would:
// a local pane shows the tree's parent folder with the tree's top folder selected, a host
// pane is connected to a writable FTP server, and the host pane receives the local pane's
// selection (what a drop or the Upload command does). Prints "key value" lines:
//   items          items the queue holds when the call returns (files and folders)
//   call_ms        the ReceiveFrom call, start to return (the whole walk and the queueing)
//   call_cpu_ms    this thread's CPU time in that call; the rest is waiting on the server
//   commands       commands the host pane sent to the server during the call (the walk
//                  looks at every destination folder: CWD, and LIST where it exists)
//   lists          of those, LIST commands
//   first_added_ms command to the queue's first item
//   start_ms       command to the queue starting its first file item (OnItemStart)
//   progress_ms    command to the first progress report with bytes of a file item
//   first_byte_ms  command to the first file being non-empty in the server's folder,
//                  seen by a 2 ms timer that stats it (the server wrote what came over the
//                  data connection)
//   max_gap_ms     the longest time the event loop ran no 1 ms timer, from the command to
//                  a second after the call returned (or the first byte, if later)
//   gap_at_ms      when that longest gap ended, from the command
//   rss_added_kib  VmRSS when the call returned minus just before the command
//   uploaded       files the server had when the queue was cleared
//   add_ms         apart from the timed path: the same items added one by one to a queue
//                  of their own that starts nothing (its host view is always queueing),
//                  the queue's share of the call; add_cpu_ms its CPU time
// Exits non-zero with a message when something does not come up.
//   queueing-bench PORT SERVER_FOLDER LOCAL_PARENT TREE_NAME FIRST_FILE_RELATIVE
#include "../BenchSupport.h"
#include "settings/Settings.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferQuestions.h"
#include "views/HostBrowser.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

using bench::Now;
using bench::ResidentKib;
using bench::WaitFor;

double ThreadCpuMs() {
    return bench::CpuMs(RUSAGE_THREAD);
}
[[noreturn]] void Fail(const char* what) {
    bench::Fail("queueing-bench", what);
}

// Holds a queue's items back, as a host view does while a command queues a batch.
class TAlwaysQueueing : public ITransferHostView {
public:
    TFTPComponent* OwnSession() override { return nullptr; }
    bool Queueing() const override { return true; }
    void SetTransfersBusy(bool) override {}
};

// A new tree has nothing to ask about; a question would mean the bench measured
// something else, so it is counted and answered "no".
class TNoQuestions : public ITransferQuestions {
public:
    int Asked = 0;
    int AskOverwrite(const TExistingFile&) override { return ++Asked, mrNo; }
    int AskRestart(const QString&) override { return ++Asked, mrNo; }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 6)
        Fail("usage: queueing-bench PORT SERVER_FOLDER LOCAL_PARENT TREE_NAME FIRST_FILE_RELATIVE");
    const int port = std::atoi(argv[1]);
    const QString serverFolder = QString::fromLocal8Bit(argv[2]);
    const QString localParent = QString::fromLocal8Bit(argv[3]);
    const QString treeName = QString::fromLocal8Bit(argv[4]);
    // Where the queue's first file lands: items go in walk order, the first folder's
    // files first.
    const QByteArray firstFile = QFile::encodeName(serverFolder) + argv[5];

    TSettings settings = DefaultSettings();
    settings.UsePASV = true;
    TNoQuestions questions;

    TLocalView local;
    local.resize(600, 600);
    local.show();
    if (!local.ShowFolder(localParent)) Fail("the local pane cannot show the tree's parent");
    const int row = local.RowOfName(treeName);
    if (row < 0) Fail("the local pane does not show the tree");
    local.SelectRows({row});
    if (local.SelectedRows() != QList<int>{row}) Fail("the tree's folder is not selected");

    THostView host;
    host.Browser().SetSettings(&settings);
    host.SetTransferQuestions(&questions);
    host.resize(600, 600);
    host.show();
    int state = 0, commands = 0, lists = 0;
    host.OnUpdateState = [&](TCustomView*, int s, int) { state = s; };
    host.OnLog = [&](THostView*, const QString& text, TColor color) {
        if (color != EngineSettings().LogColorCommand) return;
        ++commands;
        if (text.startsWith(QLatin1String("LIST"))) ++lists;
    };
    const QByteArray folder = QFile::encodeName(serverFolder);
    host.Connect(QStringLiteral("127.0.0.1"), port, QString(), serverFolder, "anonymous",
                 "bench@example.org", QByteArray());
    if (!WaitFor([&] { return state == hsIdle && host.Browser().Folder() == folder; }, 20000))
        Fail("the server folder was not shown within 20 s of connecting");

    // The queue exists before the command so that its events can be followed from the
    // first item on (the transfer monitor hooks the same events in the program).
    TTransferItems* queue = host.Queue();
    double start = 0, firstAdded = -1, itemStart = -1, progress = -1, firstByte = -1;
    queue->OnItemAdded = [&](TTransferItems*, TTransferItem*) {
        if (firstAdded < 0) firstAdded = Now() - start;
    };
    queue->OnItemStart = [&](TTransferItems*, TTransferItem* item) {
        if (itemStart < 0 && !item->IsFolder) itemStart = Now() - start;
    };
    queue->OnItemProgress = [&](TTransferItems*, TTransferItem* item) {
        if (progress < 0 && !item->IsFolder && item->BytesDone > 0) progress = Now() - start;
    };

    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        struct stat info {};
        if (firstByte < 0 && ::stat(firstFile.constData(), &info) == 0 && info.st_size > 0)
            firstByte = Now() - start;
    });
    double lastTick = 0, maxGap = 0, gapAt = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = Now();
        if (now - lastTick > maxGap) {
            maxGap = now - lastTick;
            gapAt = now - start;
        }
        lastTick = now;
    });

    QCoreApplication::processEvents();
    const long rssBefore = ResidentKib();
    double callMs = 0, callCpu = 0, returned = -1;
    long rssAfter = 0;
    int items = 0, commandsInCall = 0, listsInCall = 0;
    bool accepted = false;
    // The command runs from the event loop, as a drop or a menu command would, with the
    // gap timer already ticking.
    QTimer::singleShot(0, [&] {
        const int commandsBefore = commands, listsBefore = lists;
        const double cpu = ThreadCpuMs();
        start = Now();
        lastTick = start;
        accepted = host.ReceiveFrom(&local);
        returned = Now() - start;
        callMs = returned;
        callCpu = ThreadCpuMs() - cpu;
        rssAfter = ResidentKib();
        items = queue->Count();
        commandsInCall = commands - commandsBefore;
        listsInCall = lists - listsBefore;
    });
    ticker.start(1);
    poll.start(2);
    if (!WaitFor(
            [&] { return returned >= 0 && firstByte >= 0 && Now() - start >= returned + 1000; },
            120000)) {
        std::fprintf(stderr, "queueing-bench: returned %.1f ms, first byte %.1f ms, items %d\n",
                     returned, firstByte, queue->Count());
        Fail("no first byte within 120 s of the command");
    }
    ticker.stop();
    poll.stop();
    if (!accepted) Fail("the host pane did not take the command");
    if (questions.Asked) Fail("queueing asked about existing files on a new tree");

    // The queue's own share: copies of the same items added to a queue that starts nothing.
    std::vector<std::unique_ptr<TTransferItem>> copies;
    copies.reserve(static_cast<size_t>(items));
    for (int i = 0; i < items; ++i) {
        const TTransferItem& from = *queue->Item(i);
        auto item = std::make_unique<TTransferItem>();
        item->Host = from.Host;
        item->Port = from.Port;
        item->User = from.User;
        item->Password = from.Password;
        item->Account = from.Account;
        item->UseFirewall = from.UseFirewall;
        item->SourceFolder = from.SourceFolder;
        item->DestFolder = from.DestFolder;
        item->FileName = from.FileName;
        item->DestFileName = from.DestFileName;
        item->Size = from.Size;
        item->Date = from.Date;
        item->Upload = from.Upload;
        item->IsFolder = from.IsFolder;
        copies.push_back(std::move(item));
    }

    // Enough measured: the rest of the queue goes, and the session with it.
    queue->Clear();
    host.Disconnect();
    int uploaded = 0;
    QDirIterator it(serverFolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++uploaded;
    }

    double addMs = 0, addCpu = 0;
    {
        TAlwaysQueueing holder;
        TTransferItems alone;
        alone.HostView = &holder;
        const double cpu = ThreadCpuMs(), at = Now();
        for (auto& item : copies)
            if (alone.Add(item) < 0) Fail("a copied item was taken for a duplicate");
        addMs = Now() - at;
        addCpu = ThreadCpuMs() - cpu;
    }

    std::printf("items %d\n", items);
    std::printf("call_ms %.1f\n", callMs);
    std::printf("call_cpu_ms %.1f\n", callCpu);
    std::printf("commands %d\n", commandsInCall);
    std::printf("lists %d\n", listsInCall);
    std::printf("first_added_ms %.1f\n", firstAdded);
    std::printf("start_ms %.1f\n", itemStart);
    std::printf("progress_ms %.1f\n", progress);
    std::printf("first_byte_ms %.1f\n", firstByte);
    std::printf("max_gap_ms %.1f\n", maxGap);
    std::printf("gap_at_ms %.1f\n", gapAt);
    std::printf("rss_added_kib %ld\n", rssAfter - rssBefore);
    std::printf("uploaded %d\n", uploaded);
    std::printf("add_ms %.1f\n", addMs);
    std::printf("add_cpu_ms %.1f\n", addCpu);
    return 0;
}
