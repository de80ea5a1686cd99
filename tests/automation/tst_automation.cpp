// The program as an automation server on a private session bus, started by calling its
// name, driven as another program would drive it, against vsftpd.
#include "BusRecorder.h"
#include "RunProgram.h"
#include "TestFiles.h"
#include "VsftpdServer.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TTestAutomation : public QObject {
    Q_OBJECT
private:
    TVsftpdServer Server;
    QTemporaryDir Home;
    QDBusConnection Bus = QDBusConnection::sessionBus();
    std::unique_ptr<TBusRecorder> Events;

    bool Running() const { return Bus.interface()->isServiceRegistered(kService); }
    int QuitsSent() const { return int(ReadFile(Server.protocolLog()).count("\"QUIT\"")); }
    void ConnectAndList() {
        const int loggedIn = Events->Count("OnLoggedIn");
        const QDBusMessage reply = CallObject(
            Bus, "ConnectTo",
            {"127.0.0.1", int(Server.port()), "anonymous", "x", "", Server.rootPath() + "/"});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE_WITH_TIMEOUT(Events->Count("OnLoggedIn"), loggedIn + 1, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(CallValue(Bus, "ItemCount").toInt() >= 3, 10000);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(Bus.isConnected());
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        // No site manager at the first showing: nobody would close it.
        QVERIFY(WriteFile(config + "/tolvar/tolvar.ini",
                          "[Connection]\r\nShowManager=0\r\nRetries=1\r\n"
                          "[Conversions]\r\nConversionCase=1\r\n"));
        Server.setWritable(true);
        Server.setProtocolLog(true);
        // Slow enough to see the progress of the big file for a few seconds.
        Server.setMaxRate(400000);
        QVERIFY(WriteFile(Server.rootPath() + "/big.bin", Pattern(1200000, 7)));
        QVERIFY(WriteFile(Server.rootPath() + "/small.txt", Pattern(5000, 8)));
        QVERIFY(QDir().mkpath(Server.rootPath() + "/sub"));
        QVERIFY2(Server.start(), qPrintable(Server.errorText()));
        Events = std::make_unique<TBusRecorder>(Bus);
        QVERIFY(!Running());
        const TProgramRun run = RunProgram(TOLVAR_PROGRAM, {"-RegServer"});
        QVERIFY2(run.ExitCode == 0, run.Err.constData());
    }
    void cleanupTestCase() {
        if (Running()) CallObject(Bus, "Release", {}, "com.kelvenar.Marrowby.Lifecycle");
        const TProgramRun run = RunProgram(TOLVAR_PROGRAM, {"-UnregServer"});
        QCOMPARE(run.ExitCode, 0);
        QVERIFY(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                     "/dbus-1/services")
                    .isEmpty());
    }

    void activationAndListing() {
        // The first call starts the program; it is not connected yet.
        QCOMPARE(CallObject(Bus, "Download", {Home.path()}).errorName(),
                 "com.kelvenar.Marrowby.Error.NotConnected");
        QVERIFY(Running());
        ConnectAndList();
        QCOMPARE(Events->Count("OnConnected"), 1);
        const QStringList names{"sub", "big.bin", "small.txt"};
        const QList<qlonglong> sizes{-1, 1200000, 5000};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(CallValue(Bus, "ItemName", {i}).toString(), names[i]);
            QCOMPARE(CallValue(Bus, "ItemIsFolder", {i}).toBool(), i == 0);
            if (i > 0) QCOMPARE(CallValue(Bus, "ItemSize", {i}).toLongLong(), sizes[i]);
        }
    }

    void refusals_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("error");
        const QString range = "com.kelvenar.Marrowby.Error.IndexOutOfRange";
        const QString invalid = "org.freedesktop.DBus.Error.InvalidArgs";
        QTest::newRow("negative index") << "ItemName" << QVariantList{-1} << range;
        QTest::newRow("index past the end") << "ItemIsSelected" << QVariantList{3} << range;
        QTest::newRow("select past the end") << "SelectItem" << QVariantList{7, true} << range;
        QTest::newRow("rename negative") << "RenameItem" << QVariantList{-2, "x"} << range;
        QTest::newRow("upload relative") << "Upload" << QVariantList{"small.txt", ""} << invalid;
        QTest::newRow("upload folder") << "Upload" << QVariantList{Home.path(), ""} << invalid;
        QTest::newRow("upload missing")
            << "Upload" << QVariantList{Home.filePath("none.txt"), ""} << invalid;
        QTest::newRow("download missing folder")
            << "Download" << QVariantList{Home.filePath("none")} << invalid;
        QTest::newRow("download into a file")
            << "Download" << QVariantList{Server.protocolLog()} << invalid;
        QTest::newRow("download relative") << "Download" << QVariantList{"."} << invalid;
    }
    void refusals() {
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, error);
        CallObject(Bus, "SelectItem", {2, true});
        const auto before = FilesUnder(Server.rootPath());
        QCOMPARE(CallObject(Bus, method, arguments).errorName(), error);
        QTest::qWait(200);
        QCOMPARE(Events->Count("OnItemCompleted"), 0);
        QCOMPARE(FilesUnder(Server.rootPath()), before);
        QVERIFY(QDir(Home.path()).entryList(QDir::Files).isEmpty());
    }

    void download() {
        CallObject(Bus, "SelectItem", {2, false});
        CallObject(Bus, "SelectItem", {1, true});
        QVERIFY(CallValue(Bus, "ItemIsSelected", {1}).toBool());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(CallObject(Bus, "Download", {Home.path()}).type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE_WITH_TIMEOUT(Events->Count("OnAllItemsCompleted"), 1, 30000);
        const qint64 seconds = clock.elapsed() / 1000 + 1;
        QCOMPARE(Events->Last("OnItemCompleted").value(0).toString(), Home.filePath("big.bin"));
        QCOMPARE(Events->Last("OnItemFinished").value(1).toInt(), 2);
        QCOMPARE(ReadFile(Home.filePath("big.bin")), Pattern(1200000, 7));
        const int progress = Events->Count("OnProgress");
        QVERIFY2(progress >= 2 && progress <= seconds * 10 + 1,
                 qPrintable(QString::number(progress)));
        QCOMPARE(Events->Last("OnProgress").value(2).toLongLong(), 1200000);
    }

    void uploadConverted() {
        QVERIFY(WriteFile(Home.filePath("My File.BIN"), Pattern(3000, 9)));
        QCOMPARE(CallObject(Bus, "Upload", {Home.filePath("My File.BIN"), ""}).type(),
                 QDBusMessage::ReplyMessage);
        QTRY_COMPARE_WITH_TIMEOUT(Events->Count("OnItemFinished"), 2, 15000);
        QCOMPARE(Events->Last("OnItemFinished").value(1).toInt(), 2);
        QCOMPARE(ReadFile(Server.rootPath() + "/my file.bin"), Pattern(3000, 9));
    }

    void endsWithItsCaller_data() {
        QTest::addColumn<bool>("attach");
        QTest::newRow("attached caller leaves") << true;
        QTest::newRow("release from a shell") << false;
    }
    void endsWithItsCaller() {
        QFETCH(bool, attach);
        if (!Running()) ConnectAndList();
        const int quits = QuitsSent();
        if (attach) {
            QDBusConnection caller = QDBusConnection::connectToBus(
                qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "caller");
            QCOMPARE(CallObject(caller, "Attach", {}, "com.kelvenar.Marrowby.Lifecycle").type(),
                     QDBusMessage::ReplyMessage);
            QTest::qWait(300);
            QVERIFY(Running());
            QDBusConnection::disconnectFromBus("caller");
        } else {
            const TProgramRun run = RunProgram(
                "/usr/bin/gdbus", {"call", "--session", "--dest", kService, "--object-path", kPath,
                                   "--method", "com.kelvenar.Marrowby.Lifecycle.Release"});
            QVERIFY2(run.ExitCode == 0, run.Err.constData());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!Running(), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(QuitsSent() > quits, 5000);
    }
};

QTEST_GUILESS_MAIN(TTestAutomation)
#include "tst_automation.moc"
