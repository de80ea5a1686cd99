#pragma once

#include "transfer/TransferQuestions.h"
#include "transfer/windows/QuestionDialog.h"

class QPushButton;

// "Confirm File Overwrite": whether a file at the destination is replaced by the one
// being transferred. Answers mrYes, mrNo (Enter, Escape), mrYesToAll, mrNoToAll, mrRetry
// ("&Recovery": resume, offered only when the existing file is the smaller) or mrCancel
// (the close box).
class TfrmOverwrite : public TQuestionDialog {
    Q_OBJECT
public:
    explicit TfrmOverwrite(const TExistingFile& file, QWidget* parent = nullptr);

private:
    QWidget* FileLine(const QString& name, int64_t size, double date);
};
