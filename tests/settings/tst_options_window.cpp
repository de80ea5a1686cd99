#include "app/Help.h"
#include "engine/FtpComponent.h"
#include "platform/ProgramFolder.h"
#include "platform/SoundPlayer.h"
#include "settings/SettingsFile.h"
#include "settings/windows/OptionsWindow.h"
#include "views/ViewQuestions.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

class TFakeQuestions : public IViewQuestions {
public:
    bool ConfirmDelete(int, const QString&, bool) override { return false; }
    void ShowMessage(const QString& text) override { Messages.append(text); }
    QString PickFolder(const QString&, const QString&) override { return Pick; }
    QString PickFile(const QString&, const QString&, const QString&, bool) override { return Pick; }
    QStringList Messages;
    QString Pick;
};

class TFakeSounds : public ISoundPlayer {
public:
    void Play(const QString& fileName) override { Played.append(fileName); }
    void Stop() override {}
    QStringList Played;
};

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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
    void spinnersClampStoredValues_data();
    void spinnersClampStoredValues();
    void pickersAndLogName_data();
    void pickersAndLogName();
    void extensions_data();
    void extensions();
    void soundCombo_data();
    void soundCombo();
    void helpOverTheWindow();

private:
    std::unique_ptr<QTemporaryDir> Dir_;
    QString Path_;
    TFakeQuestions Questions_;
    TFakeSounds Sounds_;
};

void TestOptionsWindow::init() {
    Dir_ = std::make_unique<QTemporaryDir>();
    SetProgramFolderOverride(Dir_->path());
    Path_ = Dir_->filePath(QStringLiteral("tolvar.ini"));
    TSettings defaults = DefaultSettings();
    QVERIFY(WriteSettings(defaults, Path_));
    Questions_ = {};
}

void TestOptionsWindow::writesOnlyWhatChanged_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("changedLines");
    QTest::newRow("no change") << QString() << QVariant() << true << QStringList{};
    QTest::newRow("active") << "chkUsePASV" << QVariant(false) << true << QStringList{"UsePASV=0"};
    QTest::newRow("retries") << "spinRetries" << QVariant(7) << true << QStringList{"Retries=7"};
    QTest::newRow("until connected")
        << "rgRetry" << QVariant(1) << true << QStringList{"InfiniteRetry=1"};
    QTest::newRow("upper case") << "rgCase" << QVariant(2) << true
                                << QStringList{"ConversionCase=2"};
    QTest::newRow("firewall port")
        << "spinFirewallPort" << QVariant(2121) << true << QStringList{"Port=2121"};
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
    const QByteArray before = Contents(Path_);
    TFTPComponent session; // a live session follows the passive choice on OK only
    session.SetPassive(true);
    TSettings settings = ReadSettings(Path_);
    TfrmOptions window(settings, unwritable ? Dir_->path() : Path_, &Sounds_, &Questions_);
    QSignalSpy written(&window, &TfrmOptions::SettingsWritten);
    if (!control.isEmpty()) Set(window, control, value);
    QVERIFY(session.Passive());
    Click(window, ok ? "btnOK" : "btnCancel");
    QCOMPARE(Questions_.Messages,
             unwritable ? QStringList{"Unable to write to " + Dir_->path()} : QStringList{});
    ok = ok && !unwritable;
    QCOMPARE(window.result(), ok ? QDialog::Accepted : QDialog::Rejected);
    QCOMPARE(written.size(), ok ? 1 : 0);

    const QList<QByteArray> old = before.split('\n');
    const QList<QByteArray> now = Contents(Path_).split('\n');
    QCOMPARE(now.size(), old.size());
    QStringList changed;
    for (qsizetype i = 0; i < now.size(); ++i)
        if (now[i] != old[i]) changed.append(QString::fromUtf8(now[i]).trimmed());
    QCOMPARE(changed, changedLines);
    QCOMPARE(settings.UsePASV, !(ok && control == QLatin1String("chkUsePASV")));
    QCOMPARE(session.Passive(), settings.UsePASV);
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
    TSettings settings = DefaultSettings();
    settings.PinTransferWindow = stored;
    TfrmOptions window(settings, Path_, &Sounds_, &Questions_);
    if (button >= 0) window.SetPinPressed([button] { return button == 1; });
    Click(window, "btnOK");
    QCOMPARE(settings.PinTransferWindow, expected);
}

