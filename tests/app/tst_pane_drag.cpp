// Files dragged from one pane and dropped on the other with the mouse, through the real
// window, its lists and the desktop's drag loop, against a real vsftpd.
#include "TestFiles.h"
#include "WindowFixture.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "transfer/TransferItems.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDrag>
#include <QTimer>

namespace {

// The centre of the named item in a pane's list, in its window's coordinates.
QPoint ItemPoint(TCustomView* pane, const QString& name) {
    QAbstractItemView* list = pane->ListView();
    const QModelIndexList found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole,
                                                       name, 1, Qt::MatchExactly);
    if (found.isEmpty()) return {};
    const QPoint inList = list->visualRect(found.first()).center();
    return list->viewport()->mapTo(list->window(), inList);
}

// A point inside a pane's list, below its items.
QPoint EmptyPoint(TCustomView* pane) {
    QWidget* viewport = pane->ListView()->viewport();
    return viewport->mapTo(viewport->window(),
                           QPoint(viewport->width() / 2, viewport->height() - 5));
}

// Presses on `from` and moves far enough for a drag to start; once the drag's own loop
// runs, moves on to `to` and lets go there. False when no drag started.
bool DragAndDrop(QWidget* window, const QPoint& from, const QPoint& to) {
    QWindow* handle = window->windowHandle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the last drag's
    bool dropped = false;
    int polls = 0;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window->findChild<QDrag*>()) {
            if (++polls > 500) poll.stop();
            return;
        }
        poll.stop();
        QTest::mouseMove(handle, (from + to) / 2);
        QTest::mouseMove(handle, to);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
        dropped = true;
    });
    poll.start();
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, from + QPoint(QApplication::startDragDistance() + 5, 0));
    if (!dropped) QTest::mouseRelease(handle, Qt::LeftButton, {}, from);
    return dropped;
}

} // namespace

class TTestPaneDrag : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { EngineSettings().TimeOut = 10000; }
    void cleanupTestCase() { QVERIFY(TFTPComponent::WaitForWorkers(15000)); }

    void dragBothWays() {
        TVsftpdServer server;
        server.setWritable(true);
        QVERIFY(WriteFile(server.rootPath() + "/remote.bin", Pattern(30000, 2)));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath("local.bin"), Pattern(20000, 3)));
        QVERIFY(f.ShowBoth(server, local.path()));
        f.Window->resize(800, 600); // lists tall enough to show their items unscrolled
        QTRY_VERIFY(f.Window->CurrentLocalView()->ListView()->viewport()->height() > 150);
        THostView* host = f.Host(0);
        TLocalView* view = f.Window->CurrentLocalView();

        SelectName(view, "local.bin");
        QVERIFY(DragAndDrop(f.Window.get(), ItemPoint(view, "local.bin"), EmptyPoint(host)));
        QTRY_COMPARE(ReadFile(server.rootPath() + "/local.bin"),
                     ReadFile(local.filePath("local.bin")));

        // The server's list is read again after the upload, and is off meanwhile.
        QTRY_VERIFY(host->StateValue == hsIdle && host->ListView()->isEnabled() &&
                    !ItemPoint(host, "local.bin").isNull());
        SelectName(host, "remote.bin");
        QVERIFY(DragAndDrop(f.Window.get(), ItemPoint(host, "remote.bin"), EmptyPoint(view)));
        QTRY_COMPARE(ReadFile(local.filePath("remote.bin")),
                     ReadFile(server.rootPath() + "/remote.bin"));
        // A drop on the pane it came from moves nothing (a drop adds its items at once).
        SelectName(view, "local.bin");
        QVERIFY(DragAndDrop(f.Window.get(), ItemPoint(view, "local.bin"), EmptyPoint(view)));
        QCOMPARE(host->ExistingQueue()->Count(), 2);
    }
};

int main(int argc, char** argv) {
    // Qt's offscreen platform ends every drag at once, unseen by any window; the minimal one
    // carries it between windows as a desktop does.
    qputenv("QT_QPA_PLATFORM", "minimal:enable_fonts");
    QApplication app(argc, argv);
    TTestPaneDrag test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_pane_drag.moc"
