// The internal viewer's rules and its own session: which locations a page may take
// resources from, and a stop that lets go of a download the server never ends.
#include "ScriptedFtpServer.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "views/ViewerFetch.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <atomic>

namespace {

const QByteArray Page = "<p>page</p>";

// Answers a session's commands; the first download stalls after a few bytes and ignores
// the abort, later ones are served whole.
void Serve(TScriptedConnection& c, bool stall) {
    c.sendLine("220 Scripted server ready.");
    for (int i = 0; i < 40; ++i) {
        const QByteArray line = c.readLine(10000);
        if (line.isNull()) return;
        const QByteArray verb = line.left(4).toUpper();
        if (verb == "USER") {
            c.sendLine("331 Password please.");
        } else if (verb == "PASS") {
            c.sendLine("230 Logged in.");
        } else if (verb == "PASV") {
            c.sendLine(c.openPassive());
        } else if (verb == "RETR") {
            c.sendLine("150 Opening data connection.");
            if (!c.acceptData()) return;
            c.sendData(stall ? Page.left(3) : Page);
            if (stall) {
                c.pause(20000);
                return;
            }
            c.closeData();
            c.sendLine("226 Transfer complete.");
        } else if (verb == "QUIT") {
            c.sendLine("221 Goodbye.");
            c.close();
            return;
        } else if (verb == "TYPE" || verb == "CWD " || verb == "NOOP") {
            c.sendLine("200 OK.");
        } else {
            c.sendLine("502 Command not implemented.");
        }
    }
}

} // namespace

class TTestViewerFetch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase() { QVERIFY(TFTPComponent::WaitForWorkers(15000)); }

    void sameOrigin_data() {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("resource");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("same folder") << "ftp://h/a/p.html"
                                     << "ftp://h/a/i.gif" << true;
        QTest::newRow("default port written out") << "ftp://h/p.html"
                                                  << "ftp://h:21/i.gif" << true;
        QTest::newRow("host in capitals") << "http://Host/p.html"
                                          << "http://host/i.gif" << true;
        QTest::newRow("local files") << "file:///a/p.html"
                                     << "file:///etc/i.gif" << true;
        QTest::newRow("other host") << "ftp://h/p.html"
                                    << "ftp://evil/i.gif" << false;
        QTest::newRow("other port") << "http://h/p.html"
                                    << "http://h:8080/i.gif" << false;
        QTest::newRow("other scheme") << "ftp://h/p.html"
                                      << "http://h/i.gif" << false;
        QTest::newRow("other user") << "ftp://ann@h/p.html"
                                    << "ftp://bob@h/i.gif" << false;
        QTest::newRow("local file of a remote page") << "ftp://h/p.html"
                                                     << "file:///etc/i.gif" << false;
        QTest::newRow("remote file of a local page") << "file:///a/p.html"
                                                     << "http://h/i.gif" << false;
    }
    void sameOrigin() {
        QFETCH(QString, shown);
        QFETCH(QString, resource);
        QFETCH(bool, allowed);
        QCOMPARE(SameViewerOrigin(QUrl(resource), QUrl(shown)), allowed);
    }

    // The stop returns with the session given up, reports nothing of the stopped file,
    // and the next fetch logs in afresh.
    void stopLetsGoOfAStalledDownload() {
        EngineSettings().TimeOut = 30000;
        TScriptedFtpServer server;
        std::atomic<int> connections{0};
        server.setScript([&](TScriptedConnection& c) { Serve(c, ++connections == 1); });
        TViewerFetch fetch;
        fetch.SetLogin({"127.0.0.1",
                        server.port(),
                        "anonymous",
                        "t@example.org",
                        {},
                        true,
                        false,
                        nullptr,
                        {}});
        QSignalSpy fetched(&fetch, &TViewerFetch::Fetched);
        const QUrl url(QStringLiteral("ftp://127.0.0.1:%1/page.html").arg(server.port()));
        QVERIFY(fetch.Fetch(url));
        QVERIFY(QTest::qWaitFor([&] {
            const QList<QByteArray> lines = server.transcript();
            return std::any_of(lines.begin(), lines.end(),
                               [](const QByteArray& line) { return line.startsWith("RETR"); });
        }));
        QTest::qWait(100);
        fetch.Stop(200);
        QVERIFY(!fetch.Busy());
        QVERIFY(fetch.Fetch(url));
        QVERIFY(fetched.wait(15000));
        QCOMPARE(fetched.size(), 1);
        QCOMPARE(fetched[0][1].toByteArray(), Page);
        QVERIFY(fetched[0][2].toBool());
        QCOMPARE(server.connectionCount(), 2);
    }
};

QTEST_MAIN(TTestViewerFetch)
#include "tst_viewer_fetch.moc"
