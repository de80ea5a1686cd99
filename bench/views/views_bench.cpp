// The host pane showing a big folder, offscreen, as the program would: one THostView in
// report style connected to an FTP server. Prints "key value" lines:
//   show_ms       ShowFolder to the sorted list painted (state 129, every row in the model)
//   arrive_ms     ShowFolder to the listing reaching the pane (the session's share)
//   model_ms      arrival to the pane's FolderShown handler done (captions, sort)
//   idle_ms       ShowFolder to state 129 reported
//   settle_ms     state 129 to painted (the views' delayed layout and the paint)
//   revisit_ms    back to the folder from the cache after a small folder, to painted
//   revisit_lists LIST commands the revisit sent (0 when it came from the cache)
//   resort_ms     the header re-sorting by size, descending, to painted
//   rss_added_kib VmRSS after the big folder is shown minus after the small one
//   rss_trimmed_kib the same after malloc_trim, to tell freed-but-kept heap from live data
// Then, apart from the timed path, each step alone on the same listing (best of three):
//   parse_ms      the listing parser on LISTING_FILE, the text the server sends
//   captions_ms   the list model taking the listing (names decoded)
//   sort_ms       the model sorting it by name (size_sort_ms: by size)
//   size_sort_ms  the same by size, descending
// Exits non-zero with a message when something does not come up or the list is wrong.
//   views-bench PORT BIG_FOLDER SMALL_FOLDER EXPECTED_ROWS [LISTING_FILE]
#include "../BenchSupport.h"
#include "listing/ListingParser.h"
#include "settings/Settings.h"
#include "views/HostBrowser.h"
#include "views/widgets/HostView.h"
#include "views/widgets/RemoteListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

using bench::Now;
using bench::ResidentKib;

[[noreturn]] void Fail(const char* what) {
    bench::Fail("views-bench", what);
}

// The loop of the wait in progress, so the pane's callbacks end it the moment the
// condition holds instead of at the next poll.
QEventLoop* Waiting = nullptr;
std::function<bool()> Condition;

void Recheck() {
    if (Waiting && Condition && Condition()) Waiting->quit();
}

bool WaitFor(std::function<bool()> done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll, deadline;
    Condition = std::move(done);
    Waiting = &loop;
    QObject::connect(&poll, &QTimer::timeout, &loop, Recheck);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(20);
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    loop.exec();
    Waiting = nullptr;
    const bool ok = Condition();
    Condition = nullptr;
    return ok;
}

