#pragma once

#include "transfer/windows/QuestionDialog.h"

// "Confirm Restart of <name>": whether a broken transfer is resumed. Answers mrYes,
// mrNo (Escape), mrYesToAll (Enter), mrNoToAll or mrCancel (the close box).
class TfrmRestart : public TQuestionDialog {
    Q_OBJECT
public:
    explicit TfrmRestart(const QString& fileName, QWidget* parent = nullptr);
};
