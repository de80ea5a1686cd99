#include "TestFiles.h"

#include "ScriptedQuestions.h"
#include "listing/FtpUtils.h"
#include "platform/ProfileFile.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "settings/SiteList.h"
#include "sites/windows/SiteManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray TwoSites = "[Sites]\r\nSite1=Alpha\r\nSite2=Big\r\nLastSite=Alpha\r\n"
                            "[Alpha]\r\nHost=a.example\r\nUser=ua\r\nPassword=x\r\nPort=2121\r\n"
                            "[Big]\r\nHost=b.example\r\nUser=ub\r\nPort=99999\r\n";

QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

class TestSiteManager : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void siteBox_data();
    void siteBox();
    void deleteOnlySite();
    void encryptionMovesPort_data();
    void encryptionMovesPort();
    void okRefused_data();
    void okRefused();
    void anonymousGivesEMail();
    void passwordFilesArePrivate_data();
    void passwordFilesArePrivate();
    void predefinedTab();

private:
    template <class T> T* Find(TfrmManager& window, const char* name) {
        T* widget = window.findChild<T*>(QLatin1String(name));
        if (!widget) qFatal("no %s", name);
        return widget;
    }
    QLineEdit* Edit(TfrmManager& window, const char* name) { return Find<QLineEdit>(window, name); }
    void Click(TfrmManager& window, const char* name) { Find<QPushButton>(window, name)->click(); }

    QTemporaryDir Dir_;
    QString Sites_;
    QString Dev_;
    TSettings Settings_;
    TScriptedQuestions Questions_;
};

void TestSiteManager::init() {
    const QString folder = Dir_.filePath(QString::fromLatin1(QTest::currentTestFunction()));
    Sites_ = folder + QStringLiteral("/Sites.ini");
    Dev_ = folder + QStringLiteral("/Dev/dev.ini");
    QFile::remove(Sites_);
    QVERIFY(QDir().mkpath(QFileInfo(Sites_).path()));
    Settings_ = DefaultSettings();
    Settings_.EMail = QStringLiteral("me@example.org");
    Settings_.DefaultDir = QStringLiteral("/home/me/");
    Questions_ = TScriptedQuestions();
    Questions_.Yes = true;
}

void TestSiteManager::siteBox_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("host"); // after typing "x.example" and then the name
    QTest::addColumn<QStringList>("listed");
    const QString typedHost = "x.example";
    QTest::newRow("new name keeps the fields")
        << "Beta" << typedHost << QStringList{"Alpha", "Beta", "Big"};
    QTest::newRow("listed name in other case loads it")
        << "BIG" << QString("b.example") << QStringList{"Alpha", "Big"};
    QTest::newRow("a listed name's prefix")
        << "Alph" << typedHost << QStringList{"Alph", "Alpha", "Big"};
}

void TestSiteManager::siteBox() {
    QFETCH(QString, typed);
    QFETCH(QString, host);
    QFETCH(QStringList, listed);
    QVERIFY(WriteFile(Sites_, QByteArray(TwoSites).replace("Port=99999", "Port=21")));
    TfrmManager window(Sites_, Dev_, Settings_, &Questions_);
    QVERIFY(!window.findChild<QWidget*>("tbshtPred"));
    QCOMPARE(window.CurrentSite(), QStringLiteral("Alpha"));
    QCOMPARE(Edit(window, "editPort")->text(), QStringLiteral("2121"));
    Edit(window, "editHost")->setText("x.example");
    QLineEdit* name = Find<QComboBox>(window, "cmboSite")->lineEdit();
    name->clear();
    QTest::keyClicks(name, typed);
    QCOMPARE(Edit(window, "editHost")->text(), host);
    Click(window, "btnOK");
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(Questions_.Messages.isEmpty());

    TSiteList sites(Sites_);
    sites.LoadSites();
    QCOMPARE(sites.Sites(), listed);
    QVERIFY(sites.LastSite().compare(typed, Qt::CaseInsensitive) == 0);
    QCOMPARE(sites.LoadSite(typed).Host, host);
    // The main window loads a site by name without showing the window.
    TfrmManager hidden(Sites_, Dev_, Settings_, &Questions_);
    hidden.SetCurrentSite(typed.toLower());
    hidden.LoadSite();
    QVERIFY(listed.contains(hidden.CurrentSite()));
    QCOMPARE(hidden.Site().Host, host);
}

