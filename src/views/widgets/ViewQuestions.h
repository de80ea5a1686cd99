#pragma once

#include "views/ViewQuestions.h"

class QWidget;

// The panes' questions as message boxes over a parent window.
class TViewQuestions : public IViewQuestions {
public:
    explicit TViewQuestions(QWidget* parent = nullptr) : Parent_(parent) {}

    bool ConfirmDelete(int count, const QString& firstName, bool firstIsFolder) override;
    void ShowMessage(const QString& text) override;

private:
    QWidget* Parent_;
};
