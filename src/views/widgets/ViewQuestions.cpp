#include "views/widgets/ViewQuestions.h"

#include "transfer/TransferQuestions.h"
#include "transfer/windows/Confirm.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

bool TViewQuestions::ConfirmDelete(int count, const QString& firstName, bool firstIsFolder) {
    QPointer<TfrmConfirm> dialog = new TfrmConfirm(count, firstName, firstIsFolder, Parent_);
    const int result = dialog->exec();
    // The parent (and the dialog with it) may be gone when the window closed meanwhile.
    if (!dialog) return false;
    delete dialog;
    return result == mrYes;
}

void TViewQuestions::ShowMessage(const QString& text) {
    QMessageBox::warning(Parent_, QApplication::applicationDisplayName(), text);
}

bool TViewQuestions::AskYesNo(const QString& text) {
    return QMessageBox::question(Parent_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

QString TViewQuestions::PickFolder(const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(Parent_, title, start);
}

QString TViewQuestions::PickFile(const QString& title, const QString& start, const QString& filter,
                                 bool save) {
    return save ? QFileDialog::getSaveFileName(Parent_, title, start, filter)
                : QFileDialog::getOpenFileName(Parent_, title, start, filter);
}

QString TViewQuestions::AskText(const QString& title, const QString& label,
                                const QString& initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(Parent_, title, label, QLineEdit::Normal, initial, &ok);
    return ok ? text : QString();
}
