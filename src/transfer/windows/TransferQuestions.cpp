#include "transfer/windows/TransferQuestions.h"

#include "transfer/windows/Overwrite.h"
#include "transfer/windows/Restart.h"

namespace {

// Shows the dialog modally and returns its result. The parent may be destroyed while the
// dialog runs (the main window closing); the dialog goes with it and the answer is
// mrCancel, which every caller takes as "skip".
int Run(QDialog* dialog) {
    QPointer<QDialog> guard(dialog);
    const int result = dialog->exec();
    if (!guard) return mrCancel;
    delete dialog;
    return result;
}

} // namespace

int TTransferQuestions::AskOverwrite(const TExistingFile& file) {
    return Run(new TfrmOverwrite(file, Parent_));
}

int TTransferQuestions::AskRestart(const QString& fileName) {
    return Run(new TfrmRestart(fileName, Parent_));
}
