// The checks that turn stored window values into a usable window.
#include "settings/WindowState.h"

#include <QTest>

class TTestWindowState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placement_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<int>("expectedState");
        QTest::addColumn<QRect>("expected");
        const QRect hd(0, 0, 1920, 1050);
        const QList<QRect> one{hd};
        const QList<QRect> two{hd, QRect(1920, 0, 1280, 1000)};
        QTest::newRow("inside") << 0 << QRect(100, 50, 800, 600) << one << 0
                                << QRect(100, 50, 800, 600);
        QTest::newRow("maximised")
            << 2 << QRect(100, 50, 800, 600) << one << 2 << QRect(100, 50, 800, 600);
        QTest::newRow("minimised")
            << 1 << QRect(100, 50, 800, 600) << one << 1 << QRect(100, 50, 800, 600);
        QTest::newRow("unknown state")
            << 7 << QRect(100, 50, 800, 600) << one << 0 << QRect(100, 50, 800, 600);
        QTest::newRow("negative state")
            << -1 << QRect(100, 50, 800, 600) << one << 0 << QRect(100, 50, 800, 600);
        QTest::newRow("zero width")
            << 0 << QRect(100, 50, 0, 600) << one << 0 << QRect(100, 50, 640, 600);
        QTest::newRow("negative height")
            << 0 << QRect(100, 50, 800, -20) << one << 0 << QRect(100, 50, 800, 480);
        QTest::newRow("off every screen")
            << 0 << QRect(9000, -3000, 800, 600) << two << 0 << QRect(160, 90, 800, 600);
        QTest::newRow("left of the screen")
            << 0 << QRect(-790, 90, 800, 600) << one << 0 << QRect(0, 90, 800, 600);
        QTest::newRow("past the bottom")
            << 0 << QRect(100, 900, 800, 600) << one << 0 << QRect(100, 450, 800, 600);
        QTest::newRow("larger than the screen")
            << 0 << QRect(50, 50, 4000, 3000) << one << 0 << QRect(0, 0, 1920, 1050);
        QTest::newRow("on the second screen")
            << 0 << QRect(2000, 100, 800, 600) << two << 0 << QRect(2000, 100, 800, 600);
        QTest::newRow("across two screens, mostly the second")
            << 0 << QRect(1800, 100, 800, 600) << two << 0 << QRect(1920, 100, 800, 600);
        QTest::newRow("off screen, primary small")
            << 0 << QRect(5000, 5000, 800, 600) << QList<QRect>{QRect(0, 0, 640, 480)} << 0
            << QRect(0, 0, 640, 480);
        QTest::newRow("no screens known")
            << 0 << QRect(5000, 5000, 0, 600) << QList<QRect>{} << 0 << QRect(5000, 5000, 640, 600);
    }
    void placement() {
        QFETCH(int, state);
        QFETCH(QRect, stored);
        QFETCH(QList<QRect>, screens);
        const TWindowPlacement placement = CheckedPlacement(state, stored, screens);
        QTEST(int(placement.State), "expectedState");
        QTEST(placement.Bounds, "expected");
    }

    void firstBounds_data() {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("1400x900") << QRect(0, 0, 1400, 900) << QRect(140, 90, 1120, 720);
        QTest::newRow("below a top panel")
            << QRect(0, 30, 1920, 1050) << QRect(192, 135, 1536, 840);
        QTest::newRow("small screen keeps the default size")
            << QRect(0, 0, 700, 500) << QRect(30, 10, 640, 480);
        QTest::newRow("tiny screen") << QRect(0, 0, 600, 400) << QRect(0, 0, 600, 400);
        QTest::newRow("no screen") << QRect() << QRect(160, 90, 640, 480);
    }
    void firstBounds() {
        QFETCH(QRect, screen);
        QTEST(FirstWindowBounds(screen), "expected");
    }

    void logHeight_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("height");
        QTest::newRow("normal") << 200 << true << 200;
        QTest::newRow("just enough") << 12 << true << 12;
        QTest::newRow("no room") << 11 << false << 90;
        QTest::newRow("closed while hidden") << 0 << false << 90;
        QTest::newRow("negative") << -40 << true << 90;
    }
    void logHeight() {
        QFETCH(int, stored);
        const TLogShape shape = CheckedLogHeight(stored, 90);
        QTEST(shape.Shown, "shown");
        QTEST(shape.Height, "height");
    }
};

QTEST_GUILESS_MAIN(TTestWindowState)
#include "tst_window_state.moc"