void TestOptionsWindow::preview_data() {
    QTest::addColumn<bool>("shortNames");
    QTest::addColumn<int>("caseChoice");
    QTest::addColumn<int>("spaces");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("converted");
    QTest::newRow("lower, replace") << false << 1 << 2 << "_"
                                    << "read_the_instructions.txt";
    QTest::newRow("short, upper, remove") << true << 2 << 1 << "_"
                                          << "READTH1.TXT";
    QTest::newRow("short, lower, replace") << true << 1 << 2 << "-"
                                           << "readth-1.txt";
    QTest::newRow("leave") << false << 0 << 0 << "_"
                           << "Read the Instructions.txt";
    QTest::newRow("replace, edit emptied") << false << 0 << 2 << ""
                                           << "Read_the_Instructions.txt";
}

void TestOptionsWindow::preview() {
    QFETCH(bool, shortNames);
    QFETCH(int, caseChoice);
    QFETCH(int, spaces);
    QFETCH(QString, replacement);
    QFETCH(QString, converted);
    TSettings settings = DefaultSettings();
    TfrmOptions window(settings, Path_, &Sounds_, &Questions_);
    Set(window, QStringLiteral("chkShortName"), shortNames);
    Set(window, QStringLiteral("rgCase"), caseChoice);
    Set(window, QStringLiteral("rgSpaces"), spaces);
    Set(window, QStringLiteral("editChar"), replacement);
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblConverted"))->text(), converted);
    QCOMPARE(window.findChild<QGroupBox*>(QStringLiteral("gbSpaces"))->title(),
             shortNames ? QStringLiteral(" Tildes (~) ") : QStringLiteral(" Spaces "));
    QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("editChar"))->isEnabled(), spaces == 2);
}

void TestOptionsWindow::spinnersClampStoredValues_data() {
    QTest::addColumn<QString>("spinner");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("retries 0") << "spinRetries" << 0 << 1;
    QTest::newRow("delay -3") << "spinRetryDelay" << -3 << 0;
    QTest::newRow("timeout 5000") << "spinTimeout" << 5000 << 1000;
    QTest::newRow("port 99999") << "spinFirewallPort" << 99999 << 65535;
    QTest::newRow("port 0") << "spinFirewallPort" << 0 << 1;
    QTest::newRow("port 65535") << "spinFirewallPort" << 65535 << 65535;
}

void TestOptionsWindow::spinnersClampStoredValues() {
    QFETCH(QString, spinner);
    QFETCH(int, stored);
    QFETCH(int, shown);
    TSettings settings = DefaultSettings();
    int& field = spinner == QLatin1String("spinRetries")      ? settings.Retries
                 : spinner == QLatin1String("spinRetryDelay") ? settings.RetryDelay
                 : spinner == QLatin1String("spinTimeout")    ? settings.Timeout
                                                              : settings.FirewallPort;
    field = stored;
    TfrmOptions window(settings, Path_, &Sounds_, &Questions_);
    QCOMPARE(window.findChild<QSpinBox*>(spinner)->value(), shown);
    Click(window, "btnOK");
    QCOMPARE(field, shown);
}

void TestOptionsWindow::pickersAndLogName_data() {
    QTest::addColumn<QString>("button"); // empty: the log name is typed
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected"); // "@" stands for the program folder
    QTest::newRow("typed name") << ""
                                << "session.log"
                                << "@/session.log";
    QTest::newRow("typed relative path") << ""
                                         << "logs/a.log"
                                         << "@/logs/a.log";
    QTest::newRow("typed absolute path") << ""
                                         << "/var/tmp/t.log"
                                         << "/var/tmp/t.log";
    QTest::newRow("picked log") << "btnBrowseLogFile"
                                << "/srv/logs/x.log"
                                << "/srv/logs/x.log";
    QTest::newRow("picked viewer") << "btnBrowseViewer"
                                   << "/opt/ed/bin/edit"
                                   << "/opt/ed/bin/edit";
    QTest::newRow("picked folder") << "btnBrowseDefaultDir"
                                   << "/srv/files"
                                   << "/srv/files";
}

