// The internal viewer in the main window: local files as the selection moves, a remote
// page with its pictures from a real server, and nothing from any other host.
#include "NginxServer.h"
#include "TestFiles.h"
#include "VsftpdServer.h"
#include "WindowFixture.h"

#include "app/LogPane.h"
#include "engine/EngineSettings.h"
#include "views/widgets/Viewer.h"

#include <QBuffer>
#include <QImage>
#include <QPixmap>
#include <QTcpServer>
#include <QTextDocument>

namespace {

QByteArray Png(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

// The width of the picture the viewer's page holds under that name (0 when none).
int PictureWidth(TViewer* viewer, const QUrl& name) {
    const QVariant picture = viewer->document()->resource(QTextDocument::ImageResource, name);
    return picture.typeId() == QMetaType::QImage ? picture.value<QImage>().width()
                                                 : picture.value<QPixmap>().width();
}

bool Settled(TViewer* viewer) {
    return QTest::qWaitFor([viewer] { return !viewer->Loading(); }, 15000);
}

} // namespace

class TTestViewer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { EngineSettings().TimeOut = 10000; }
    void cleanupTestCase() { QVERIFY(TFTPComponent::WaitForWorkers(15000)); }

    // F10 shows the welcome page, then each local file selected; files the viewer does
    // not show leave the last one in place.
    void localFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");     // in the page shown
        QTest::addColumn<int>("pictureWidth"); // of the file itself, for a picture
        QTest::newRow("picture") << "photo.PNG"
                                 << "" << 9;
        QTest::newRow("text") << "notes.txt"
                              << "a < b" << 0;
        QTest::newRow("other kind: welcome stays") << "data.bin"
                                                   << "internal viewer" << 0;
    }
    void localFiles() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(int, pictureWidth);
        QTemporaryDir local;
        QVERIFY(WriteFile(local.filePath(name), name.endsWith("PNG") ? Png(9, 5) : "a < b"));
        TWindowFixture f;
        QVERIFY(f.Window->OpenLocalFolder(local.path(), true));
        QVERIFY(f.Trigger("actShowViewer"));
        TViewer* viewer = f.Window->Viewer();
        QVERIFY(viewer && viewer->isVisible() && f.Action("actShowViewer")->isChecked());
        QVERIFY(viewer->toPlainText().contains("internal viewer"));
        SelectName(f.Window->CurrentLocalView(), name);
        QVERIFY(Settled(viewer));
        QVERIFY2(viewer->toPlainText().contains(text), qPrintable(viewer->toPlainText()));
        const QUrl file = QUrl::fromLocalFile(local.filePath(name));
        QCOMPARE(PictureWidth(viewer, QUrl(file.toString(QUrl::FullyEncoded))), pictureWidth);
        QVERIFY(f.Trigger("actShowViewer"));
        QVERIFY(!viewer->isVisible() && f.Window->LogPane()->isVisible());
    }

    // A page on the server shows with its picture, fetched by the viewer's own session;
    // a picture and a link of another host (another loopback port) are never asked for.
    void remotePageFromItsHostOnly() {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::LocalHost));
        const QString elsewhere = QStringLiteral("http://127.0.0.1:%1/").arg(other.serverPort());
        TVsftpdServer server;
        const QByteArray page = "<html><body><h1>Remote page</h1><img src=\"pic.png\">"
                                "<img src=\"" +
                                elsewhere.toUtf8() + "spy.png\"><img src=\"file://" +
                                QFile::encodeName(server.rootPath()) + "/pic.png\"></body></html>";
        QVERIFY(WriteFile(server.rootPath() + "/page.html", page));
        QVERIFY(WriteFile(server.rootPath() + "/pic.png", Png(7, 3)));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TWindowFixture f;
        QTemporaryDir local;
        QVERIFY(f.ShowBoth(server, local.path()));
        QVERIFY(f.Trigger("actShowViewer"));
        TViewer* viewer = f.Window->Viewer();
        SelectName(f.Host(0), "page.html");
        QVERIFY(viewer->Loading());
        QVERIFY(Settled(viewer));
        QVERIFY2(viewer->toPlainText().contains("Remote page"), qPrintable(viewer->toPlainText()));
        QCOMPARE(PictureWidth(viewer, QUrl("pic.png")), 7);
        // Refused: neither the other host's picture nor a local file named by a remote page.
        QCOMPARE(PictureWidth(viewer, QUrl(elsewhere + "spy.png")), 1);
        QCOMPARE(PictureWidth(viewer, QUrl("file://" + server.rootPath() + "/pic.png")), 1);
        QVERIFY(!f.Host(0)->Session()->Busy());
        Q_EMIT viewer->anchorClicked(QUrl(elsewhere + "page.html"));
        QVERIFY(!viewer->Loading());
        QTest::qWait(200);
        QVERIFY(!other.hasPendingConnections());
    }

    // An http:// page (Connect to URL asks for one) comes through the engine's HTTP
    // download, and its picture after it.
    void httpPage() {
        TNginxServer nginx;
        QVERIFY(WriteFile(nginx.rootPath() + "/page.html",
                          "<html><body><h1>Web page</h1><img src=\"pic.png\"></body></html>"));
        QVERIFY(WriteFile(nginx.rootPath() + "/pic.png", Png(6, 2)));
        QVERIFY2(nginx.start(), qPrintable(nginx.errorText()));
        TViewer viewer;
        viewer.Navigate(QUrl(nginx.url("/page.html")));
        QVERIFY(Settled(&viewer));
        QVERIFY2(viewer.toPlainText().contains("Web page"), qPrintable(viewer.toPlainText()));
        QCOMPARE(PictureWidth(&viewer, QUrl("pic.png")), 6);
    }
};

QTEST_MAIN(TTestViewer)
#include "tst_viewer.moc"