// Whatever the event loop still has queued (the views' delayed layout), then a paint.
void Settle(QWidget& window) {
    QCoreApplication::processEvents();
    window.repaint();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 5 && argc != 6)
        Fail("usage: views-bench PORT BIG_FOLDER SMALL_FOLDER EXPECTED_ROWS [LISTING_FILE]");
    const int port = std::atoi(argv[1]);
    const QByteArray big = argv[2], small = argv[3];
    const int expected = std::atoi(argv[4]);

    TSettings settings = DefaultSettings();
    settings.UsePASV = true;
    THostView view;
    view.Browser().SetSettings(&settings);
    view.SetViewStyle(TCustomView::vsReport);
    view.resize(1000, 600);
    view.show();

    int state = 0;
    double idleAt = 0;
    int lists = 0;
    view.OnUpdateState = [&](TCustomView*, int s, int) {
        state = s;
        if (s == hsIdle) idleAt = Now();
        Recheck();
    };
    view.OnLog = [&](THostView*, const QString& text, TColor color) {
        if (color == EngineSettings().LogColorCommand && text.startsWith(QLatin1String("LIST")))
            ++lists;
    };
    double arriveAt = 0, shownAt = 0;
    QObject::connect(&view.Model(), &QAbstractItemModel::modelAboutToBeReset,
                     [&] { arriveAt = Now(); });
    QObject::connect(&view.Browser(), &THostBrowser::FolderShown, [&] { shownAt = Now(); });

    QAbstractItemView* list = view.ListView();
    auto showing = [&](const QByteArray& folder, int rows) {
        return [&view, list, &state, folder, rows] {
            return state == hsIdle && view.Browser().Folder() == folder &&
                   view.Browser().ShownListing() && view.Model().rowCount() == rows &&
                   list->model()->rowCount() == rows;
        };
    };

    view.Connect(QStringLiteral("127.0.0.1"), port, QString(), QString::fromUtf8(small),
                 "anonymous", "bench@example.org", QByteArray());
    if (!WaitFor(
            [&] {
                return state == hsIdle && view.Browser().ShownListing() &&
                       view.Browser().Folder() == small;
            },
            20000))
        Fail("the small folder was not shown within 20 s of connecting");
    const int smallRows = view.Model().rowCount();
    Settle(view);
    const long rssBefore = ResidentKib();

    // First visit: the server lists it.
    state = 0;
    const double start = Now();
    if (!view.ShowFolder(QString::fromUtf8(big))) Fail("ShowFolder refused the big folder");
    if (!WaitFor(showing(big, expected), 120000)) {
        std::fprintf(stderr, "views-bench: rows %d, state %d\n", view.Model().rowCount(), state);
        Fail("the big folder was not shown within 120 s");
    }
    Settle(view);
    const double shown = Now() - start;
    const double arrive = arriveAt - start, handled = shownAt - arriveAt, idle = idleAt - start;
    const long rssAfter = ResidentKib();
    malloc_trim(0);
    const long rssTrimmed = ResidentKib();

    // Folders first, then names in ascending order, as the user sees them.
    const auto* proxy = static_cast<const QSortFilterProxyModel*>(list->model());
    const TRemoteListModel* model = &view.Model();
    auto sourceRow = [&](int row) { return proxy->mapToSource(proxy->index(row, 0)).row(); };
    for (int row = 1; row < expected; ++row) {
        const int a = sourceRow(row - 1), b = sourceRow(row);
        if (model->IsFolder(b) && !model->IsFolder(a)) Fail("a folder is listed after a file");
        if (model->IsFolder(a) == model->IsFolder(b) &&
            model->Caption(a).compare(model->Caption(b), Qt::CaseInsensitive) > 0)
            Fail("the list is not sorted by name");
    }

    // Revisit from the cache.
    state = 0;
    if (!view.ShowFolder(QString::fromUtf8(small)) || !WaitFor(showing(small, smallRows), 20000))
        Fail("the small folder did not come back");
    Settle(view);
    const int listsBefore = lists;
    state = 0;
    const double revisitStart = Now();
    if (!view.ShowFolder(QString::fromUtf8(big)) || !WaitFor(showing(big, expected), 120000))
        Fail("the big folder did not come back from the cache");
    Settle(view);
    const double revisit = Now() - revisitStart;
    const int revisitLists = lists - listsBefore;

    // Re-sort by size, largest first, through the header as a click would.
    auto* details = qobject_cast<QTreeView*>(list);
    if (!details) Fail("report style does not show a tree view");
    const double sortStart = Now();
    details->sortByColumn(TRemoteListModel::colSize, Qt::DescendingOrder);
    Settle(view);
    const double resort = Now() - sortStart;
    for (int row = 1; row < expected; ++row) {
        const int a = sourceRow(row - 1), b = sourceRow(row);
        if (model->IsFolder(b) && !model->IsFolder(a))
            Fail("a folder is listed after a file after sorting by size");
        if (!model->IsFolder(a) && !model->IsFolder(b) &&
            model->Entry(a).Item.Size < model->Entry(b).Item.Size)
            Fail("the list is not sorted by size, largest first");
    }

    std::printf("rows %d\n", expected);
    std::printf("show_ms %.1f\n", shown);
    std::printf("arrive_ms %.1f\n", arrive);
    std::printf("model_ms %.1f\n", handled);
    std::printf("idle_ms %.1f\n", idle);
    std::printf("settle_ms %.1f\n", shown - idle);
    std::printf("revisit_ms %.1f\n", revisit);
    std::printf("revisit_lists %d\n", revisitLists);
    std::printf("resort_ms %.1f\n", resort);
    std::printf("rss_added_kib %ld\n", rssAfter - rssBefore);
    std::printf("rss_trimmed_kib %ld\n", rssTrimmed - rssBefore);

    const TListingPtr listing = view.Browser().ShownListing();
    auto bestOf3 = [](const std::function<void()>& step) {
        double best = 1e12;
        for (int i = 0; i < 3; ++i) {
            const double t = Now();
            step();
            best = std::min(best, Now() - t);
        }
        return best;
    };
    if (argc == 6) {
        QFile file(QString::fromLocal8Bit(argv[5]));
        if (!file.open(QIODevice::ReadOnly)) Fail("the listing file cannot be read");
        const QByteArray text = file.readAll();
        const int type = view.Session()->ServerType();
        size_t parsed = 0;
        std::printf("parse_ms %.1f\n", bestOf3([&] { parsed = ParseListing(type, text).size(); }));
        if (parsed != listing->size()) Fail("the listing file does not parse to the shown listing");
    }
    // A fresh model each time: one that has shown the listing keeps its captions.
    std::printf("captions_ms %.1f\n", bestOf3([&] { TRemoteListModel().SetListing(listing); }));
    TRemoteListModel alone;
    alone.SetListing(listing);
    // Each sort from the other order, so that none is answered from the model's memory.
    std::printf("sort_ms %.1f\n", bestOf3([&] {
                                      alone.Sort(TRemoteListModel::colName, Qt::DescendingOrder);
                                      alone.Sort(TRemoteListModel::colName, Qt::AscendingOrder);
                                  }) / 2);
    std::printf("size_sort_ms %.1f\n",
                bestOf3([&] {
                    alone.Sort(TRemoteListModel::colSize, Qt::AscendingOrder);
                    alone.Sort(TRemoteListModel::colSize, Qt::DescendingOrder);
                }) / 2);
    view.Disconnect();
    return 0;
}
