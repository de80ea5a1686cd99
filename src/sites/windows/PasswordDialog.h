#pragma once

#include <QDialog>

#include <optional>

class QLineEdit;

// "Enter a password": asks for the password of a session about to be opened. It knows
// nothing of sites; the caller decides what an answer means (see ResolvePassword).
class TdlgPassword : public QDialog {
    Q_OBJECT
public:
    explicit TdlgPassword(QWidget* parent = nullptr);

    QString Password() const;

    // Shows the prompt modally: the text typed after "OK", nothing after "Cancel".
    static std::optional<QString> Ask(QWidget* parent);

private:
    QLineEdit* EditPassword_;
};