void TestSiteManager::encryptionMovesPort_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QList<int>>("choices"); // TEncryption numbers, one after another
    QTest::addColumn<QStringList>("ports");  // the port after each
    // Implicit TLS takes 21 to 990 and leaving it 990 to 21; explicit TLS keeps 21.
    QTest::newRow("21") << "21" << QList<int>{0, 3, 2, 1, 3, 0}
                        << QStringList{"21", "990", "21", "21", "990", "21"};
    QTest::newRow("own port kept")
        << "2121" << QList<int>{0, 3, 0} << QStringList{"2121", "2121", "2121"};
}

void TestSiteManager::encryptionMovesPort() {
    QFETCH(QString, port);
    QFETCH(QList<int>, choices);
    QFETCH(QStringList, ports);
    // A stored implicit site shows as stored, its port left alone.
    QVERIFY(WriteFile(Sites_, "[Sites]\r\nSite1=S\r\nLastSite=S\r\n[S]\r\nHost=h\r\nPort=" +
                                  port.toLatin1() + "\r\nEncryption=3\r\n"));
    TfrmManager window(Sites_, Dev_, Settings_, &Questions_);
    auto* encryption = Find<QComboBox>(window, "cmboEncryption");
    QCOMPARE(encryption->currentIndex(), 3);
    QCOMPARE(Edit(window, "editPort")->text(), port);
    for (qsizetype i = 0; i < choices.size(); ++i) {
        encryption->setCurrentIndex(choices[i]);
        QCOMPARE(Edit(window, "editPort")->text(), ports[i]);
        QCOMPARE(int(window.Site().Encryption), choices[i]);
    }
}

void TestSiteManager::deleteOnlySite() {
    QVERIFY(WriteFile(Sites_, "[Sites]\r\nSite1=Only\r\nLastSite=Only\r\n[Only]\r\nHost=o\r\n"));
    TfrmManager window(Sites_, Dev_, Settings_, &Questions_);
    auto* remove = Find<QPushButton>(window, "btnDelete");
    QVERIFY(remove->isEnabled());
    Questions_.Yes = false;
    remove->click();
    QCOMPARE(Questions_.Asked, QStringList{"Are you sure you want to delete the Only site?"});
    QCOMPARE(Edit(window, "editHost")->text(), QStringLiteral("o"));
    Questions_.Yes = true;
    remove->click();
    TSiteList sites(Sites_);
    sites.LoadSites();
    QVERIFY(sites.Sites().isEmpty());
    QCOMPARE(Find<QComboBox>(window, "cmboSite")->count(), 0);
    QCOMPARE(Edit(window, "editHost")->text(), QString());
    QVERIFY(!remove->isEnabled());

    // Browse starts in the first local folder, a new site's the default folder, and fills
    // the folder of its own button.
    Questions_.Folder = "/srv/x/";
    Click(window, "btnBrowse3");
    QCOMPARE(Questions_.Asked.last(), "Select a directory|" + Settings_.DefaultDir);
    QCOMPARE(Edit(window, "editLocalFolder3")->text(), Questions_.Folder);
}

void TestSiteManager::okRefused_data() {
    QTest::addColumn<QString>("fields"); // name|host|user|port typed; "-" keeps what is loaded
    QTest::addColumn<QString>("message");
    const QString port = "The port must be a number from 1 to 65535.";
    QTest::newRow("port 65536, unnamed site") << "|h|u|65536" << port;
    QTest::newRow("port text") << "S|h|u|ftp" << port;
    QTest::newRow("stored port 99999") << "Big|-|-|-" << port;
    QTest::newRow("no host") << "S||u|21"
                             << "Host field cannot be empty";
    QTest::newRow("no user") << "S|h||21"
                             << "UserID field cannot be empty";
    QTest::newRow("named like the list's section")
        << "sites|h|u|21"
        << "The name \"sites\" is kept for the list of sites. Please choose another site name.";
    QTest::newRow("file cannot be written") << "S|h|u|21"
                                            << "Unable to write to ";
}

