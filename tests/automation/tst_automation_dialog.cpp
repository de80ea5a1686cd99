// The main window as a remote file dialog, its automation object in this process and the
// client on a connection of its own to the private bus, against vsftpd.
#include "BusRecorder.h"
#include "TestFiles.h"
#include "VsftpdServer.h"

#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "automation/Wexmarten.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TTestAutomationDialog : public QObject {
    Q_OBJECT
private:
    TVsftpdServer Server;
    QTemporaryDir Home;
    TAutomationState State;
    std::unique_ptr<TfrmMain> Window;
    std::unique_ptr<TWexmarten> Object;
    QDBusConnection Client{QString()};
    std::unique_ptr<TBusRecorder> Events;

    QLineEdit* FileName() const { return Window->findChild<QLineEdit*>("editFileName"); }
    void Press(const char* button) { Window->findChild<QPushButton*>(button)->click(); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(WriteFile(Server.rootPath() + "/a.txt", "a"));
        QVERIFY(WriteFile(Server.rootPath() + "/b.txt", "b"));
        QVERIFY(QDir().mkpath(Server.rootPath() + "/sub"));
        QVERIFY2(Server.start(), qPrintable(Server.errorText()));
        QVERIFY(WriteFile(Home.filePath("Tolvar.ini"), "[Connection]\r\nShowManager=1\r\n"));
        Window = std::make_unique<TfrmMain>(
            TMainPaths{Home.filePath("Tolvar.ini"), Home.filePath("Sites.ini"),
                       Home.filePath("dev.ini"), Home.filePath("registry.conf")});
        Window->SetAutomationDialog(&State);
        Object = std::make_unique<TWexmarten>(*Window, State);
        QString error;
        QVERIFY2(Object->Register(QDBusConnection::sessionBus(), &error), qPrintable(error));
        Client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");
        Events = std::make_unique<TBusRecorder>(Client);
    }
    void cleanupTestCase() {
        Object.reset();
        Window.reset();
        QVERIFY(!QFile::exists(Home.filePath("registry.conf")));
    }

    void busyUnderTheSiteManager() {
        // The first showing opens the site manager; calls under it are told to wait.
        QStringList errors;
        QTimer poll;
        poll.setInterval(50);
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            poll.stop();
            for (const char* method : {"ItemCount", "Hide"})
                errors << CallObject(Client, method).errorName();
            modal->close();
        });
        poll.start();
        QCOMPARE(CallObject(Client, "Show").type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(errors.size(), 2);
        QCOMPARE(errors.filter("com.kelvenar.Marrowby.Error.Busy").size(), 2);
        QVERIFY(Window->isVisible());
        QCOMPARE(Window->size(), QSize(600, 400));
        QVERIFY(!Window->LocalPane()->isVisible());
        QCOMPARE(CallValue(Client, "ItemCount"), QVariant(0));
        CallObject(Client, "ConnectTo",
                   {"127.0.0.1", int(Server.port()), "anonymous", "x", "", Server.rootPath()});
        QTRY_COMPARE_WITH_TIMEOUT(CallValue(Client, "ItemCount").toInt(), 3, 15000);
    }

    void accept_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<QStringList>("saveList");
        QTest::addColumn<QList<int>>("select");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QList<bool>>("selectedAfter");
        QTest::newRow("open drops the folder")
            << 0 << QStringList{} << QList<int>{0, 1, 2} << "\"a.txt\" \"b.txt\""
            << QList<bool>{false, true, true};
        QTest::newRow("save as picks one")
            << 2 << QStringList{} << QList<int>{1, 2} << "b.txt" << QList<bool>{false, false, true};
        QTest::newRow("save shows the list") << 1 << QStringList{"x", "y z"} << QList<int>{1}
                                             << "\"x\" \"y z\"" << QList<bool>{false, true, false};
    }
    void accept() {
        QFETCH(int, action);
        QFETCH(QStringList, saveList);
        QFETCH(QList<int>, select);
        QFETCH(QString, field);
        QFETCH(QList<bool>, selectedAfter);
        QCOMPARE(SetProperty(Client, "DialogAction", action).type(), QDBusMessage::ReplyMessage);
        CallObject(Client, "ClearSaveList");
        for (const QString& name : saveList)
            CallObject(Client, "AddToSaveList", {name});
        for (int row = 0; row < 3; ++row)
            CallObject(Client, "SelectItem", {row, select.contains(row)});
        QCOMPARE(FileName()->text(), field);
        QCOMPARE(FileName()->isReadOnly(), action == 1);
        const int accepted = Events->Count("OnAccept");
        Press("btnAccept");
        QTRY_COMPARE(Events->Count("OnAccept"), accepted + 1);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(CallValue(Client, "ItemIsSelected", {row}).toBool(), selectedAfter[row]);
    }

    void secondConnectionInANewTab() {
        CallObject(Client, "ConnectTo",
                   {"127.0.0.1", int(Server.port()), "anonymous", "x", "", Server.rootPath()});
        QCOMPARE(Window->HostPane()->Count(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(Window->ConnectedViewCount(), 2, 15000);
    }

    void saveAsNameAndCancel() {
        SetProperty(Client, "DialogAction", 2);
        SetProperty(Client, "SaveAsFileName", "new name.txt");
        QCOMPARE(FileName()->text(), "new name.txt");
        FileName()->setText("typed.txt");
        Press("btnAccept");
        QCOMPARE(State.SaveAsFileName, "typed.txt");
        // Out of range: refused, the action stays.
        SetProperty(Client, "DialogAction", 3);
        QCOMPARE(State.DialogAction, daSaveAs);
        Press("btnCancel");
        QTRY_COMPARE(Events->Count("OnCancel"), 1);
    }
};

QTEST_MAIN(TTestAutomationDialog)
#include "tst_automation_dialog.moc"
