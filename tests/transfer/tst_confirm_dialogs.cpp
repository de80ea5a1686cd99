// The confirmation dialogs and the session password prompt: which key or button gives
// which result, when "&Recovery" is offered, the delete prompts, and the password rule.
#include "sites/PasswordPrompt.h"
#include "sites/windows/PasswordDialog.h"
#include "transfer/windows/Confirm.h"
#include "transfer/windows/Overwrite.h"
#include "transfer/windows/Restart.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

std::unique_ptr<TQuestionDialog> Make(const QString& which, int64_t existing = 100,
                                      int64_t incoming = 4096, bool canResume = true) {
    if (which == QLatin1String("overwrite"))
        return std::make_unique<TfrmOverwrite>(TExistingFile{
            QStringLiteral("a.txt"), existing, incoming, 45000.5, 45001.25, canResume});
    if (which == QLatin1String("restart"))
        return std::make_unique<TfrmRestart>(QStringLiteral("a.txt"));
    return std::make_unique<TfrmConfirm>(1, QStringLiteral("a.txt"), false);
}

} // namespace

class TestConfirmDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void answers_data() {
        QTest::addColumn<QString>("dialog");
        // "enter", "escape", "close", or a button's objectName.
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("result");
        // Enter and Escape as each dialog answers them; closing the window is always "Cancel".
        const struct {
            const char *Dialog, *Buttons;
            int Enter, Escape;
        } dialogs[] = {{"overwrite", "Yes No YesToAll NoToAll Recovery", mrNo, mrNo},
                       {"restart", "Yes No YesToAll NoToAll", mrYesToAll, mrCancel},
                       {"confirm", "Yes No", mrNo, mrNo}};
        const QHash<QString, int> buttons{{"Yes", mrYes},
                                          {"No", mrNo},
                                          {"YesToAll", mrYesToAll},
                                          {"NoToAll", mrNoToAll},
                                          {"Recovery", mrRetry}};
        for (const auto& d : dialogs) {
            const auto row = [&](const QString& action, int result) {
                QTest::addRow("%s %s", d.Dialog, qPrintable(action))
                    << d.Dialog << action << result;
            };
            row("enter", d.Enter);
            row("escape", d.Escape);
            row("close", mrCancel);
            for (const QString& button : QString::fromLatin1(d.Buttons).split(' '))
                row("btn" + button, buttons.value(button));
        }
    }
    void answers() {
        QFETCH(QString, dialog);
        QFETCH(QString, action);
        QFETCH(int, result);
        auto box = Make(dialog);
        box->open();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        // A key goes where the user's would: to the focused control, else to the dialog.
        QWidget* target = box->focusWidget() ? box->focusWidget() : box.get();
        if (action == QLatin1String("enter") || action == QLatin1String("escape")) {
            QTest::keyClick(target,
                            action == QLatin1String("enter") ? Qt::Key_Return : Qt::Key_Escape);
        } else if (action == QLatin1String("close")) {
            box->close();
        } else {
            auto* button = box->findChild<QPushButton*>(action);
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QVERIFY(!box->isVisible());
        QCOMPARE(box->result(), result);
    }

    void recoveryOnlyWhereResumeWorks_data() {
        QTest::addColumn<qint64>("existing");
        QTest::addColumn<qint64>("incoming");
        QTest::addColumn<bool>("canResume"); // binary, on a server that resumes
        QTest::addColumn<bool>("enabled");
        QTest::newRow("smaller") << qint64(100) << qint64(4096) << true << true;
        QTest::newRow("larger") << qint64(4096) << qint64(100) << true << false;
        QTest::newRow("equal") << qint64(4096) << qint64(4096) << true << false;
        QTest::newRow("beyond 32 bits")
            << qint64(5'000'000'000) << qint64(6'000'000'000) << true << true;
        QTest::newRow("cannot resume") << qint64(100) << qint64(4096) << false << false;
    }
    void recoveryOnlyWhereResumeWorks() {
        QFETCH(qint64, existing);
        QFETCH(qint64, incoming);
        QFETCH(bool, canResume);
        QFETCH(bool, enabled);
        auto box = Make(QStringLiteral("overwrite"), existing, incoming, canResume);
        QCOMPARE(box->findChild<QPushButton*>(QStringLiteral("btnRecovery"))->isEnabled(), enabled);
    }

    void deletePrompts_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("one file") << 1 << false << "Confirm File Delete"
                                  << "Are you sure you want to delete notes.txt?";
        QTest::newRow("one folder")
            << 1 << true << "Confirm Folder Delete"
            << "Are you sure you want to remove the folder notes.txt and all its contents?";
        // The first item being a folder does not matter once there are two.
        QTest::newRow("file and folder") << 2 << true << "Confirm Multiple File Delete"
                                         << "Are you sure you want to delete these 2 items?";
    }
    void deletePrompts() {
        QFETCH(int, count);
        QFETCH(bool, folder);
        QFETCH(QString, title);
        QFETCH(QString, prompt);
        TfrmConfirm box(count, QStringLiteral("notes.txt"), folder);
        QCOMPARE(box.windowTitle(), title);
        QCOMPARE(box.findChild<QLabel*>(QStringLiteral("lblPrompt"))->text(), prompt);
    }

    // Both files' times beside their dates.
    void overwriteDates() {
        auto box = Make(QStringLiteral("overwrite"));
        QStringList dates;
        for (const QLabel* label : box->findChildren<QLabel*>())
            if (label->text().startsWith(QStringLiteral("modified on "))) dates << label->text();
        QCOMPARE(dates.size(), 2);
        QVERIFY2(dates[0].contains(QStringLiteral("12:00")), qPrintable(dates[0]));
        QVERIFY2(dates[1].contains(QStringLiteral("6:00")), qPrintable(dates[1]));
    }

    void passwordDialog() {
        // Enter in the edit box is "OK"; Ask returns what was typed.
        QTimer::singleShot(0, [] {
            QWidget* edit = QApplication::activeModalWidget()->findChild<QLineEdit*>(
                QStringLiteral("editPassword"));
            QTest::keyClicks(edit, QStringLiteral("s3cret"));
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QCOMPARE(TdlgPassword::Ask(nullptr), std::optional<QString>(QStringLiteral("s3cret")));
    }

    void passwordRule_data() {
        QTest::addColumn<QString>("held");
        QTest::addColumn<bool>("promptForPass");
        QTest::addColumn<bool>("commandLine");
        QTest::addColumn<int>("answer"); // 0 cancel, 1 OK with "typed", 2 OK with nothing typed
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("connect");
        QTest::newRow("held, never asked")
            << "kept" << true << false << 1 << false << "kept" << true;
        QTest::newRow("typed") << "" << true << false << 1 << true << "typed" << true;
        QTest::newRow("cancelled") << "" << true << false << 0 << true << "" << false;
        QTest::newRow("OK on nothing") << "" << true << false << 2 << true << "" << false;
        QTest::newRow("prompt off") << "" << false << false << 1 << false << "" << false;
        QTest::newRow("command line, cancelled") << "" << true << true << 0 << true << "" << true;
        QTest::newRow("command line, prompt off")
            << "" << false << true << 1 << false << "" << true;
    }
    void passwordRule() {
        QFETCH(QString, held);
        QFETCH(bool, promptForPass);
        QFETCH(bool, commandLine);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(QString, password);
        QFETCH(bool, connect);
        bool wasAsked = false;
        const TPasswordOutcome outcome =
            ResolvePassword(held, promptForPass, commandLine, [&]() -> std::optional<QString> {
                wasAsked = true;
                if (answer == 0) return std::nullopt;
                return answer == 1 ? QStringLiteral("typed") : QString();
            });
        QCOMPARE(wasAsked, asked);
        QCOMPARE(outcome.Password, password);
        QCOMPARE(outcome.Connect, connect);
    }
};

QTEST_MAIN(TestConfirmDialogs)
#include "tst_confirm_dialogs.moc"
