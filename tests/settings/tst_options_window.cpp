#include "TestFiles.h"

#include "ScriptedQuestions.h"
#include "app/Help.h"
#include "engine/FtpComponent.h"
#include "platform/ProgramFolder.h"
#include "platform/SoundPlayer.h"
#include "settings/SettingsFile.h"
#include "settings/windows/OptionsWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

class TFakeSounds : public ISoundPlayer {
public:
    void Play(const QString& fileName) override { Played.append(fileName); }
    void Stop() override {}
    QStringList Played;
};

// Sets a control found by name: a box, a spinner, an edit or a radio group's choice.
void Set(QObject& window, const QString& name, const QVariant& value) {
    QObject* control = window.findChild<QObject*>(name);
    QVERIFY2(control, qPrintable(name));
    if (auto* check = qobject_cast<QCheckBox*>(control))
        check->setChecked(value.toBool());
    else if (auto* spin = qobject_cast<QSpinBox*>(control))
        spin->setValue(value.toInt());
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(value.toString());
    else if (auto* group = qobject_cast<QButtonGroup*>(control))
        group->button(value.toInt())->click();
}

void Click(QObject& window, const char* name) {
    window.findChild<QPushButton*>(QLatin1String(name))->click();
}

} // namespace

class TestOptionsWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void writesOnlyWhatChanged_data();
    void writesOnlyWhatChanged();
    void pinStaysOrFollowsButton_data();
    void pinStaysOrFollowsButton();
    void preview_data();
    void preview();
    void firewallPortClamped_data();
    void firewallPortClamped();
    void logFileName_data();
    void logFileName();
    void extensions();
    void soundCombo_data();
    void soundCombo();
    void helpOverTheWindow();

private:
    std::unique_ptr<QTemporaryDir> Dir_;
    QString Path_;
    TScriptedQuestions Questions_;
    TFakeSounds Sounds_;
    TSettings Settings_; // the defaults, as written to Path_
};

void TestOptionsWindow::init() {
    Dir_ = std::make_unique<QTemporaryDir>();
    SetProgramFolderOverride(Dir_->path());
    Path_ = Dir_->filePath(QStringLiteral("tolvar.ini"));
    Settings_ = DefaultSettings();
    QVERIFY(WriteSettings(Settings_, Path_));
    Questions_ = {};
}

void TestOptionsWindow::writesOnlyWhatChanged_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("changedLines");
    QTest::newRow("no change") << QString() << QVariant() << true << QStringList{};
    QTest::newRow("active") << "chkUsePASV" << QVariant(false) << true << QStringList{"UsePASV=0"};
    QTest::newRow("until connected")
        << "rgRetry" << QVariant(1) << true << QStringList{"InfiniteRetry=1"};
    QTest::newRow("upper case") << "rgCase" << QVariant(2) << true
                                << QStringList{"ConversionCase=2"};
    QTest::newRow("empty replacement becomes _")
        << "editChar" << QVariant(QString()) << true << QStringList{};
    QTest::newRow("cancel") << "chkUsePASV" << QVariant(false) << false << QStringList{};
    // A folder in place of the file: reported, the window stays open, nothing is applied.
    QTest::newRow("unwritable file") << "chkUsePASV" << QVariant(false) << true << QStringList{};
}

void TestOptionsWindow::writesOnlyWhatChanged() {
    QFETCH(QString, control);
    QFETCH(QVariant, value);
    QFETCH(bool, ok);
    QFETCH(QStringList, changedLines);
    const bool unwritable = QTest::currentDataTag() == QByteArray("unwritable file");
    const QByteArray before = ReadFile(Path_);
    TFTPComponent session; // a live session follows the passive choice on OK only
    session.SetPassive(true);
    TfrmOptions window(Settings_, unwritable ? Dir_->path() : Path_, &Sounds_, &Questions_);
    if (!control.isEmpty()) Set(window, control, value);
    QVERIFY(session.Passive());
    Click(window, ok ? "btnOK" : "btnCancel");
    QCOMPARE(Questions_.Messages,
             unwritable ? QStringList{"Unable to write to " + Dir_->path()} : QStringList{});
    ok = ok && !unwritable;
    QCOMPARE(window.result(), ok ? QDialog::Accepted : QDialog::Rejected);

    const QList<QByteArray> old = before.split('\n');
    const QList<QByteArray> now = ReadFile(Path_).split('\n');
    QCOMPARE(now.size(), old.size());
    QStringList changed;
    for (qsizetype i = 0; i < now.size(); ++i)
        if (now[i] != old[i]) changed.append(QString::fromUtf8(now[i]).trimmed());
    QCOMPARE(changed, changedLines);
    QCOMPARE(Settings_.UsePASV, !(ok && control == QLatin1String("chkUsePASV")));
    QCOMPARE(session.Passive(), Settings_.UsePASV);
}

