// A server's tree downloaded from the host pane of the main window, offscreen, as a user
// would: the window connects, the tree's folder is selected in the host pane, Download
// is triggered. Prints "key value" lines:
//   items          items the pane's queue held when it went idle (files and folders)
//   done           of those, items that ended done
//   commands       commands the pane and the queue sent to the server, LIST among them
//   lists          of those, LIST commands
//   call_ms        the Download command, trigger to return (the walk and the queueing)
//   first_file_ms  trigger to the first file complete on disk (2 ms poll)
//   all_ms         trigger to the queue idle with every file done
//   idle_cpu_pct   the process's CPU over the 3 s after that, in percent of one core
//   rss_start_kib  VmRSS just before the trigger; rss_end_kib after the idle 3 s
// Exits non-zero with a message when something does not come up.
//   tree-bench PORT SERVER_PARENT TREE_NAME LOCAL_FOLDER FIRST_FILE_RELATIVE FILES
#include "../BenchSupport.h"
#include "app/MainWindow.h"
#include "platform/SoundPlayer.h"
#include "settings/Settings.h"
#include "transfer/TransferItems.h"
#include "views/ViewQuestions.h"
#include "views/widgets/HostView.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

using bench::Now;
using bench::ResidentKib;
using bench::WaitFor;

[[noreturn]] void Fail(const char* what) {
    bench::Fail("tree-bench", what);
}

// A new destination has nothing to ask about; whatever is asked is answered "no".
struct TNoQuestions : IViewQuestions {
    int Asked = 0;
    bool ConfirmDelete(int, const QString&, bool) override { return ++Asked, false; }
    void ShowMessage(const QString&) override {}
};

struct TSilence : ISoundPlayer {
    void Play(const QString&) override {}
    void Stop() override {}
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 7)
        Fail("usage: tree-bench PORT SERVER_PARENT TREE_NAME LOCAL_FOLDER FIRST_FILE_RELATIVE "
             "FILES");
    const int port = std::atoi(argv[1]);
    const QString serverParent = QString::fromLocal8Bit(argv[2]);
    const QString treeName = QString::fromLocal8Bit(argv[3]);
    const QString localFolder = QString::fromLocal8Bit(argv[4]);
    const QByteArray firstFile = QFile::encodeName(localFolder) + "/" + argv[5];
    const int files = std::atoi(argv[6]);

    QTemporaryDir store;
    TNoQuestions questions;
    TSilence silence;
    TfrmMain window(TMainPaths{store.filePath("Tolvar.ini"), store.filePath("Sites.ini"),
                               store.filePath("dev.ini"), store.filePath("registry.conf")});
    window.SetQuestions(&questions);
    window.SetSoundPlayer(&silence);
    window.Settings().UsePASV = true;
    window.ShowAsStored();
    if (!window.OpenLocalFolder(localFolder, true))
        Fail("the local pane cannot show the destination");
    if (!window.ConnectLocation(QStringLiteral("127.0.0.1"), port, QStringLiteral("anonymous"),
                                QStringLiteral("bench@example.org"), serverParent, QString(),
                                QStringLiteral("Tree"), false))
        Fail("the window did not connect");
    THostView* host = window.CurrentHostView();
    int commands = 0, lists = 0;
    // TREE_BENCH_LOG=1 copies the pane's log to standard error, to see what a file costs.
    const bool echo = qEnvironmentVariableIsSet("TREE_BENCH_LOG");
    const auto countCommands = [&](const QString& text, TColor color) {
        if (echo) std::fprintf(stderr, "%s\n", qPrintable(text));
        if (color != EngineSettings().LogColorCommand) return;
        ++commands;
        if (text.startsWith(QLatin1String("LIST"))) ++lists;
    };
    const auto treeRow = [&] {
        for (int row = 0; row < host->ItemCount(); ++row)
            if (host->ItemName(row) == treeName) return row;
        return -1;
    };
    if (!WaitFor([&] { return host->Connected() && host->StateValue == hsIdle && treeRow() >= 0; },
                 20000))
        Fail("the server folder was not shown within 20 s of connecting");
    host->SelectRows({treeRow()});
    QAction* download = window.Actions().Download;
    if (!WaitFor([&] { return download->isEnabled(); }, 5000)) Fail("Download stays disabled");
    // The window's log receives every command line, from the pane and its queue alike.
    const auto previousLog = host->OnLog;
    host->OnLog = [&](THostView* view, const QString& text, TColor color) {
        countCommands(text, color);
        if (previousLog) previousLog(view, text, color);
    };

    double start = 0, callMs = -1, firstFileMs = -1, allMs = -1;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        struct stat info {};
        if (firstFileMs < 0 && ::stat(firstFile.constData(), &info) == 0 && info.st_size > 0)
            firstFileMs = Now() - start;
    });
    QCoreApplication::processEvents();
    const long rssStart = ResidentKib();
    QTimer::singleShot(0, [&] {
        start = Now();
        poll.start(2);
        download->trigger();
        callMs = Now() - start;
    });
    TTransferItems* queue = nullptr;
    const auto finished = [&] {
        queue = host->ExistingQueue();
        return callMs >= 0 && queue && queue->Count() >= files && queue->Idle();
    };
    if (!WaitFor(finished, 600000)) {
        std::fprintf(stderr, "tree-bench: call %.1f ms, first file %.1f ms, items %d\n", callMs,
                     firstFileMs, queue ? queue->Count() : -1);
        Fail("the tree was not downloaded within 600 s");
    }
    allMs = Now() - start;
    poll.stop();
    const int items = queue->Count();
    int done = 0;
    for (int i = 0; i < items; ++i)
        done += queue->Item(i)->State() == isDone;

    // Nothing is left to do: the program should rest.
    const double cpuBefore = bench::CpuMs(RUSAGE_SELF), idleFrom = Now();
    WaitFor([] { return false; }, 3000);
    const double idleCpu = 100.0 * (bench::CpuMs(RUSAGE_SELF) - cpuBefore) / (Now() - idleFrom);
    const long rssEnd = ResidentKib();
    if (questions.Asked) Fail("the download asked a question on a new destination");

    std::printf("items %d\n", items);
    std::printf("done %d\n", done);
    std::printf("commands %d\n", commands);
    std::printf("lists %d\n", lists);
    std::printf("call_ms %.1f\n", callMs);
    std::printf("first_file_ms %.1f\n", firstFileMs);
    std::printf("all_ms %.1f\n", allMs);
    std::printf("idle_cpu_pct %.1f\n", idleCpu);
    std::printf("rss_start_kib %ld\n", rssStart);
    std::printf("rss_end_kib %ld\n", rssEnd);
    std::fflush(stdout);
    // The window's own teardown is not measured.
    std::_Exit(0);
}
