#pragma once

#include <QDialog>

class QHBoxLayout;
class QPushButton;

// A small modal question whose buttons close it with their own result codes (the usual
// dialog results of TModalResult). The callers read those codes, so the keys are fixed
// here rather than left to Qt, whose Escape and close box both give 0: Escape gives the
// cancel button's result, the close box gives mrCancel, Enter presses the focused button,
// which is the default one when the dialog opens.
class TQuestionDialog : public QDialog {
    Q_OBJECT
public:
    explicit TQuestionDialog(QWidget* parent = nullptr);

    // The window's close box (and any other reject) answers mrCancel.
    void reject() override;

protected:
    // A button in the centred row at the bottom, closing the dialog with result.
    QPushButton* AddButton(const QString& text, const QString& name, int result);
    void SetDefaultButton(QPushButton* button);
    void SetEscapeResult(int result) { EscapeResult_ = result; }
    // The row AddButton fills; the subclass puts it into its layout.
    QHBoxLayout* ButtonRow() const { return ButtonRow_; }

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QHBoxLayout* ButtonRow_;
    QPushButton* Default_ = nullptr;
    int EscapeResult_;
};