void TestOptionsWindow::pickersAndLogName() {
    QFETCH(QString, button);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    expected.replace(QLatin1Char('@'), ProgramFolder());
    TSettings settings = DefaultSettings();
    TfrmOptions window(settings, Path_, &Sounds_, &Questions_);
    if (button.isEmpty()) {
        auto* edit = window.findChild<QLineEdit*>(QStringLiteral("editLogFile"));
        edit->selectAll();
        QTest::keyClicks(edit, input);
    } else {
        Questions_.Pick = input;
        Click(window, qPrintable(button));
    }
    Click(window, "btnOK");
    const QString stored = button == QLatin1String("btnBrowseViewer")       ? settings.Viewer
                           : button == QLatin1String("btnBrowseDefaultDir") ? settings.DefaultDir
                                                                            : settings.LogFile;
    QCOMPARE(stored, expected);
}

void TestOptionsWindow::extensions_data() {
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("dot added") << QStringList{"txt"} << QStringList{".htm", ".txt"};
    QTest::newRow("twice once") << QStringList{".txt", ".txt"} << QStringList{".htm", ".txt"};
    QTest::newRow("case blind") << QStringList{"HTM"} << QStringList{".htm"};
}

void TestOptionsWindow::extensions() {
    QFETCH(QStringList, typed);
    QFETCH(QStringList, expected);
    TSettings settings = DefaultSettings();
    settings.ASCIIExtensions = {QStringLiteral(".htm")};
    TfrmOptions window(settings, Path_, &Sounds_, &Questions_);
    auto* add = window.findChild<QPushButton*>(QStringLiteral("btnAdd"));
    auto* remove = window.findChild<QPushButton*>(QStringLiteral("btnRemove"));
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lbExtensions"));
    QVERIFY(!add->isEnabled() && !remove->isEnabled());
    for (const QString& text : typed) {
        Set(window, QStringLiteral("editExtension"), text);
        add->click();
    }
    QVERIFY(!add->isEnabled());
    Click(window, "btnOK");
    QCOMPARE(settings.ASCIIExtensions, expected);

    list->setCurrentRow(0);
    QVERIFY(remove->isEnabled());
    remove->click();
    QCOMPARE(list->count(), expected.size() - 1);
}

void TestOptionsWindow::soundCombo_data() {
    QTest::addColumn<QString>("text"); // "@" stands for the temporary folder
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("startEnabled");
    QTest::newRow("existing file") << "@/new.wav"
                                   << "@/new.wav" << true;
    QTest::newRow("folder") << "@"
                            << "@/old.wav" << false;
    QTest::newRow("missing file") << "@/gone.wav"
                                  << "@/old.wav" << false;
    QTest::newRow("none") << "(None)"
                          << "" << false;
    QTest::newRow("empty") << ""
                           << "" << false;
}

void TestOptionsWindow::soundCombo() {
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QFETCH(bool, startEnabled);
    text.replace(QLatin1Char('@'), Dir_->path());
    stored.replace(QLatin1Char('@'), Dir_->path());
    for (const char* name : {"old.wav", "new.wav"}) {
        QFile file(Dir_->filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QByteArray before = Contents(Path_);
    TSettings settings = ReadSettings(Path_);
    settings.Sounds[seEndOfFile] = Dir_->filePath(QStringLiteral("old.wav"));
    TfrmOptions window(settings, Path_, &Sounds_, &Questions_);
    auto* events = window.findChild<QTreeWidget*>(QStringLiteral("tvEvents"));
    auto* start = window.findChild<QPushButton*>(QStringLiteral("btnStart"));
    QVERIFY(!window.findChild<QGroupBox*>(QStringLiteral("gbSoundEffect"))->isEnabled());
    events->setCurrentItem(events->topLevelItem(seEndOfFile));
    QVERIFY(start->isEnabled());
    window.findChild<QComboBox*>(QStringLiteral("cmbSound"))->setEditText(text);

    QCOMPARE(settings.Sounds[seEndOfFile], stored);
    QCOMPARE(events->topLevelItem(seEndOfFile)->icon(0).isNull(), stored.isEmpty());
    QCOMPARE(start->isEnabled(), startEnabled);
    Sounds_.Played.clear();
    start->click();
    QCOMPARE(Sounds_.Played.size(), startEnabled ? 1 : 0);
    // Kept in the record through Cancel, but not written.
    Click(window, "btnCancel");
    QCOMPARE(settings.Sounds[seEndOfFile], stored);
    QCOMPARE(Contents(Path_), before);
}

// F1 in the modal options window opens help that the user can reach: a window blocked
// by the modal one would drop the click.
void TestOptionsWindow::helpOverTheWindow() {
    InstallHelpKey();
    TSettings settings = ReadSettings(Path_);
    TfrmOptions window(settings, Path_, &Sounds_, &Questions_);
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
