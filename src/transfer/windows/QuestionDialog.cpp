#include "transfer/windows/QuestionDialog.h"

#include "transfer/TransferQuestions.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

TQuestionDialog::TQuestionDialog(QWidget* parent)
    : QDialog(parent), ButtonRow_(new QHBoxLayout), EscapeResult_(mrCancel) {
    setModal(true);
    ButtonRow_->addStretch(1);
    ButtonRow_->addStretch(1);
}

void TQuestionDialog::reject() {
    done(mrCancel);
}

QPushButton* TQuestionDialog::AddButton(const QString& text, const QString& name, int result) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    // Before the closing stretch, so the row stays centred.
    ButtonRow_->insertWidget(ButtonRow_->count() - 1, button);
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    return button;
}

void TQuestionDialog::SetDefaultButton(QPushButton* button) {
    Default_ = button;
    button->setDefault(true);
}

void TQuestionDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        done(EscapeResult_);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TQuestionDialog::showEvent(QShowEvent* event) {
    // Qt would focus the first button, whose autoDefault would then take Enter from the
    // default one.
    if (Default_) Default_->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}
