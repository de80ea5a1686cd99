#include "views/widgets/ViewQuestions.h"

#include "transfer/TransferQuestions.h"
#include "transfer/windows/Confirm.h"

#include <QApplication>
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