void TestOptionsWindow::pinStaysOrFollowsButton_data() {
    QTest::addColumn<bool>("stored");
    QTest::addColumn<int>("button"); // -1: no progress window
    QTest::addColumn<bool>("expected");
    QTest::newRow("pinned stays") << true << 0 << true;
    QTest::newRow("button pressed") << false << 1 << true;
    QTest::newRow("button up") << false << 0 << false;
    QTest::newRow("no window") << false << -1 << false;
}

void TestOptionsWindow::pinStaysOrFollowsButton() {
    QFETCH(bool, stored);
    QFETCH(int, button);
    QFETCH(bool, expected);
    Settings_.PinTransferWindow = stored;
    TfrmOptions window(Settings_, Path_, &Sounds_, &Questions_);
    if (button >= 0) window.SetPinPressed([button] { return button == 1; });
    Click(window, "btnOK");
    QCOMPARE(Settings_.PinTransferWindow, expected);
}

// The rules themselves: tst_settingsfile's uploadNameConversion and shortNameConversion.
void TestOptionsWindow::preview_data() {
    QTest::addColumn<bool>("shortNames");
    QTest::addColumn<int>("caseChoice");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<int>("spaces");
    QTest::addColumn<QString>("converted");
    QTest::newRow("lower, replace") << false << 1 << "_" << 2 << "read_the_instructions.txt";
    QTest::newRow("short, upper, remove") << true << 2 << "_" << 1 << "READTH1.TXT";
    QTest::newRow("replace, edit emptied") << false << 0 << "" << 2 << "Read_the_Instructions.txt";
}

void TestOptionsWindow::preview() {
    QFETCH(bool, shortNames);
    QFETCH(int, caseChoice);
    QFETCH(int, spaces);
    QFETCH(QString, replacement);
    QFETCH(QString, converted);
    TfrmOptions window(Settings_, Path_, &Sounds_, &Questions_);
    Set(window, QStringLiteral("chkShortName"), shortNames);
    Set(window, QStringLiteral("rgCase"), caseChoice);
    Set(window, QStringLiteral("rgSpaces"), spaces);
    Set(window, QStringLiteral("editChar"), replacement);
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblConverted"))->text(), converted);
    QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("editChar"))->isEnabled(), spaces == 2);
}

// A hand-edited port outside 1..65535 is shown and written back as the nearest port. The
// other spinners' extremes are bounded again where the engine takes them (tst_settingsfile's
// engineValuesAndLiveSessions).
void TestOptionsWindow::firewallPortClamped_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("99999") << 99999 << 65535;
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("65535") << 65535 << 65535;
}

void TestOptionsWindow::firewallPortClamped() {
    QFETCH(int, stored);
    QFETCH(int, shown);
    Settings_.FirewallPort = stored;
    TfrmOptions window(Settings_, Path_, &Sounds_, &Questions_);
    QCOMPARE(window.findChild<QSpinBox*>(QStringLiteral("spinFirewallPort"))->value(), shown);
    Click(window, "btnOK");
    QCOMPARE(Settings_.FirewallPort, shown);
}

void TestOptionsWindow::logFileName_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("picked");      // else typed
    QTest::addColumn<QString>("expected"); // "@" stands for the program folder
    QTest::newRow("typed name") << "session.log" << false << "@/session.log";
    QTest::newRow("typed relative path") << "logs/a.log" << false << "@/logs/a.log";
    QTest::newRow("typed absolute path") << "/var/tmp/t.log" << false << "/var/tmp/t.log";
    QTest::newRow("picked") << "/srv/logs/x.log" << true << "/srv/logs/x.log";
}

void TestOptionsWindow::logFileName() {
    QFETCH(QString, input);
    QFETCH(bool, picked);
    QFETCH(QString, expected);
    TfrmOptions window(Settings_, Path_, &Sounds_, &Questions_);
    if (picked) {
        Questions_.File = input;
        Click(window, "btnBrowseLogFile");
    } else {
        auto* edit = window.findChild<QLineEdit*>(QStringLiteral("editLogFile"));
        edit->selectAll();
        QTest::keyClicks(edit, input);
    }
    Click(window, "btnOK");
    QCOMPARE(Settings_.LogFile, expected.replace(QLatin1Char('@'), ProgramFolder()));
}

