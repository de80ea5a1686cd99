#pragma once

#include "transfer/windows/QuestionDialog.h"

// The delete confirmation of the host pane: "Confirm File Delete", "Confirm Folder Delete"
// or "Confirm Multiple File Delete". Answers mrYes, mrNo (Enter, Escape) or mrCancel
// (the close box).
class TfrmConfirm : public TQuestionDialog {
    Q_OBJECT
public:
    TfrmConfirm(int count, const QString& firstName, bool firstIsFolder, QWidget* parent = nullptr);
};