void TestSiteManager::okRefused() {
    QFETCH(QString, fields);
    QFETCH(QString, message);
    const QStringList typed = fields.split(QLatin1Char('|'));
    if (message.startsWith("Unable")) {
        QVERIFY(WriteFile(Sites_, "not a folder"));
        Sites_ += QStringLiteral("/Sites.ini");
        message += Sites_;
    } else {
        QVERIFY(WriteFile(Sites_, TwoSites));
    }
    const QByteArray before = ReadFile(Sites_);
    TfrmManager window(Sites_, Dev_, Settings_, &Questions_);
    window.show();
    QLineEdit* name = Find<QComboBox>(window, "cmboSite")->lineEdit();
    name->clear();
    QTest::keyClicks(name, typed[0]);
    const char* edits[] = {"editHost", "editUser", "editPort"};
    for (int i = 0; i < 3; ++i)
        if (typed[i + 1] != "-") Edit(window, edits[i])->setText(typed[i + 1]);
    Click(window, "btnOK");
    QCOMPARE(Questions_.Messages, QStringList{message});
    QVERIFY(window.isVisible());
    // Apply refuses the same way, without closing.
    if (!typed[0].isEmpty() && !message.contains("field")) {
        Click(window, "btnApply");
        QCOMPARE(Questions_.Messages, QStringList(2, message));
    }
    QCOMPARE(ReadFile(Sites_), before);
}

void TestSiteManager::anonymousGivesEMail() {
    Settings_.EMail.clear();
    TfrmManager window(Sites_, Dev_, Settings_, &Questions_);
    QTest::keyClicks(Find<QComboBox>(window, "cmboSite")->lineEdit(), "Anon");
    Edit(window, "editHost")->setText("h");
    Find<QCheckBox>(window, "cbAnonymous")->setChecked(true);
    QCOMPARE(Edit(window, "editUser")->text(), QStringLiteral("anonymous"));
    Edit(window, "editPassword")->setText("guest@example.org");
    Click(window, "btnOK");
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(Settings_.EMail, QStringLiteral("guest@example.org"));
}

void TestSiteManager::passwordFilesArePrivate_data() {
    QTest::addColumn<bool>("settingsFile");
    QTest::newRow("site list") << false;
    QTest::newRow("settings file") << true;
}

void TestSiteManager::passwordFilesArePrivate() {
    QFETCH(bool, settingsFile);
    // Made owner-only, rewritten keeping that, then keeping a mode the user chose.
    const QFileDevice::Permissions modes[] = {OwnerOnly, OwnerOnly,
                                              OwnerOnly | QFileDevice::ReadGroup};
    for (int round = 0; round < 3; ++round) {
        if (round == 2) QVERIFY(QFile::setPermissions(Sites_, modes[round]));
        const QString password = QString::number(round);
        TSite site = TSiteList::NewSite(QString());
        site.Name = "S";
        site.Password = Settings_.FirewallPassword = password;
        QVERIFY(settingsFile ? WriteSettings(Settings_, Sites_) : TSiteList(Sites_).SaveSite(site));
        QCOMPARE(QFile::permissions(Sites_) & 0x7077, modes[round]);
    }
    QVERIFY(ReadFile(Sites_).contains(settingsFile ? "=2\r\n" : "Password=" + ScrambleText("2")));
}

void TestSiteManager::predefinedTab() {
    QVERIFY(WriteFile(Sites_, TwoSites));
    QVERIFY(WriteFile(Dev_, "[Site]\r\nN=Kelvenar\r\nH=ftp.kelvenar.example\r\nA=0\r\nI=guest\r\n"
                            "P=" +
                                ScrambleText("pw") + "\r\n"));
    // The smallest GIF: one white pixel.
    QVERIFY(WriteFile(QFileInfo(Dev_).dir().filePath("logo.gif"),
                      QByteArray::fromHex("47494638396101000100800000ffffff00000021f90401000000"
                                          "002c00000000010001000002024401003b")));
    TfrmManager window(Sites_, Dev_, Settings_, &Questions_);
    window.show();
    auto* pages = Find<QTabWidget>(window, "pgSite");
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("tbshtPred"));
    QCOMPARE(pages->tabText(0), QStringLiteral("Kelvenar"));
    QVERIFY(!Find<QLabel>(window, "imgLogo")->pixmap().isNull());
    QCOMPARE(window.CurrentSite(), QStringLiteral("Kelvenar"));
    QCOMPARE(Edit(window, "editHost")->text(), QStringLiteral("ftp.kelvenar.example"));
    Edit(window, "EditUserPred")->end(false);
    QTest::keyClicks(Edit(window, "EditUserPred"), "2");
    QCOMPARE(Edit(window, "editUser")->text(), QStringLiteral("guest2"));
    Click(window, "btnOK");
    QCOMPARE(window.result(), int(QDialog::Accepted));
    const TSiteList sites(Sites_, Dev_);
    QCOMPARE(sites.LoadSite("Kelvenar").Password, QStringLiteral("pw"));
    QCOMPARE(sites.LoadPredefinedSite().User, QStringLiteral("guest2"));
}

QTEST_MAIN(TestSiteManager)
#include "tst_site_manager.moc"
