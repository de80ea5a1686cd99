#pragma once

#include "transfer/TransferQuestions.h"

#include <QPointer>
#include <QWidget>

// Queueing's questions answered by the confirmation dialogs, shown modally over a window.
class TTransferQuestions : public ITransferQuestions {
public:
    explicit TTransferQuestions(QWidget* parent = nullptr) : Parent_(parent) {}

    int AskOverwrite(const TExistingFile& file) override;
    int AskRestart(const QString& fileName) override;

private:
    QPointer<QWidget> Parent_;
};