// Adding keeps the list free of repeats in any spelling (the rule itself: tst_settingsfile's
// listSections); the buttons follow the edit and the selection.
void TestOptionsWindow::extensions() {
    Settings_.ASCIIExtensions = {QStringLiteral(".htm")};
    TfrmOptions window(Settings_, Path_, &Sounds_, &Questions_);
    auto* add = window.findChild<QPushButton*>(QStringLiteral("btnAdd"));
    auto* remove = window.findChild<QPushButton*>(QStringLiteral("btnRemove"));
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lbExtensions"));
    QVERIFY(!add->isEnabled() && !remove->isEnabled());
    for (const char* text : {"txt", ".txt", "HTM"}) {
        Set(window, QStringLiteral("editExtension"), QString::fromLatin1(text));
        add->click();
    }
    QVERIFY(!add->isEnabled());
    Click(window, "btnOK");
    QCOMPARE(Settings_.ASCIIExtensions, QStringList({".htm", ".txt"}));
    list->setCurrentRow(0);
    QVERIFY(remove->isEnabled());
    remove->click();
    QCOMPARE(list->count(), 1);
}

void TestOptionsWindow::soundCombo_data() {
    QTest::addColumn<QString>("text"); // "@" stands for the temporary folder
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<QString>("stored");
    QTest::newRow("existing file") << "@/new.wav" << true << "@/new.wav";
    QTest::newRow("folder") << "@" << false << "@/old.wav";
    QTest::newRow("missing file") << "@/gone.wav" << false << "@/old.wav";
    QTest::newRow("none") << "(None)" << false << "";
    QTest::newRow("empty") << "" << false << "";
}

void TestOptionsWindow::soundCombo() {
    QFETCH(QString, text);
    QFETCH(bool, startEnabled);
    QFETCH(QString, stored);
    text.replace(QLatin1Char('@'), Dir_->path());
    stored.replace(QLatin1Char('@'), Dir_->path());
    for (const char* name : {"old.wav", "new.wav"})
        QVERIFY(WriteFile(Dir_->filePath(QLatin1String(name)), ""));
    const QByteArray before = ReadFile(Path_);
    Settings_.Sounds[seEndOfFile] = Dir_->filePath(QStringLiteral("old.wav"));
    TfrmOptions window(Settings_, Path_, &Sounds_, &Questions_);
    auto* events = window.findChild<QTreeWidget*>(QStringLiteral("tvEvents"));
    auto* start = window.findChild<QPushButton*>(QStringLiteral("btnStart"));
    QVERIFY(!window.findChild<QGroupBox*>(QStringLiteral("gbSoundEffect"))->isEnabled());
    events->setCurrentItem(events->topLevelItem(seEndOfFile));
    QVERIFY(start->isEnabled());
    window.findChild<QComboBox*>(QStringLiteral("cmbSound"))->setEditText(text);

    QCOMPARE(Settings_.Sounds[seEndOfFile], stored);
    QCOMPARE(events->topLevelItem(seEndOfFile)->icon(0).isNull(), stored.isEmpty());
    QCOMPARE(start->isEnabled(), startEnabled);
    Sounds_.Played.clear();
    start->click();
    QCOMPARE(Sounds_.Played.size(), startEnabled ? 1 : 0);
    // Kept in the record through Cancel, but not written.
    Click(window, "btnCancel");
    QCOMPARE(Settings_.Sounds[seEndOfFile], stored);
    QCOMPARE(ReadFile(Path_), before);
}

// F1 in the modal options window opens help that the user can reach: a window blocked
// by the modal one would drop the click.
void TestOptionsWindow::helpOverTheWindow() {
    InstallHelpKey();
    TfrmOptions window(Settings_, Path_, &Sounds_, &Questions_);
    window.setWindowModality(Qt::ApplicationModal);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    QWidget* help = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->windowTitle() == QStringLiteral("Tolvar Help")) help = top;
    QVERIFY(help);
    QVERIFY(QTest::qWaitForWindowExposed(help));
    struct TPresses : QObject {
        QWidget* Help = nullptr;
        int Count = 0;
        bool eventFilter(QObject* watched, QEvent* event) override {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (event->type() == QEvent::MouseButtonPress && widget && widget->window() == Help)
                ++Count;
            return false;
        }
    } presses;
    presses.Help = help;
    qApp->installEventFilter(&presses);
    QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, help->rect().center());
    qApp->removeEventFilter(&presses);
    QCOMPARE(presses.Count, 1);
    delete help;
}

QTEST_MAIN(TestOptionsWindow)
#include "tst_options_window.moc"
